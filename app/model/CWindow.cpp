#include "CWindow.h"

#include <oleauto.h>
#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <map>
#include <optional>

#include "CRule.h"
#include "ErrorModule.h"
#include "Guard.h"
#include "IWindowHost.h"
#include "Options.h"
#include "RecoveryModule.h"
#include "Strings.h"
#include "Window.h"
#include "WindowModule.h"

namespace {

constexpr wchar_t ClassName[] = L"CWindow";
constexpr UINT KeepPlace = SWP_NOSIZE | SWP_NOMOVE;
constexpr UINT KeepPlaceQuietly = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
constexpr int32_t MillisecondsPerSecond = 1000;
constexpr int32_t SmallIconIndex = 0;
constexpr int32_t LargeIconIndex = 1;
// Longest program path we look for, in characters.
constexpr size_t MaxImagePath = 32768;

double Now() {
    SYSTEMTIME time{};
    ::GetLocalTime(&time);
    double days = 0;
    ::SystemTimeToVariantTime(&time, &days);
    return days;
}

int32_t AutomaticCommandFor(HWND window) { return ::IsIconic(window) ? SW_RESTORE : SW_SHOW; }

int32_t Resolve(int32_t showCmd, HWND window) {
    return showCmd == AutomaticShowCommand ? AutomaticCommandFor(window) : showCmd;
}

void ClearLayered(HWND window) { platform::SetLayeredAlpha(window, platform::OpaqueAlpha, false); }

// Changing a style sends the window messages and waits for them: another
// program's window is changed only when it answers now, else once it has.
void ClearLayeredWithoutWaiting(HWND window) {
    if (platform::IsOwnWindow(window) || WindowAnswers(window, StatusTimeoutMs)) {
        ClearLayered(window);
        return;
    }
    WhenWindowAnswers(window, [window] {
        if (::IsWindow(window)) ClearLayered(window);
    });
}

void PlaceAt(HWND window, HWND after, UINT flags) { PlaceWindow(window, after, flags); }

// Rounds of answers a window is given to show that an action took: the
// change and the question travel through its queue in turn, so one round is
// mostly enough, but a window may take the change in two steps.
constexpr int CheckRounds = 2;
// The number the exception log gives a refused action.
constexpr int32_t ActionRefusedNumber = ERROR_ACCESS_DENIED;

// Actions that change the window in a way the user would miss if the program
// went away without giving it back.
bool UndoesSomething(int32_t action) {
    return action == ActionHideInTray || action == ActionHide || action == ActionOnTop || action == ActionTransparency;
}

// Show commands that take a minimized window out of its minimized state.
bool Unminimizes(int32_t showCmd) {
    switch (showCmd) {
        case SW_SHOWNORMAL:
        case SW_SHOWMAXIMIZED:
        case SW_SHOWNOACTIVATE:
        case SW_RESTORE:
        case SW_SHOWDEFAULT: return true;
        default: return false;
    }
}

// The image path of a process, or nothing when the system will not tell.
std::optional<std::wstring> ImagePath(HANDLE process) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        auto size = static_cast<DWORD>(path.size());
        if (::QueryFullProcessImageNameW(process, 0, path.data(), &size)) {
            path.resize(size);
            return path;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || path.size() > MaxImagePath) return std::nullopt;
        path.resize(path.size() * 2);
    }
}

// What the program knows of one process. The handle it holds keeps the
// system from giving the process's id to another process while the entry
// lives, so a window whose process has that id is this process's without
// asking the system again.
struct KnownProcess {
    platform::UniqueKernelHandle process;
    std::wstring path;
};

bool HasEnded(const KnownProcess& known) noexcept {
    return ::WaitForSingleObject(known.process.get(), 0) != WAIT_TIMEOUT;
}

ULONGLONG CreationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << (CHAR_BIT * sizeof(DWORD))) | created.dwLowDateTime;
}

// Processes by id and creation time: a later process given an id again is
// another entry. Entries of processes that have ended are let go whenever a
// new process is kept, so the handles held never outnumber the processes met
// since the last of them ended.
class ProcessCache {
public:
    const std::wstring* Find(DWORD processId) {
        // While an entry holds its process, no other process has that id.
        const auto found = processes_.lower_bound({processId, 0});
        return found != processes_.end() && found->first.first == processId ? &found->second.path : nullptr;
    }

