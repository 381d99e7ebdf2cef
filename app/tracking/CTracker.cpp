#include "CTracker.h"

#include "CRules.h"
#include "CWindow.h"
#include "ComClient.h"
#include "Guard.h"
#include "KestrixInterfaces.h"
#include "MainModule.h"
#include "Options.h"
#include "OwnedTimer.h"
#include "Window.h"
#include "WindowModule.h"

namespace {

constexpr wchar_t ClassName[] = L"CTracker";
// The matching step keeps the log source it always had.
constexpr wchar_t MainModuleName[] = L"Main";
// A desktop has a few thousand windows at most; a list of passed-over
// windows grown past this starts over rather than keep what it cannot tell is stale.
constexpr size_t MostPassedOver = 16384;

// A tracked window's countdown: a one-shot timer of the tray component.
class TimerCountdown final : public ICountdown {
public:
    TimerCountdown(int32_t milliseconds, std::function<void()> elapsed)
        : timer_(platform::com::CreateComponent<_TimerEx>(CLSID_TimerEx, L"Kestrix.dll"), pkTimerOneShot,
                 static_cast<LONG>(milliseconds), std::move(elapsed)) {}
    bool Enabled() const override { return timer_.Enabled(); }
    void SetEnabled(bool value) override { timer_.SetEnabled(value); }

private:
    OwnedTimer timer_;
};

// The windows a refresh gives back hidden are taken as shown by the pass
// that follows it, and by nothing after: the notes go however the pass ends.
class ShowRequestsOfOnePass {
public:
    explicit ShowRequestsOfOnePass(CTracker& tracker) : tracker_(tracker) {}
    ShowRequestsOfOnePass(const ShowRequestsOfOnePass&) = delete;
    ShowRequestsOfOnePass& operator=(const ShowRequestsOfOnePass&) = delete;
    ~ShowRequestsOfOnePass() { tracker_.ForgetShowRequests(); }

private:
    CTracker& tracker_;
};

}  // namespace

CTracker::CTracker(const Options& options, ITrackingEvents& events) : options_(options), events_(events) {}

std::unique_ptr<ICountdown> CTracker::CreateCountdown(int32_t milliseconds, std::function<void()> elapsed) {
    return std::make_unique<TimerCountdown>(milliseconds, std::move(elapsed));
}

void CTracker::Update(bool wanted) {
    platform::Guard(ClassName, L"SetWinEventHook", [&] {
        if (!wanted) {
            Stop();
            return;
        }
        // The hook goes in before the pass, and the events it brings during
        // the pass wait for its end: a window changed after the pass went by
        // it is not missed. Without a hook (refused, or an application nobody
        // shares) tracking still works through the full passes.
        BusyScope busy;
        if (!hook_) hook_ = WinEventSetHook(shared_from_this(), TrackedEventRanges);
        // The pass asks every window afresh.
        ForgetPassedOverWindows();
        OfferAll();
    });
}

void CTracker::Stop() {
    platform::Guard(ClassName, L"ClearWinEventHook", [&] {
        HWINEVENTHOOK hook = std::exchange(hook_, nullptr);
        WinEventClearHook(hook);
        // Without events nothing tells of a window destroyed and its handle
        // given to another.
        ForgetPassedOverWindows();
    });
}

void CTracker::WinEventProc(DWORD eventId, HWND hWnd) {
    BusyScope busy;
    platform::Guard(ClassName, L"IWinEvent_WinEventProc", [&] {
        // Whatever the event, the window may have a new title.
        if (auto tracked = Find(WindowKey(hWnd))) tracked->ForgetTitle();
        Offer(hWnd, eventId == EVENT_OBJECT_DESTROY);
    });
}

void CTracker::OfferAll() {
    ::EnumWindows(
        [](HWND hWnd, LPARAM tracker) -> BOOL {
            reinterpret_cast<CTracker*>(tracker)->Offer(hWnd, false);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(this));
}

void CTracker::Offer(HWND hWnd, bool release) {
    platform::Guard(MainModuleName, L"EnumFindWindowProc", platform::Trap::Always, [&] {
        if (!rules_ || hWnd == MainWindowHandle) return;
        // A destroyed window's handle may come back on another window.
        if (release) passedOver_.erase(hWnd);
        // A scan puts these tests to every window of the desktop, and each
        // question about another program's window may cost a trip to the
        // system: title and class (which any scan reads) and the rules' own
        // tests come first, since they reject almost every window.
        auto tracked = Find(WindowKey(hWnd));
        std::wstring title, windowClass;
        if (!tracked) {
            if (release) return;
            title = WindowText(hWnd);
            if (PassedOver(hWnd, title)) return;
            windowClass = WindowClassName(hWnd);
            bool textPassed = false;
            if (!rules_->Matches(hWnd, title, windowClass, &textPassed)) {
                // Only a verdict on the text alone holds until the text
                // changes: a window turned away for not being minimized may
                // be taken at its next event.
                if (!textPassed) PassOver(hWnd, std::move(title));
                return;
            }
            if (options_.ruleOptions[SearchVisibleWindowsOnly] && !VisibleOrShowing(hWnd)) return;
        }
        // The program's own windows (the main window, what it owns, the
        // components' windows, the dialogs) are never a rule's business.
        if (WindowOwner(hWnd) == MainWindowHandle || platform::IsOwnWindow(hWnd)) return;
        if (options_.ruleOptions[SearchTopLevelWindowsOnly] && ::GetParent(hWnd)) return;
        if (tracked) {
            if (release)
                tracked->Delete();
            else if (!options_.ruleOptions[SearchUnwatchedWindowsOnly])
                tracked->Refresh(false, false);
            return;
        }
        rules_->FindMatch(hWnd, title, windowClass);
    });
}

void CTracker::Refresh(bool reset, bool wanted) {
    // No event may reach a window half-way through the refresh: they wait
    // for its end. The hook stays, so none is lost meanwhile.
    BusyScope busy;
    const ShowRequestsOfOnePass showRequests(*this);
    for (const auto& window : windows_.Snapshot()) {
        if (!reset) {
            window->Refresh(true, false);
            continue;
        }
        if (window->Hides() && !::IsWindowVisible(window->hWnd())) NoteShowRequested(window->hWnd());
        window->Delete();
    }
    // Tracking starts again with a full pass over every window.
    Update(wanted);
}

std::shared_ptr<CWindow> CTracker::Find(const std::wstring& key) const {
    const auto* found = windows_.Find(key);
    return found ? *found : nullptr;
}

std::shared_ptr<CWindow> CTracker::At(int32_t index) const {
    if (index < 1 || index > windows_.Count()) return nullptr;
    return windows_.Item(index);
}

void CTracker::PassOver(HWND hWnd, std::wstring title) {
    if (passedOver_.size() >= MostPassedOver) passedOver_.clear();
    passedOver_.insert_or_assign(hWnd, std::move(title));
}

bool CTracker::PassedOver(HWND hWnd, const std::wstring& title) const {
    const auto found = passedOver_.find(hWnd);
    return found != passedOver_.end() && found->second == title;
}

bool CTracker::VisibleOrShowing(HWND hWnd) const {
    return ::IsWindowVisible(hWnd) || showRequested_.contains(hWnd);
}
