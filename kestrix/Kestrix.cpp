#include "Kestrix.h"

#include <olectl.h>

#include "ComEnumerator.h"
#include "ComError.h"
#include "Guard.h"
#include "KestrixModule.h"
#include "TimerEx.h"
#include "SubclassModule.h"

using platform::Variant;

namespace {

// Members hand their failures to the caller; the steps of teardown, of the
// callback window's messages and of event delivery log theirs and go on.
constexpr platform::LogSource Log{L"Kestrix"};

std::wstring KeyOf(LONG id) { return std::to_wstring(id); }

int32_t Parameter(const VARIANT& parameters, long index) {
    return platform::ToInt32(platform::ArrayElement(parameters, index, L"Kestrix.FireEvent").get(), L"Kestrix.FireEvent");
}

bool FlagParameter(const VARIANT& parameters, long index) {
    return platform::ToBool(platform::ArrayElement(parameters, index, L"Kestrix.FireEvent").get(), L"Kestrix.FireEvent");
}

}  // namespace

Kestrix::Kestrix() : events_(this, DIID_KestrixEvents) { AddConnectionPoint(events_); }

HRESULT Kestrix::Create(REFIID iid, void** object) noexcept {
    KestrixModule::Startup();
    return Log.Member(L"Class_Initialize",
                      [&] { platform::ThrowIfFailed(Make()->QueryInterface(iid, object), L"Kestrix.Class_Initialize"); });
}

platform::ComPtr<Kestrix> Kestrix::Make() {
    auto kestrix = platform::com::MakeObject<Kestrix>();
    kestrix->Initialize();
    return kestrix;
}

void Kestrix::Initialize() {
    eventQueue_ = std::make_unique<EventQueue>();
    eventQueue_->Initialize(static_cast<IEvent*>(this), ClickDelayMs);
    taskbarCreatedMessage_ = ::RegisterWindowMessageW(L"TaskbarCreated");
    callbackWindow_ = std::make_unique<frmSubclass>();
    // A restarted shell may run with less privilege than its client (a
    // program run as administrator): its word that the taskbar is back must
    // still get through, or no icon would ever return.
    ::ChangeWindowMessageFilterEx(callbackWindow_->hWnd(), taskbarCreatedMessage_, MSGFLT_ALLOW, nullptr);
    AttachWindow(callbackWindow_->hWnd());
    enabled_ = true;
}

Kestrix::~Kestrix() {
    // Whatever is still waiting reaches the client before the icons go.
    auto step = [](auto&& body) { Log.Skip(L"Class_Terminate", body); };
    step([&] { eventQueue_.reset(); });
    step([&] { DetachWindow(); });
    step([&] { retryTimer_.reset(); });
    // Icons go while the window they name still exists; an item a client
    // still holds loses its icon too.
    for (auto& entry : items_) step([&] { entry.value->Orphan(); });
    step([&] { items_.Clear(); });
    step([&] { callbackWindow_.reset(); });
    events_.DisconnectAll();
}

void* Kestrix::Cast(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Kestrix) return static_cast<_Kestrix*>(this);
    if (iid == IID_ISubclass) return static_cast<ISubclass*>(this);
    if (iid == IID_IEvent) return static_cast<IEvent*>(this);
    if (iid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
    if (iid == IID_IProvideClassInfo) return static_cast<IProvideClassInfo*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
}

void Kestrix::AttachWindow(HWND window) {
    if (window == attachedWindow_) return;
    DetachWindow();
    SubclassModule::AttachMessage(this, window, TrayCallbackMessage);
    SubclassModule::AttachMessage(this, window, taskbarCreatedMessage_);
    attachedWindow_ = window;
}

void Kestrix::DetachWindow() {
    if (!attachedWindow_) return;
    SubclassModule::DetachMessage(this, attachedWindow_, TrayCallbackMessage);
    SubclassModule::DetachMessage(this, attachedWindow_, taskbarCreatedMessage_);
    attachedWindow_ = nullptr;
}

// --- icons the shell refused ------------------------------------------------

void Kestrix::ScheduleRetry() noexcept {
    Log.Skip(L"ScheduleRetry", [&] {
        if (!retryTimer_)
            retryTimer_ = std::make_unique<OwnedTimer>(TimerEx::Make(), pkTimerPeriodic, retryInterval_,
                                                       [this] { RetryRefusedIcons(); });
        retryTimer_->SetEnabled(true);
    });
}

void Kestrix::RetryRefusedIcons() {
    bool stillRefused = false;
    for (const auto& item : items_.Snapshot()) {
        if (!item->Pending()) continue;
        item->AddToTray(true);
        stillRefused = stillRefused || item->Pending();
    }
    if (!stillRefused) retryTimer_->SetEnabled(false);
}

// --- members ----------------------------------------------------------------