    // A process that cannot be opened is not kept: it is asked again next time.
    const std::wstring* Add(DWORD processId) {
        KnownProcess known;
        known.process.reset(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId));
        if (!known.process) return nullptr;
        const ULONGLONG created = CreationTime(known.process.get());
        auto path = ImagePath(known.process.get());
        if (created == 0 || !path || HasEnded(known)) return nullptr;
        known.path = std::move(*path);
        std::erase_if(processes_, [](const auto& entry) { return HasEnded(entry.second); });
        return &processes_.insert_or_assign({processId, created}, std::move(known)).first->second.path;
    }

    size_t Count() const noexcept { return processes_.size(); }

private:
    std::map<std::pair<DWORD, ULONGLONG>, KnownProcess> processes_;
};

ProcessCache& KnownProcesses() {
    static ProcessCache cache;
    return cache;
}

// Icons taken from programs' images, one pair per program file, kept for the
// life of the process like the icons a window class holds.
struct ImageIcons {
    platform::UniqueHIcon smallIcon;
    platform::UniqueHIcon largeIcon;
};

HICON ProcessImageIcon(HWND window, bool large) {
    static std::map<std::wstring, ImageIcons> cache;
    const std::wstring path = CWindow::ProgramPath(window);
    if (path.empty()) return nullptr;
    auto [entry, added] = cache.try_emplace(platform::ToLower(path));
    if (added) {
        // The outputs are only icons when the call reports some.
        HICON largeIcon = nullptr;
        HICON smallIcon = nullptr;
        const UINT extracted = ::ExtractIconExW(path.c_str(), 0, &largeIcon, &smallIcon, 1);
        if (extracted != 0 && extracted != UINT_MAX) {
            entry->second.largeIcon.reset(largeIcon);
            entry->second.smallIcon.reset(smallIcon);
        }
    }
    return large ? entry->second.largeIcon.get() : entry->second.smallIcon.get();
}

// One icon query; false when the window did not answer in time. A question
// that was not passed on at all (Wine does not pass it to another process)
// gives no icon.
bool AskIcon(HWND window, WPARAM kind, HICON& icon) {
    DWORD_PTR result = 0;
    icon = nullptr;
    if (::SendMessageTimeoutW(window, WM_GETICON, kind, 0, SMTO_ABORTIFHUNG, static_cast<UINT>(MessageTimeout), &result)) {
        icon = reinterpret_cast<HICON>(result);
        return true;
    }
    return ::GetLastError() != ERROR_TIMEOUT;
}

HICON ClassIcon(HWND window, int index) { return reinterpret_cast<HICON>(::GetClassLongPtrW(window, index)); }

}  // namespace

std::shared_ptr<CWindow> CWindow::Create(const std::shared_ptr<CRule>& rule, HWND hWnd, const WindowSettings& settings,
                                         IWindowHost* host) {
    std::shared_ptr<CWindow> window(new CWindow(rule, hWnd, settings, host));
    window->Initialize();
    return window;
}

CWindow::CWindow(const std::shared_ptr<CRule>& rule, HWND hWnd, const WindowSettings& settings, IWindowHost* host)
    : host_(host),
      hwnd_(hWnd),
      parent_(rule),
      parentId_(rule.get()),
      action_(settings.action),
      criteria_(settings.criteria),
      alpha_(settings.alpha),
      autoHideDelay_(settings.autoHideDelay),
      suspended_(settings.suspended) {}

CWindow::~CWindow() {
    platform::Guard(ClassName, L"Class_Terminate", platform::Trap::Always, [&] { moTimer_.reset(); });
}

void CWindow::Initialize() {
    platform::Guard(ClassName, L"Initialize", [&] {
        timeStamp_ = Now();
        cachedSmallIcon_ = nullptr;
        // Taken by a rule: the lists show its icon from now on.
        if (host_) keptSmallIcon_ = AskSmallIcon();
        if (action_ != ActionHideInTray || autoHideDelay_ < 1 || !host_) return;
        const int32_t interval = std::min(autoHideDelay_, INT32_MAX / MillisecondsPerSecond) * MillisecondsPerSecond;
        std::weak_ptr<CWindow> self = weak_from_this();
        moTimer_ = host_->CreateCountdown(interval, [self] {
            if (auto window = self.lock()) window->moTimer_Timer();
        });
        if (moTimer_) moTimer_->SetEnabled(true);
    });
}

bool CWindow::Hides() const noexcept { return action_ == ActionHideInTray || action_ == ActionHide; }

