#pragma once
// One top-level window of another program. A tracked wrapper carries the
// action its rule asks for, applies it and lifts it again; a display-only
// wrapper (no rule, no action) only answers what the lists show of a window.
#include <windows.h>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ICountdown.h"
#include "TextMatch.h"

class CRule;
class IWindowHost;

// What a wrapper is made with.
struct WindowSettings {
    int32_t action = -1;
    int32_t criteria = -1;
    int32_t alpha = 128;
    int32_t autoHideDelay = 0;
    bool suspended = false;
};

// ShowWindow command chosen by the window's state: restore when minimized.
inline constexpr int32_t AutomaticShowCommand = -1;
// Milliseconds a window has to answer the responsiveness probe.
inline constexpr UINT StatusTimeoutMs = 50;
// Status values.
inline constexpr int32_t WindowRunning = 0;
inline constexpr int32_t WindowNotResponding = 1;

// Whether a tracked window's action is in force, as the windows list tells it.
enum class ActionOutcome {
    Taken,            // in force, or not yet known otherwise
    NotResponding,    // waits for the window to answer before it is made
    Refused,          // made, but the window did not take it
    RefusedElevated,  // the same, from a window of a program run as administrator
};

// A window's program as the rules test it: asked for once, however many
// rules test the window, and only when one of them names a program.
class WindowProgram {
public:
    explicit WindowProgram(HWND hWnd) noexcept : hwnd_(hWnd) {}
    WindowProgram(const WindowProgram&) = delete;
    WindowProgram& operator=(const WindowProgram&) = delete;

    // Empty when the window's process cannot be opened.
    const std::wstring& Path();
    // The path and its file name as the rules compare them: folded once.
    const TextMatch::TitleText& FullPath();
    const TextMatch::TitleText& FileName();

private:
    HWND hwnd_;
    std::optional<std::wstring> path_;
    std::optional<TextMatch::TitleText> fullPath_;
    std::optional<TextMatch::TitleText> fileName_;
};

class CWindow : public std::enable_shared_from_this<CWindow> {
public:
    // Initialize: `rule` is none for display-only wrappers. A tracked one is
    // kept in its host's registry and tells the host what changes; its
    // auto-hide countdown (the host's) starts here for "Hide in System Tray"
    // with a delay.
    static std::shared_ptr<CWindow> Create(const std::shared_ptr<CRule>& rule, HWND hWnd, const WindowSettings& settings,
                                           IWindowHost* host = nullptr);
    ~CWindow();
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;

    HWND hWnd() const noexcept { return hwnd_; }
    int32_t Action() const noexcept { return action_; }
    // Whether the action takes the window off the screen (into the tray or out of sight).
    bool Hides() const noexcept;
    int32_t Criteria() const noexcept { return criteria_; }
    int32_t Alpha() const noexcept { return alpha_; }
    int32_t AutoHideDelay() const noexcept { return autoHideDelay_; }
    bool Hidden() const noexcept { return hidden_; }
    bool Suspended() const noexcept { return suspended_; }
    // Days since 1899-12-30, as the rest of the program keeps dates.
    double TimeStamp() const noexcept { return timeStamp_; }
    std::shared_ptr<CRule> Parent() const { return parent_.lock(); }
    bool BelongsTo(const CRule* rule) const noexcept { return rule && parentId_ == rule; }
    // Whether the auto-hide countdown is running.
    bool CountdownRunning() const;
    // Whether the action took. Another program's window is asked to change
    // without waiting on it, and checked once it has answered.
    ActionOutcome Outcome() const noexcept { return outcome_; }
    bool Refused() const noexcept {
        return outcome_ == ActionOutcome::Refused || outcome_ == ActionOutcome::RefusedElevated;
    }