HRESULT Kestrix::Add(LONG ID, VARIANT Icon, BSTR ToolTipText, VARIANT_BOOL Visible) {
    return Log.Member(L"Add", [&] {
        const std::wstring key = KeyOf(ID);
        // Refused before anything is shown, so no stray icon appears under the ID.
        if (items_.Exists(key)) platform::Raise(platform::errors::DuplicateKey, L"Kestrix.Add");
        auto item = KestrixItem::Make();
        item->InitItem(this, CallbackWindow(), ID, Icon, platform::Bstr::Text(ToolTipText), Visible != VARIANT_FALSE);
        try {
            items_.Add(key, item);
        } catch (...) {
            item->Orphan();
            throw;
        }
    });
}

// Lookups answer "no" or no object whenever they cannot answer; what kept
// them from answering is logged.
HRESULT Kestrix::Exists(LONG ID, VARIANT_BOOL* result) {
    return Log.Member(L"Exists", [&] {
        VARIANT_BOOL& answer = *platform::CheckOut(result);
        answer = Log.Guard(L"Exists", platform::Trap::Always,
                           [&] { return platform::ToVariantBool(items_.Exists(KeyOf(ID))); });
    });
}

HRESULT Kestrix::Item(LONG ID, _KestrixItem** result) {
    return Log.Member(L"Item", [&] {
        _KestrixItem*& answer = *platform::CheckOut(result);
        answer = nullptr;
        Log.Guard(L"Item", platform::Trap::Always, [&] {
            if (auto* item = items_.Find(KeyOf(ID)))
                (*item)->QueryInterface(IID__KestrixItem, reinterpret_cast<void**>(&answer));
        });
    });
}

HRESULT Kestrix::PreparePopupMenu(LONG_PTR hWnd) {
    return Log.Member(L"PreparePopupMenu", [&] {
        popupWindow_ = reinterpret_cast<HWND>(hWnd);
        ::SetForegroundWindow(popupWindow_);
        popupPrepared_ = VARIANT_TRUE;
    });
}

// An absent ID is no failure; a step that fails is logged and skipped.
HRESULT Kestrix::Remove(LONG ID) {
    return Log.Member(L"Remove", [&] {
        Log.Skip(L"Remove", [&] {
            const std::wstring key = KeyOf(ID);
            auto* found = items_.Find(key);
            if (!found) return;
            platform::ComPtr<KestrixItem> item = *found;
            items_.Remove(key);
            // A client may still hold the item; its icon goes all the same.
            item->Orphan();
        });
    });
}

HRESULT Kestrix::RemoveAll() {
    return Log.Member(L"RemoveAll", [&] {
        for (int position = items_.Count(); position >= 1; --position) {
            Log.Skip(L"RemoveAll", [&] {
                platform::ComPtr<KestrixItem> item = items_.Item(position);
                items_.Remove(position);
                item->Orphan();
            });
        }
    });
}

HRESULT Kestrix::get_Count(LONG* value) {
    return Log.Member(L"Get_Count", [&] { *platform::CheckOut(value) = items_.Count(); });
}

HRESULT Kestrix::get_Enabled(VARIANT_BOOL* value) {
    return Log.Member(L"Get_Enabled", [&] { *platform::CheckOut(value) = platform::ToVariantBool(enabled_); });
}

HRESULT Kestrix::put_Enabled(VARIANT_BOOL value) {
    return Log.Member(L"Let_Enabled", [&] {
        const bool enable = value != VARIANT_FALSE;
        if (enable == enabled_) return;
        if (enabled_)
            DetachWindow();
        else
            AttachWindow(CallbackWindow());
        enabled_ = enable;
    });
}

HRESULT Kestrix::get_NewEnum(IUnknown** value) {
    return Log.Member(L"Get_NewEnum", [&] {
        IUnknown** out = platform::CheckOut(value);
        std::vector<Variant> items;
        for (const auto& entry : items_)
            items.push_back(Variant::FromObject(static_cast<_KestrixItem*>(entry.value.Get())));
        *out = platform::com::MakeEnumerator<IEnumVARIANT, VARIANT>(std::move(items)).Detach();
    });
}

// --- the callback window ----------------------------------------------------

HRESULT Kestrix::WindowProc(LONG_PTR hWnd, LONG uMsg, LONG_PTR wParam, LONG_PTR lParam, LONG_PTR* result) {
    return Log.Member(L"WindowProc", [&] {
        const HWND window = reinterpret_cast<HWND>(hWnd);
        const UINT message = static_cast<UINT>(uMsg);
        auto passOn = [&] {
            return SubclassModule::CallOldWindowProc(window, message, static_cast<WPARAM>(wParam), lParam);
        };
        LRESULT answer = 0;
        if (message == TrayCallbackMessage) {
            answer = passOn();
            Log.Skip(L"WindowProc",
                     [&] { OnTrayMessage(static_cast<LONG>(wParam), static_cast<UINT>(lParam)); });
        } else if (message == taskbarCreatedMessage_) {
            Log.Skip(L"WindowProc", [&] { OnTaskbarCreated(); });
            answer = passOn();
        } else {
            answer = passOn();
        }
        if (result) *result = answer;
    });
}

