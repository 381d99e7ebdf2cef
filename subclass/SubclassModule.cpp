#include "SubclassModule.h"

#include "ComPtr.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <string>
#include <unordered_map>
#include <vector>

#include "Guard.h"
#include "Window.h"

namespace SubclassModule {

namespace {

constexpr wchar_t AttachSource[] = L"Subclass.AttachMessage";
// Everything here runs inside a window procedure: failures are logged and
// never leave.
constexpr platform::LogSource Log{L"SubclassModule"};

// Record names are built in fixed buffers: the window procedure must not
// allocate (it runs for every message and must never throw), and the longest
// name, three 32-bit numbers with their words, is well under this size.
struct Key {
    wchar_t text[80];
    operator const wchar_t*() const noexcept { return text; }
};

int32_t Decimal(HWND hWnd) noexcept { return static_cast<int32_t>(reinterpret_cast<intptr_t>(hWnd)); }

Key WindowKey(HWND hWnd) noexcept {
    Key key;
    std::swprintf(key.text, std::size(key.text), L"PK(%d)", Decimal(hWnd));
    return key;
}

Key CountKey(HWND hWnd) noexcept {
    Key key;
    std::swprintf(key.text, std::size(key.text), L"PK(%d).Count", Decimal(hWnd));
    return key;
}

Key MessageKey(HWND hWnd, UINT uMsg) noexcept {
    Key key;
    std::swprintf(key.text, std::size(key.text), L"PK(%d).Message(%d)", Decimal(hWnd), static_cast<int32_t>(uMsg));
    return key;
}

Key OwnerKey(HWND hWnd, UINT uMsg, intptr_t index) noexcept {
    Key key;
    std::swprintf(key.text, std::size(key.text), L"PK(%d).Message(%d).Owner(%d)", Decimal(hWnd),
                  static_cast<int32_t>(uMsg), static_cast<int32_t>(index));
    return key;
}

intptr_t ReadNumber(HWND hWnd, const wchar_t* key) noexcept {
    return reinterpret_cast<intptr_t>(::GetPropW(hWnd, key));
}

void StoreNumber(HWND hWnd, const wchar_t* key, intptr_t value) noexcept {
    ::SetPropW(hWnd, key, reinterpret_cast<HANDLE>(value));
}

WNDPROC PreviousProc(HWND hWnd) noexcept { return reinterpret_cast<WNDPROC>(::GetPropW(hWnd, WindowKey(hWnd))); }

ISubclass* OwnerAt(HWND hWnd, UINT uMsg, intptr_t index) noexcept {
    return static_cast<ISubclass*>(::GetPropW(hWnd, OwnerKey(hWnd, uMsg, index)));
}

// Slot of owner among the n owners of the message, or 0.
intptr_t FindOwner(HWND hWnd, UINT uMsg, ISubclass* owner, intptr_t n) noexcept {
    for (intptr_t i = 1; i <= n; ++i)
        if (OwnerAt(hWnd, uMsg, i) == owner) return i;
    return 0;
}

// --- what a message needs, kept between messages ------------------------------------
//
// Reading a property is a trip to the window manager, and every message to a
// subclassed window needs the previous procedure and the message's owners.
// So what the properties held is kept here and read again only after a
// change. Every copy of this module in the process counts its changes in one
// shared number, in a page named after the process, so that a copy never
// serves what another copy has since changed. The properties stay the one
// record: this is only what was last read from them.

constexpr size_t KeptOwners = 8;

struct MessageRecord {
    WNDPROC previous = nullptr;
    intptr_t count = 0;  // owners of the message; slots past KeptOwners are read when asked for
    ISubclass* owners[KeptOwners]{};
};

MessageRecord ReadRecord(HWND hWnd, UINT uMsg) noexcept {
    MessageRecord record;
    record.previous = PreviousProc(hWnd);
    record.count = ReadNumber(hWnd, MessageKey(hWnd, uMsg));
    const intptr_t kept = std::min<intptr_t>(record.count, KeptOwners);
    for (intptr_t i = 1; i <= kept; ++i) record.owners[i - 1] = OwnerAt(hWnd, uMsg, i);
    return record;
}

ISubclass* OwnerOf(const MessageRecord& record, HWND hWnd, UINT uMsg, intptr_t index) noexcept {
    return index <= static_cast<intptr_t>(KeptOwners) ? record.owners[index - 1] : OwnerAt(hWnd, uMsg, index);
}

// The process's count of record changes; null when the page cannot be had,
// and then nothing is kept.
volatile LONG64* SharedChanges() noexcept {
    static volatile LONG64* const changes = []() -> volatile LONG64* {
        wchar_t name[64];
        std::swprintf(name, std::size(name), L"Local\\PK.SubclassRecords.%lu", ::GetCurrentProcessId());
        // Never closed: the other copies find the page by its name for as
        // long as the process runs.
        HANDLE page = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONG64), name);
        if (!page) return nullptr;
        return static_cast<volatile LONG64*>(::MapViewOfFile(page, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LONG64)));
    }();
    return changes;
}

