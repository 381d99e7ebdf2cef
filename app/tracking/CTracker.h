#pragma once
// Tracking: the window-event hook and the full passes that offer every
// top-level window to the rules, the registry of the windows the rules took,
// and what tracked windows need of the program (their countdowns, an ear for
// their changes).
#include <windows.h>
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "IRuleHost.h"
#include "WinEventModule.h"

class CRules;

// What tracking tells the program: a tracked window came, changed or went,
// and a rule was edited.
class ITrackingEvents {
public:
    virtual void WindowAdded(HWND hWnd) = 0;
    virtual void WindowChanged(HWND hWnd, HICON icon, const std::wstring& title) = 0;
    virtual void WindowRemoved(HWND hWnd, bool silent) = 0;
    virtual void RulesEdited() = 0;

protected:
    ~ITrackingEvents() = default;
};

class CTracker : public IRuleHost, public IWinEvent, public std::enable_shared_from_this<CTracker> {
public:
    // `options` and `events` outlive the tracker.
    CTracker(const Options& options, ITrackingEvents& events);
    CTracker(const CTracker&) = delete;
    CTracker& operator=(const CTracker&) = delete;

    // The rules that windows are offered to; none until it is set.
    void SetRules(CRules* rules) noexcept { rules_ = rules; }

    // With `wanted`, a full pass over every top-level window, then the
    // window-event hook (installed once); otherwise the hook goes. Tracked
    // windows keep their state either way.
    void Update(bool wanted);
    void Stop();
    bool Tracking() const noexcept { return hook_ != nullptr; }

    // The matching step, for one window: an untracked window is offered to
    // the rules, a tracked one refreshed, or with `release` (the window is
    // being destroyed) let go.
    void Offer(HWND hWnd, bool release);
    // Offers every top-level window in turn.
    void OfferAll();
    // Re-checks every tracked window, or with `reset` lets them all go; the
    // pass that follows (`wanted`, as Update) matches them all again.
    void Refresh(bool reset, bool wanted);

    // The tracked wrapper under that key or at that 1-based position; none when absent.
    std::shared_ptr<CWindow> Find(const std::wstring& key) const;
    std::shared_ptr<CWindow> At(int32_t index) const;
    WindowRegistry& Windows() noexcept { return windows_; }

    // The matching step remembers the windows whose title and class every
    // rule turned away, with their title, so that another event about one of
    // them (shows of tips and controls come by the hundred) costs one title
    // read while that title stays. Forgotten when a rule could take more
    // windows than before, at every full pass and whenever tracking stops.
    void ForgetPassedOverWindows() noexcept { passedOver_.clear(); }
    size_t PassedOverWindowCount() const noexcept { return passedOver_.size(); }
    // A window given back hidden is shown by its own thread when that thread
    // gets to it, and reads as hidden until then. A pass that follows at once
    // (a refresh lets every window go and matches them all again) takes the
    // windows noted here as shown: skipped as hidden, a window that a rule
    // takes only while visible would stay out with nothing to bring it up again.
    void NoteShowRequested(HWND hWnd) { showRequested_.insert(hWnd); }
    void ForgetShowRequests() noexcept { showRequested_.clear(); }

    // IRuleHost
    WindowRegistry& TrackedWindows() noexcept override { return windows_; }
    const Options& CurrentOptions() const noexcept override { return options_; }
    bool FollowsWindowEvents() const noexcept override { return Tracking(); }
    std::unique_ptr<ICountdown> CreateCountdown(int32_t milliseconds, std::function<void()> elapsed) override;
    void OnWindowAdd(HWND hWnd) override { events_.WindowAdded(hWnd); }
    void OnWindowChange(HWND hWnd, HICON icon, const std::wstring& title) override {
        events_.WindowChanged(hWnd, icon, title);
    }
    void OnWindowRemove(HWND hWnd, bool silent) override { events_.WindowRemoved(hWnd, silent); }
    void RulesEdited() override { events_.RulesEdited(); }
    void MatchingChanged() noexcept override { ForgetPassedOverWindows(); }

private:
    // A window event from the hook: the window is offered to tracking.
    void WinEventProc(DWORD eventId, HWND hWnd) override;
    void PassOver(HWND hWnd, std::wstring title);
    bool PassedOver(HWND hWnd, const std::wstring& title) const;
    bool VisibleOrShowing(HWND hWnd) const;

    const Options& options_;
    ITrackingEvents& events_;
    CRules* rules_ = nullptr;
    WindowRegistry windows_;
    HWINEVENTHOOK hook_ = nullptr;
    // Untracked windows the rules' text tests turned away, with the title each had then.
    std::unordered_map<HWND, std::wstring> passedOver_;
    std::unordered_set<HWND> showRequested_;
};