void Kestrix::QueueMouse(TVEvent type, EventQueue::AddMode mode, EventQueue::QueueKind kind, const std::wstring& key,
                         std::initializer_list<Variant> parameters) {
    Log.Skip(L"WindowProc", [&] { eventQueue_->Add(type, mode, key, kind, platform::MakeVariantArray(parameters)); });
}

void Kestrix::OnTrayMessage(LONG id, UINT mouseMessage) {
    POINT cursor{};
    Log.Skip(L"WindowProc", [&] { ::GetCursorPos(&cursor); });
    const Variant x = Variant::FromInt32(cursor.x), y = Variant::FromInt32(cursor.y), ID = Variant::FromInt32(id);
    switch (mouseMessage) {
        case WM_MOUSEMOVE:
            QueueMouse(tvEventMouseMove, EventQueue::AddReplace, EventQueue::PostedQueue, {},
                       {ID, Variant::FromInt32(LeftButton), x, y});
            break;
        case WM_LBUTTONDOWN: ButtonDown(id, LeftButton, cursor); break;
        case WM_RBUTTONDOWN: ButtonDown(id, RightButton, cursor); break;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP: {
            const LONG button = mouseMessage == WM_LBUTTONUP ? LeftButton : RightButton;
            QueueMouse(tvEventMouseUp, EventQueue::AddAlways, EventQueue::PostedQueue, {},
                       {ID, Variant::FromInt32(button), x, y, PopupFlag()});
            popupPrepared_ = VARIANT_FALSE;
            break;
        }
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK: {
            const LONG button = mouseMessage == WM_LBUTTONDBLCLK ? LeftButton : RightButton;
            clickKey_.clear();
            QueueMouse(tvEventDblClick, EventQueue::AddAlways, EventQueue::PostedQueue, {},
                       {ID, Variant::FromInt32(button), PopupFlag()});
            break;
        }
        default: break;  // middle button and anything else
    }
}

void Kestrix::ButtonDown(LONG id, LONG button, POINT cursor) {
    // A click still held back belongs before anything of the new press.
    Log.Skip(L"WindowProc", [&] { eventQueue_->Flush(EventQueue::DelayQueue); });
    clickKey_ = KeyOf(id) + KeyOf(button);
    const Variant ID = Variant::FromInt32(id), b = Variant::FromInt32(button);
    QueueMouse(tvEventClick, EventQueue::AddIfAbsent, EventQueue::DelayQueue, clickKey_, {ID, b, PopupFlag()});
    QueueMouse(tvEventMouseDown, EventQueue::AddAlways, EventQueue::PostedQueue, {},
               {ID, b, Variant::FromInt32(cursor.x), Variant::FromInt32(cursor.y), PopupFlag()});
    popupPrepared_ = VARIANT_FALSE;
}

void Kestrix::OnTaskbarCreated() {
    for (const auto& item : items_.Snapshot()) Log.Skip(L"WindowProc", [&] { item->AddToTray(true); });
    Log.Skip(L"WindowProc", [&] {
        eventQueue_->Add(tvEventTaskbarRestart, EventQueue::AddAlways, {}, EventQueue::PostedQueue, Variant());
    });
}

// --- delivery ---------------------------------------------------------------

void Kestrix::PostPopupRelease() noexcept { ::PostMessageW(popupWindow_, PopupReleaseMessage, 0, 0); }

HRESULT Kestrix::FireEvent(TVEvent EventType, VARIANT* Parameters) {
    return Log.Member(L"FireEvent", [&] {
        VARIANT none{};
        Log.Skip(L"FireEvent", [&] { Deliver(EventType, Parameters ? *Parameters : none); });
    });
}

// A handler's failure is logged and does not keep the release message, or
// the events after it, from going out.
void Kestrix::Deliver(TVEvent type, const VARIANT& p) {
    auto raise = [&](DISPID id, std::initializer_list<Variant> arguments) {
        Log.Skip(L"FireEvent", [&] { events_.Fire(id, arguments); });
    };
    // The popup flag is read after the handlers ran: a handler that prepared
    // a pop-up menu gets its release message once it has returned.
    auto releaseIfPrepared = [&](long index) {
        Log.Skip(L"FireEvent", [&] {
            if (FlagParameter(p, index)) PostPopupRelease();
        });
    };
    auto number = [&](long index) { return Variant::FromInt32(Parameter(p, index)); };
    switch (type) {
        case tvEventClick:
            if (clickKey_.empty()) return;  // a double click cancelled it
            raise(ClickEventId, {number(0), number(1)});
            releaseIfPrepared(2);
            break;
        case tvEventDblClick:
            raise(DblClickEventId, {number(0), number(1)});
            releaseIfPrepared(2);
            break;
        case tvEventMouseDown:
        case tvEventMouseUp:
            raise(type == tvEventMouseDown ? MouseDownEventId : MouseUpEventId,
                  {number(0), number(1), number(2), number(3)});
            releaseIfPrepared(4);
            break;
        case tvEventMouseMove: raise(MouseMoveEventId, {number(0), number(1), number(2), number(3)}); break;
        case tvEventTaskbarRestart: raise(TaskbarRestartEventId, {}); break;
        default: break;
    }
}
