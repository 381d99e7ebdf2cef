#include "TimerExModule.h"

#include <string>

#include "ComError.h"
#include "Guard.h"
#include "KeyedCollection.h"
#include "TimerEx.h"

namespace TimerExModule {

namespace {

using TimerTable = platform::KeyedCollection<TimerEx*>;

// One table per thread, made by the first start and dropped with its last
// entry. A plain pointer: thread-local objects with destructors are not safe
// in a DLL on every runtime.
thread_local TimerTable* g_table = nullptr;

constexpr platform::LogSource Log{L"TimerEx"};

std::wstring KeyOf(UINT_PTR id) { return std::to_wstring(id); }

}  // namespace

UINT_PTR StartTimer(TimerEx* timer, LONG interval) {
    return Log.Guard(L"StartTimer", [&]() -> UINT_PTR {
        UINT_PTR id = ::SetTimer(nullptr, 0, static_cast<UINT>(interval), TimerProc);
        if (id == 0) return 0;
        try {
            if (!g_table) g_table = new TimerTable;
            g_table->Add(KeyOf(id), timer);
        } catch (...) {
            // A timer the table cannot hold would fire into nothing.
            ::KillTimer(nullptr, id);
            throw;
        }
        return id;
    });
}

void StopTimer(UINT_PTR& id) {
    Log.Guard(L"StopTimer", [&] {
        if (id != 0) {
            ::KillTimer(nullptr, id);
            if (g_table) {
                const std::wstring key = KeyOf(id);
                if (g_table->Exists(key)) g_table->Remove(key);
                if (g_table->Empty()) {
                    delete g_table;
                    g_table = nullptr;
                }
            }
        }
        id = 0;
    });
    id = 0;
}

int RunningTimerCount() noexcept { return g_table ? g_table->Count() : 0; }

void CALLBACK TimerProc(HWND, UINT, UINT_PTR idEvent, DWORD) noexcept {
    Log.Guard(L"TimerProc", platform::Trap::Always, [&] {
        TimerEx** entry = g_table ? g_table->Find(KeyOf(idEvent)) : nullptr;
        if (!entry) {
            // A stray expiry: the system timer is not ours (any more).
            ::KillTimer(nullptr, idEvent);
            platform::Raise(platform::errors::InvalidProcedureCall, L"TimerEx.TimerProc");
        }
        platform::ComPtr<TimerEx> timer(*entry);
        if (timer->OneShot()) timer->SetEnabled(false);
        platform::ThrowIfFailed(timer->Notify(), L"TimerEx.TimerProc");
    });
}

}  // namespace TimerExModule