void NoteChange() noexcept {
    if (volatile LONG64* changes = SharedChanges()) ::InterlockedIncrement64(changes);
}

class KeptRecords {
public:
    MessageRecord Get(HWND hWnd, UINT uMsg) noexcept {
        volatile LONG64* changes = SharedChanges();
        if (!changes) return ReadRecord(hWnd, uMsg);
        // Read before the properties: a change made while they are read
        // leaves a number that no longer matches, and nothing is kept.
        const LONG64 now = ::InterlockedCompareExchange64(changes, 0, 0);
        const uint64_t key = (static_cast<uint64_t>(static_cast<uint32_t>(Decimal(hWnd))) << 32) | uMsg;
        {
            SharedLock shared(lock_);
            if (seen_ == now)
                if (const auto found = records_.find(key); found != records_.end()) return found->second;
        }
        const MessageRecord fresh = ReadRecord(hWnd, uMsg);
        if (fresh.count > static_cast<intptr_t>(KeptOwners)) return fresh;
        ExclusiveLock exclusive(lock_);
        if (::InterlockedCompareExchange64(changes, 0, 0) != now) return fresh;
        if (seen_ != now) {
            records_.clear();
            seen_ = now;
        }
        try {
            records_[key] = fresh;
        } catch (...) {
            // Out of memory: the record is simply read again next time.
        }
        return fresh;
    }

private:
    struct SharedLock {
        explicit SharedLock(SRWLOCK& lock) noexcept : lock(lock) { ::AcquireSRWLockShared(&lock); }
        ~SharedLock() { ::ReleaseSRWLockShared(&lock); }
        SRWLOCK& lock;
    };
    struct ExclusiveLock {
        explicit ExclusiveLock(SRWLOCK& lock) noexcept : lock(lock) { ::AcquireSRWLockExclusive(&lock); }
        ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&lock); }
        SRWLOCK& lock;
    };

    SRWLOCK lock_ = SRWLOCK_INIT;
    LONG64 seen_ = -1;
    std::unordered_map<uint64_t, MessageRecord> records_;
};

// Never destroyed: windows still get messages while the process ends.
KeptRecords& Kept() noexcept {
    static KeptRecords* const kept = new KeptRecords;
    return *kept;
}

LRESULT CallPrevious(WNDPROC previous, HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) noexcept {
    // Without a record of the previous procedure there is nothing to chain
    // to; the default handling at least keeps the window alive.
    if (!previous) return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    return ::CallWindowProcW(previous, hWnd, uMsg, wParam, lParam);
}

struct PropertyNames {
    std::wstring prefix;
    std::vector<std::wstring> names;
};

BOOL CALLBACK CollectRecord(HWND, LPWSTR name, HANDLE, ULONG_PTR data) {
    auto* found = reinterpret_cast<PropertyNames*>(data);
    // Properties named by atom have no text to compare.
    if (IS_INTRESOURCE(name)) return TRUE;
    // Out of memory ends the enumeration: what was found so far is dropped.
    return Log.Guard(L"WindowProc", platform::Trap::Always, [&]() -> BOOL {
        if (std::wstring_view(name).starts_with(found->prefix)) found->names.emplace_back(name);
        return TRUE;
    });
}

// Property names are global atoms: left on a dying window they would
// outlive it, and a later window given the same handle would inherit a
// subclass record that is not its own. So whatever attachments remain when
// the window goes are dropped with it.
void DropRecords(HWND hWnd) noexcept {
    if (WNDPROC previous = PreviousProc(hWnd))
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    Log.Guard(L"WindowProc", platform::Trap::Always, [&] {
        // The closing parenthesis keeps PK(12) from matching PK(123).
        PropertyNames found{WindowKey(hWnd).text, {}};
        ::EnumPropsExW(hWnd, CollectRecord, reinterpret_cast<LPARAM>(&found));
        for (const auto& name : found.names) ::RemovePropW(hWnd, name.c_str());
    });
    NoteChange();
}

LRESULT AskOwner(ISubclass* owner, HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) noexcept {
    // The counted reference keeps an owner that detaches and releases itself
    // while handling the message alive until it has returned.
    platform::ComPtr<ISubclass> held(owner);
    // Owners are COM objects and must not throw; one that does anyway must
    // not unwind through the system's message dispatch: the answer is 0.
    return Log.Guard(L"WindowProc", platform::Trap::Always, [&]() -> LRESULT {
        LONG_PTR answer = 0;
        if (FAILED(held->WindowProc(reinterpret_cast<LONG_PTR>(hWnd), static_cast<LONG>(uMsg),
                                    static_cast<LONG_PTR>(wParam), static_cast<LONG_PTR>(lParam), &answer)))
            return 0;
        return static_cast<LRESULT>(answer);
    });
}

LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) noexcept {
    MessageRecord record = Kept().Get(hWnd, uMsg);
    const WNDPROC previous = record.previous;
    LRESULT result = 0;
    if (record.count <= 0) {
        result = CallPrevious(previous, hWnd, uMsg, wParam, lParam);
    } else {
        // Owners may detach (themselves or others) while handling the
        // message, so the count and each slot are taken afresh every time.
        for (intptr_t i = 1; i <= (record = Kept().Get(hWnd, uMsg)).count; ++i) {
            if (ISubclass* owner = OwnerOf(record, hWnd, uMsg, i))
                result = AskOwner(owner, hWnd, uMsg, wParam, lParam);
            else
                result = CallPrevious(previous, hWnd, uMsg, wParam, lParam);
        }
    }
    if (uMsg == WM_NCDESTROY) DropRecords(hWnd);
    return result;
}

// The attachment itself; answers 0 or the failure code, and does nothing
// at all when it fails.
int32_t Attach(ISubclass* owner, HWND hWnd, UINT uMsg) noexcept {
    if (!::IsWindow(hWnd)) return InvalidWindowError;
    if (!IsLocalWindow(hWnd)) return ExternalWindowError;
    // A refused duplicate must leave the count and the procedure alone, so
    // it is looked for before either is touched.
    const Key messageKey = MessageKey(hWnd, uMsg);
    const intptr_t n = ReadNumber(hWnd, messageKey);
    if (FindOwner(hWnd, uMsg, owner, n) != 0) return AlreadyHandledError;

    const Key countKey = CountKey(hWnd);
    const intptr_t count = ReadNumber(hWnd, countKey);
    if (count <= 0) {
        LONG_PTR previous = ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
        if (previous == 0) return CantSubclassError;
        StoreNumber(hWnd, WindowKey(hWnd), previous);
    }
    StoreNumber(hWnd, countKey, count + 1);
    StoreNumber(hWnd, messageKey, n + 1);
    ::SetPropW(hWnd, OwnerKey(hWnd, uMsg, n + 1), owner);
    NoteChange();
    return 0;
}

}  // namespace

bool AttachMessage(ISubclass* owner, HWND hWnd, UINT uMsg) noexcept { return Attach(owner, hWnd, uMsg) == 0; }

void AttachMessageChecked(ISubclass* owner, HWND hWnd, UINT uMsg) {
    switch (Attach(owner, hWnd, uMsg)) {
        case 0: return;
        case CantSubclassError: platform::Raise(CantSubclassError, L"Can't subclass the window", AttachSource);
        case AlreadyHandledError:
            platform::Raise(AlreadyHandledError, L"This message is already being handled by another class",
                            AttachSource);
        case InvalidWindowError: platform::Raise(InvalidWindowError, L"Invalid window", AttachSource);
        case ExternalWindowError:
            platform::Raise(ExternalWindowError, L"Can't attach to an external window", AttachSource);
        default: platform::Raise(platform::errors::InternalError, AttachSource);
    }
}

void DetachMessage(ISubclass* owner, HWND hWnd, UINT uMsg) noexcept {
    const Key messageKey = MessageKey(hWnd, uMsg);
    intptr_t n = ReadNumber(hWnd, messageKey);
    const intptr_t k = FindOwner(hWnd, uMsg, owner, n);
    // Detaching what was never attached must not take away someone else's
    // share of the count, let alone the subclass itself.
    if (k == 0) return;

    const Key countKey = CountKey(hWnd);
    const intptr_t count = ReadNumber(hWnd, countKey);
    if (count > 1) {
        StoreNumber(hWnd, countKey, count - 1);
    } else {
        // Restored even when another procedure has since been put on top:
        // the copy of this module that installed the current procedure may
        // not be this one, so "is it ours" cannot be told from here.
        const Key windowKey = WindowKey(hWnd);
        if (LONG_PTR previous = reinterpret_cast<LONG_PTR>(::GetPropW(hWnd, windowKey))) {
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, previous);
            ::RemovePropW(hWnd, windowKey);
        }
        ::RemovePropW(hWnd, countKey);
    }

    for (intptr_t j = k + 1; j <= n; ++j) ::SetPropW(hWnd, OwnerKey(hWnd, uMsg, j - 1), OwnerAt(hWnd, uMsg, j));
    ::RemovePropW(hWnd, OwnerKey(hWnd, uMsg, n));
    --n;
    if (n > 0)
        StoreNumber(hWnd, messageKey, n);
    else
        ::RemovePropW(hWnd, messageKey);
    NoteChange();
}

LRESULT CallOldWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) noexcept {
    return CallPrevious(Kept().Get(hWnd, uMsg).previous, hWnd, uMsg, wParam, lParam);
}

bool IsLocalWindow(HWND hWnd) noexcept { return platform::IsOwnWindow(hWnd); }

}  // namespace SubclassModule