bool CWindow::CountdownRunning() const { return moTimer_ && moTimer_->Enabled(); }

// --- what the lists show ------------------------------------------------------

std::wstring CWindow::Title(bool fromPopup) const {
    HWND target = hwnd_;
    if (fromPopup) {
        if (HWND popup = ::GetLastActivePopup(hwnd_)) target = popup;
    }
    return WindowText(target);
}

std::wstring CWindow::ListedTitle() {
    if (!host_ || !host_->FollowsWindowEvents()) return Title(false);
    if (!keptTitle_) keptTitle_ = Title(false);
    return *keptTitle_;
}

std::wstring CWindow::Class() const { return WindowClassName(hwnd_); }

std::wstring CWindow::ProgramPath(HWND hWnd) {
    DWORD processId = 0;
    if (!::GetWindowThreadProcessId(hWnd, &processId) || processId == 0) return {};
    auto& cache = KnownProcesses();
    const std::wstring* path = cache.Find(processId);
    if (!path) path = cache.Add(processId);
    return path ? *path : std::wstring();
}

size_t CWindow::KnownProgramCount() noexcept { return KnownProcesses().Count(); }

std::wstring_view CWindow::ProgramFileName(std::wstring_view path) noexcept {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

const std::wstring& WindowProgram::Path() {
    if (!path_) path_ = CWindow::ProgramPath(hwnd_);
    return *path_;
}

// Both view the path, which stays as it is once asked for.
const TextMatch::TitleText& WindowProgram::FullPath() {
    if (!fullPath_) fullPath_.emplace(Path());
    return *fullPath_;
}

const TextMatch::TitleText& WindowProgram::FileName() {
    if (!fileName_) fileName_.emplace(CWindow::ProgramFileName(Path()));
    return *fileName_;
}

int32_t CWindow::Status() const { return WindowAnswers(hwnd_, StatusTimeoutMs) ? WindowRunning : WindowNotResponding; }

std::optional<HICON> CWindow::AskForIcon(HWND window, bool largeFirst) const {
    const WPARAM first = largeFirst ? ICON_BIG : ICON_SMALL;
    const WPARAM second = largeFirst ? ICON_SMALL : ICON_BIG;
    const int firstClass = largeFirst ? GCLP_HICON : GCLP_HICONSM;
    const int secondClass = largeFirst ? GCLP_HICONSM : GCLP_HICON;
    HICON icon = nullptr;
    // A window whose program has stopped answering is not asked at all, and
    // one that does not answer gets no more questions.
    if (!WindowAnswers(window, static_cast<UINT>(MessageTimeout)) || !AskIcon(window, first, icon)) return std::nullopt;
    if (!icon) icon = ClassIcon(window, firstClass);
    if (!icon && !AskIcon(window, second, icon)) return std::nullopt;
    if (!icon) icon = ClassIcon(window, secondClass);
    return icon;
}

std::optional<HICON> CWindow::AskSmallIcon() const {
    auto own = AskForIcon(hwnd_, false);
    if (!own) return std::nullopt;
    return *own ? *own : ProcessImageIcon(hwnd_, false);
}

std::optional<HICON> CWindow::AskLargeIcon() const {
    auto own = AskForIcon(hwnd_, true);
    if (!own) return std::nullopt;
    if (*own) return *own;
    HWND relative = ::GetParent(hwnd_);
    if (!relative) relative = WindowOwner(hwnd_);
    if (relative) {
        if (auto owners = AskForIcon(relative, true); owners && *owners) return *owners;
    }
    return ProcessImageIcon(hwnd_, true);
}

HICON CWindow::IconHandle(int32_t index, bool useCache) {
    return platform::Guard(ClassName, L"Get_IconHandle", [&]() -> HICON {
        // The rule's own icons are asked for at each use: the rule drops
        // them when its icon settings change.
        auto rule = parent_.lock();
        if (index == SmallIconIndex) {
            if (HICON custom = rule ? rule->IconHandle(SmallIconIndex) : nullptr) return custom;
            if (useCache && cachedSmallIcon_ && cacheHits_ < IconCacheRefreshInterval) {
                ++cacheHits_;
                return cachedSmallIcon_;
            }
            cacheHits_ = 0;
            cachedSmallIcon_ = AskSmallIcon().value_or(nullptr);
            return cachedSmallIcon_;
        }
        if (index == LargeIconIndex) {
            if (HICON custom = rule ? rule->IconHandle(LargeIconIndex) : nullptr) return custom;
            return AskLargeIcon().value_or(nullptr);
        }
        return nullptr;
    });
}

HICON CWindow::SmallIcon() {
    return platform::Guard(ClassName, L"Get_IconHandle", [&]() -> HICON {
        auto rule = parent_.lock();
        if (HICON custom = rule ? rule->IconHandle(SmallIconIndex) : nullptr) return custom;
        if (!keptSmallIcon_) keptSmallIcon_ = AskSmallIcon();
        return keptSmallIcon_.value_or(nullptr);
    });
}

HICON CWindow::LargeIcon() {
    return platform::Guard(ClassName, L"Get_IconHandle", [&]() -> HICON {
        auto rule = parent_.lock();
        if (HICON custom = rule ? rule->IconHandle(LargeIconIndex) : nullptr) return custom;
        if (!keptLargeIcon_) keptLargeIcon_ = AskLargeIcon();
        return keptLargeIcon_.value_or(nullptr);
    });
}

void CWindow::RefreshIcons() {
    if (auto small = AskSmallIcon()) {
        keptSmallIcon_ = small;
        // The tray icon a refresh shows from its cache is the one just asked for.
        cachedSmallIcon_ = *small;
        cacheHits_ = 0;
    }
    if (keptLargeIcon_) {
        if (auto large = AskLargeIcon()) keptLargeIcon_ = large;
    }
}

// --- applying and lifting the action -----------------------------------------

void CWindow::ExecuteAction(bool show, int32_t showCmd, bool useCache) {
    auto self = shared_from_this();
    platform::Guard(ClassName, L"ExecuteAction", [&] {
        if (show) {
            if (!::IsWindow(hwnd_)) {
                Delete();
                return;
            }
            ResetAutoHide(true);
            if (!suspended_) {
                ClearAction(hwnd_, Resolve(showCmd, hwnd_));
                return;
            }
            suspended_ = false;
        }
        if (suspended_) {
            if (action_ == ActionHideInTray) ShowTrayIcon(useCache);
            return;
        }
        ApplyAction(show, Resolve(showCmd, hwnd_), useCache);
    });
}

void CWindow::ApplyAction(bool show, int32_t showCmd, bool useCache) {
    // Recorded before the window changes, so that no moment passes in which
    // a crash would leave it hidden with nobody knowing.
    if (UndoesSomething(action_) && !Refused()) RecordWindowAction(hwnd_, action_);
    switch (action_) {
        case ActionHideInTray:
            ::ShowWindowAsync(hwnd_, SW_HIDE);
            // A window that refused to hide gets its icon back only once it has hidden.
            if (!Refused()) ShowTrayIcon(useCache);
            break;
        case ActionHide: ::ShowWindowAsync(hwnd_, SW_HIDE); break;
        case ActionOnTop:
            if (platform::HasExtendedStyle(hwnd_, WS_EX_TOPMOST)) break;
            if (show) {
                PlaceAt(hwnd_, HWND_TOPMOST, KeepPlace);
                ::ShowWindowAsync(hwnd_, showCmd);
            } else {
                PlaceAt(hwnd_, HWND_TOPMOST, KeepPlaceQuietly);
            }
            break;
        case ActionTransparency:
            // A window that is layered already keeps the opacity it has.
            if (alpha_ < platform::OpaqueAlpha) ChangeOpacity(static_cast<BYTE>(std::max(alpha_, 0)));
            [[fallthrough]];
        case ActionIgnore:
            if (show) {
                PlaceAt(hwnd_, HWND_TOP, KeepPlace);
                BringToFront(hwnd_);
                ::ShowWindowAsync(hwnd_, showCmd);
            }
            break;
        case ActionClose:
            // Asked again at every refresh for as long as the window lives.
            ::PostMessageW(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case ActionBringToFront:
            BringToFront(hwnd_);
            ::ShowWindowAsync(hwnd_, show ? SW_RESTORE : SW_SHOW);
            suspended_ = true;  // once per wrapper
            break;
        default: break;
    }
    CheckWhenAnswered();
}

void CWindow::ChangeOpacity(BYTE alpha) {
    if (platform::IsOwnWindow(hwnd_) || WindowAnswers(hwnd_, StatusTimeoutMs)) {
        pendingAlpha_.reset();
        if (outcome_ == ActionOutcome::NotResponding) outcome_ = ActionOutcome::Taken;
        platform::SetLayeredAlpha(hwnd_, alpha, false);
        return;
    }
    pendingAlpha_ = alpha;
    outcome_ = ActionOutcome::NotResponding;
    AwaitAnswer();
}

void CWindow::CheckWhenAnswered() {
    // The program's own windows change at once and need no checking.
    if (!host_ || platform::IsOwnWindow(hwnd_)) return;
    switch (action_) {
        case ActionHideInTray:
        case ActionHide:
        case ActionOnTop:
        case ActionTransparency: break;
        default: return;
    }
    checksLeft_ = CheckRounds;
    AwaitAnswer();
}

void CWindow::AwaitAnswer() {
    if (awaitingAnswer_) return;
    awaitingAnswer_ = true;
    std::weak_ptr<CWindow> self = weak_from_this();
    WhenWindowAnswers(hwnd_, [self] {
        if (auto window = self.lock()) window->WindowAnswered();
    });
}

void CWindow::WindowAnswered() {
    auto self = shared_from_this();
    platform::Guard(ClassName, L"WindowAnswered", platform::Trap::Always, [&] {
        awaitingAnswer_ = false;
        if (!::IsWindow(hwnd_) || suspended_) return;
        if (pendingAlpha_) {
            const BYTE alpha = *pendingAlpha_;
            ChangeOpacity(alpha);
            if (pendingAlpha_) return;  // hung again: asked once more when it answers
            checksLeft_ = CheckRounds;
            AwaitAnswer();
            return;
        }
        if (checksLeft_ <= 0) return;
        if (ActionTook()) {
            checksLeft_ = 0;
            if (!Refused()) return;
            // Taken at last: held like any other window from now on.
            outcome_ = ActionOutcome::Taken;
            RecordWindowAction(hwnd_, action_);
            if (action_ == ActionHideInTray) ShowTrayIcon(false);
            return;
        }
        if (--checksLeft_ > 0) {
            AwaitAnswer();
            return;
        }
        Refuse();
    });
}

bool CWindow::ActionTook() const {
    switch (action_) {
        case ActionHideInTray:
        case ActionHide: return !::IsWindowVisible(hwnd_);
        case ActionOnTop: return platform::HasExtendedStyle(hwnd_, WS_EX_TOPMOST);
        case ActionTransparency: return alpha_ >= platform::OpaqueAlpha || platform::HasExtendedStyle(hwnd_, WS_EX_LAYERED);
        default: return true;
    }
}

void CWindow::Refuse() {
    const bool first = !Refused();
    outcome_ = WindowRunsElevated(hwnd_) ? ActionOutcome::RefusedElevated : ActionOutcome::Refused;
    // Nothing to give back, and no icon for a window still on the screen.
    ForgetWindowAction(hwnd_);
    if (first && action_ == ActionHideInTray && host_) host_->OnWindowRemove(hwnd_, true);
    if (refusalLogged_) return;
    // One entry per window, however often the scans try it again.
    refusalLogged_ = true;
    std::wstring description = L"The window \"" + Title(false) + L"\" (" + Class() + L") refused its action";
    if (outcome_ == ActionOutcome::RefusedElevated) description += L": runs as administrator";
    LogError(ActionRefusedNumber, description, ClassName, L"ExecuteAction");
}

void CWindow::ShowTrayIcon(bool useCache) {
    if (host_) host_->OnWindowChange(hwnd_, IconHandle(SmallIconIndex, useCache), Title(false));
}

void CWindow::ClearAction(HWND target, int32_t showCmd) {
    auto self = shared_from_this();
    platform::Guard(ClassName, L"ClearAction", [&] {
        suspended_ = true;
        ResetAutoHide(true);
        if (!::IsWindow(hwnd_)) {
            Delete();
            return;
        }
        showCmd = Resolve(showCmd, hwnd_);
        switch (action_) {
            case ActionHideInTray:
                // Drop what the window's pop-up menu added to its system menu.
                ::GetSystemMenu(hwnd_, TRUE);
                ResetMenuBar(hwnd_);
                break;
            case ActionOnTop: PlaceAt(hwnd_, HWND_NOTOPMOST, KeepPlace); break;
            case ActionTransparency:
                pendingAlpha_.reset();
                if (outcome_ == ActionOutcome::NotResponding) outcome_ = ActionOutcome::Taken;
                ClearLayeredWithoutWaiting(hwnd_);
                PlaceAt(hwnd_, HWND_TOP, KeepPlace);
                break;
            case ActionIgnore:
                suspended_ = false;
                PlaceAt(hwnd_, HWND_TOP, KeepPlace);
                break;
            default: break;
        }
        if (action_ != ActionIgnore) ForgetWindowAction(hwnd_);
        BringToFront(target);
        ::ShowWindowAsync(target, showCmd);
        // The show is asynchronous, so the window's state cannot be read back
        // yet: judge by what the command does to it.
        const bool staysMinimized = ::IsIconic(hwnd_) && !(target == hwnd_ && Unminimizes(showCmd));
        if (criteria_ == CriteriaOnMinimize && !staysMinimized) EndTracking(false);
    });
}

void CWindow::Show() {
    auto self = shared_from_this();
    ResetAutoHide(true);
    HWND popup = ::GetLastActivePopup(hwnd_);
    if (!popup) popup = hwnd_;
    const int32_t command = AutomaticCommandFor(popup);
    if (action_ == ActionOnTop || action_ == ActionTransparency) {
        // Visible anyway: the action stays in force.
        BringToFront(popup);
        ::ShowWindowAsync(popup, command);
    } else {
        ClearAction(popup, command);
    }
}

void CWindow::Refresh(bool reset, bool skipMatch) {
    auto self = shared_from_this();
    platform::Guard(ClassName, L"Refresh", [&] {
        bool deleted = false;
        if (!::IsWindow(hwnd_)) {
            Delete();
            deleted = true;
        }
        if (!deleted && !skipMatch) {
            auto rule = parent_.lock();
            if (host_ && host_->CurrentOptions().ruleOptions[SearchTopLevelWindowsOnly] && ::GetParent(hwnd_)) {
                Delete();
                deleted = true;
            } else if (rule && rule->IsMatch(hwnd_, *(keptTitle_ = Title(false)), Class(), false)) {
                RefreshIcons();
                if (reset) suspended_ = false;
                ExecuteAction(false, AutomaticShowCommand, !reset);
            } else {
                Delete();
                deleted = true;
            }
        }
        if (reset && !deleted) ResetAutoHide(true);
    });
}

void CWindow::Delete() {
    auto self = shared_from_this();
    platform::Guard(ClassName, L"Delete", [&] {
        ResetAutoHide(false);
        pendingAlpha_.reset();
        checksLeft_ = 0;
        if (::IsWindow(hwnd_)) {
            ::GetSystemMenu(hwnd_, TRUE);
            ResetMenuBar(hwnd_);
            UndoAction(hwnd_, action_);
        }
        EndTracking(false);
    });
}

void CWindow::UndoAction(HWND hWnd, int32_t action) {
    switch (action) {
        case ActionHideInTray:
        case ActionHide:
            if (!::IsWindowVisible(hWnd)) ::ShowWindowAsync(hWnd, SW_SHOWNA);
            break;
        case ActionOnTop: PlaceAt(hWnd, HWND_NOTOPMOST, KeepPlaceQuietly); break;
        case ActionTransparency: ClearLayeredWithoutWaiting(hWnd); break;
        default: break;
    }
}

void CWindow::EndTracking(bool silent) {
    ForgetWindowAction(hwnd_);
    if (!host_) return;
    const std::wstring key = WindowKey(hwnd_);
    auto& windows = host_->TrackedWindows();
    if (const auto* registered = windows.Find(key); registered && registered->get() == this) windows.Remove(key);
    host_->OnWindowRemove(hwnd_, silent);
}

void CWindow::AutoHide() {
    auto self = shared_from_this();
    hidden_ = true;
    if (host_) host_->OnWindowRemove(hwnd_, true);
    // From now on a plain hidden window, reached through the menus.
    action_ = ActionHide;
}

void CWindow::ResetAutoHide(bool enable) {
    platform::Guard(ClassName, L"ResetAutoHide", [&] {
        if (enable) timeStamp_ = Now();
        if (!moTimer_) return;
        moTimer_->SetEnabled(false);
        // Disabling and enabling starts a full interval again.
        if (enable) moTimer_->SetEnabled(!suspended_);
    });
}

void CWindow::moTimer_Timer() {
    platform::Guard(ClassName, L"moTimer_Timer", platform::Trap::Always, [&] { AutoHide(); });
}