    // The window's text, or that of its last active pop-up.
    std::wstring Title(bool fromPopup = false) const;
    // The title the lists show: reading another program's title is a trip
    // to the system, and the lists show many, so while its host follows the
    // window's events (it forgets the title at each) the one last read serves.
    std::wstring ListedTitle();
    void ForgetTitle() noexcept { keptTitle_.reset(); }
    std::wstring Class() const;
    // The full path of the program the window belongs to; empty when its
    // process cannot be opened. Kept per process, so asking again is cheap.
    std::wstring Program() const { return ProgramPath(hwnd_); }
    static std::wstring ProgramPath(HWND hWnd);
    // The file name at the end of a program's path.
    static std::wstring_view ProgramFileName(std::wstring_view path) noexcept;
    // How many processes the program keeps the paths of.
    static size_t KnownProgramCount() noexcept;
    // WindowRunning, or WindowNotResponding when the window does not answer in time.
    int32_t Status() const;
    // The window's icon: 0 small (tray and menus), 1 large (switcher); none
    // when the window does not answer. A window without an icon of its own
    // (or one the platform will not tell another process) shows the icon of
    // its program's file, as the taskbar does.
    HICON IconHandle(int32_t index, bool useCache);
    // The icons the lists show (small: the menus and the Tray Manager; large:
    // the switcher): the rule's own, else the window's as last asked for, so
    // that showing them asks the window nothing. A tracked window's small
    // icon is asked for when it is taken, the large one when first shown;
    // each refresh (the window's events, the full passes) asks again, since
    // a window may change its icon with its title or its showing. A window
    // that does not answer keeps the icon it had.
    HICON SmallIcon();
    HICON LargeIcon();

    // Applies the action; with `show` it toggles between applied and lifted.
    void ExecuteAction(bool show, int32_t showCmd = AutomaticShowCommand, bool useCache = false);
    // Re-checks the window and re-applies the action, or ends tracking.
    void Refresh(bool reset, bool skipMatch);
    // Brings the window to the user, lifting the action where needed.
    void Show();
    // Undoes the action and ends tracking.
    void Delete();
    // The countdown elapsed: the tray icon goes, the window stays hidden.
    void AutoHide();
    // Lifts the action and shows `target` (the window or its last active pop-up).
    void ClearAction(HWND target, int32_t showCmd);
    // Restarts (or stops) the countdown.
    void ResetAutoHide(bool enable);

    // Gives back what an action took from a window: shows a hidden one,
    // takes "on top" and transparency away.
    static void UndoAction(HWND hWnd, int32_t action);

private:
    CWindow(const std::shared_ptr<CRule>& rule, HWND hWnd, const WindowSettings& settings, IWindowHost* host);
    void Initialize();
    void ApplyAction(bool show, int32_t showCmd, bool useCache);
    void ShowTrayIcon(bool useCache);
    // Layered style and opacity of another program's window change only once
    // it answers, since changing a style waits on the window.
    void ChangeOpacity(BYTE alpha);
    // Checks the action after the window has answered, a few rounds.
    void CheckWhenAnswered();
    void AwaitAnswer();
    void WindowAnswered();
    bool ActionTook() const;
    void Refuse();
    void EndTracking(bool silent);
    // The window's own or its class's icon; nothing when the window did not answer.
    std::optional<HICON> AskForIcon(HWND window, bool largeFirst) const;
    // IconHandle's answers without the rule's icon; nothing when the window did not answer.
    std::optional<HICON> AskSmallIcon() const;
    std::optional<HICON> AskLargeIcon() const;
    // Asks again for the icons the lists keep.
    void RefreshIcons();
    void moTimer_Timer();

    // The tracker, which outlives every window it tracks; none for display-only wrappers.
    IWindowHost* host_;
    HWND hwnd_;
    std::weak_ptr<CRule> parent_;
    const CRule* parentId_;
    int32_t action_;
    int32_t criteria_;
    int32_t alpha_;
    int32_t autoHideDelay_;
    bool suspended_;
    bool hidden_ = false;
    double timeStamp_ = 0;
    HICON cachedSmallIcon_ = nullptr;
    int32_t cacheHits_ = 0;
    std::optional<HICON> keptSmallIcon_;
    std::optional<HICON> keptLargeIcon_;
    std::optional<std::wstring> keptTitle_;
    std::unique_ptr<ICountdown> moTimer_;
    ActionOutcome outcome_ = ActionOutcome::Taken;
    // The opacity still to be given once the window answers.
    std::optional<BYTE> pendingAlpha_;
    bool awaitingAnswer_ = false;
    int checksLeft_ = 0;
    bool refusalLogged_ = false;
};
