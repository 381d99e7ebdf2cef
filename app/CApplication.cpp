#include "CApplication.h"

#include <shellapi.h>

#include <variant>

#include "AutoStartModule.h"
#include "ComError.h"
#include "CClipboard.h"
#include "ColorScheme.h"
#include "CRegistry.h"
#include "CRule.h"
#include "CRules.h"
#include "CWindow.h"
#include "CWindows.h"
#include "ErrorModule.h"
#include "Guard.h"
#include "MainModule.h"
#include "Options.h"
#include "RecoveryModule.h"
#include "RulesFile.h"
#include "Strings.h"
#include "Variant.h"
#include "Version.h"
#include "WindowModule.h"
#include "frmMain.h"

namespace {

constexpr wchar_t ClassName[] = L"CApplication";

// What each command hot key does, as the options dialog names it.
constexpr std::array<const wchar_t*, HotkeyCommandCount> CommandHotkeyChoices = {
    L"Hide the active window in the tray", L"Restore all windows"};
// What the switcher's key does, named as the command keys are.
constexpr wchar_t SwitcherHotkeyPurpose[] = L"Switch between windows";

// A handle at full width: a 4-byte integer when it fits in one, else 8 bytes.
platform::Variant HandleVariant(const void* handle) {
    const auto value = reinterpret_cast<intptr_t>(handle);
    if (value >= INT32_MIN && value <= INT32_MAX) return platform::Variant::FromInt32(static_cast<int32_t>(value));
    return platform::Variant::FromInt64(value);
}

const wchar_t* AutoStartName(int32_t mode) {
    switch (mode) {
        case AutoStartCurrentUser: return L"Run for the current user";
        case AutoStartAllUsers: return L"Run for this computer";
        default: return L"Never run";
    }
}

// What the registry says is in effect: the machine-wide value wins.
int32_t AutoStartInEffect() {
    if (AutoStartModule::IsPresent(HKEY_LOCAL_MACHINE)) return AutoStartAllUsers;
    if (AutoStartModule::IsPresent(HKEY_CURRENT_USER)) return AutoStartCurrentUser;
    return AutoStartNever;
}

}  // namespace

CApplication::CApplication()
    : tracker_(std::make_shared<CTracker>(options_, static_cast<ITrackingEvents&>(*this))),
      rules_(std::make_unique<CRules>(tracker_.get(), static_cast<IPrompt*>(this))),
      clipboard_(std::make_unique<CClipboard>(*rules_, static_cast<IPrompt*>(this), options_.confirmations[ConfirmDelete])) {
    tracker_->SetRules(rules_.get());
}

CApplication::~CApplication() {
    platform::Guard(ClassName, L"Class_Terminate", platform::Trap::Always, [&] { Dispose(); });
}

void CApplication::RaiseOutOfRange(const wchar_t* property) {
    platform::Raise(platform::errors::SubscriptOutOfRange, std::wstring(ClassName) + L"." + property);
}

bool CApplication::Initialize(frmMain& owner) {
    return platform::Guard(ClassName, L"Initialize", [&] {
        owner_ = &owner;
        icons_.Create();
        icons_.TakeIcons(owner);
        CreateMenuComponent();
        menus_.Attach(quillet_.Get(), icons_.Component(), owner, icons_.DefaultWindowIcon());
        platform::ThrowIfFailed(quillet_->put_ImageList(HandleVariant(owner.imlIcons()).get()), L"Quillet.ImageList");
        platform::ThrowIfFailed(quillet_->Attach(reinterpret_cast<LONG_PTR>(owner.hWnd())), L"Quillet.Attach");
        LoadOptions(CRegistry());
        // Windows a previous run left hidden (it was killed or crashed) come
        // back before the rules look at them.
        RestoreRecordedWindows();
        const bool rulesLoaded = rules_->Initialize(CRegistry(), RulesSection);
        SetEnabled(rulesLoaded && options_.enabled);
        disabledForWantOfRules_ = !rulesLoaded;
        // Loading added every rule; none of that is the user's to undo.
        clipboard_->SetUndoObject(nullptr);
        RegisterStartUpHotKeys();
        return rulesLoaded;
    });
}

// --- the menu component ---------------------------------------------------------

void CApplication::CreateMenuComponent() {
    quillet_ = platform::com::CreateComponent<_Quillet>(CLSID_Quillet, L"Quillet.dll");
    hotkeys_.Attach(quillet_.Get());
    moQuillet_ = platform::com::MakeObject<platform::com::EventSink>(DIID___Quillet);
    quilletConnection_ =
        platform::com::EventConnection(quillet_.Get(), DIID___Quillet, static_cast<IDispatch*>(moQuillet_.Get()));
    moQuillet_->On(BandOpenEventId,
                   [this](const DISPPARAMS& p) { menus_.BandOpen(menu_component::EventObject<_Band>(p, 0).Get()); });
    moQuillet_->On(QuilletClickEventId,
                   [this](const DISPPARAMS& p) { menus_.Click(menu_component::EventObject<_Tool>(p, 0).Get()); });
    moQuillet_->On(HotKeyPressedEventId, [this](const DISPPARAMS& p) {
        moQuillet_HotKeyPressed(menu_component::EventLong(p, 0), menu_component::EventLong(p, 1), menu_component::EventLong(p, 2));
    });
}

// The hot keys were cleared by switching the switcher off; events stop
// before the component lets go of the window, then it goes.
void CApplication::ReleaseMenuComponent() {
    if (!quillet_) return;
    quilletConnection_.Disconnect();
    menus_.Detach();
    platform::SkipFailure(ClassName, L"Dispose",
                          [&] { platform::ThrowIfFailed(quillet_->Detach(), L"Quillet.Detach"); });
    platform::SkipFailure(ClassName, L"Dispose", [&] {
        hotkeys_.Attach(nullptr);
        quillet_.Reset();
        moQuillet_.Reset();
    });
}

void CApplication::LoadOptions(const CRegistry& store) {
    auto putInEffect = [&] {
        MessageTimeout = options_.messageTimeout;
        IconCacheRefreshInterval = options_.iconCacheRefreshInterval;
        SetInterval(options_.interval);
        SetMenuBanner(options_.menuBanner);
        SetMenuHighlight(options_.menuHighlight);
        SetMenuOwnerDraw(options_.menuOwnerDraw);
        ApplyColorScheme();
    };
    try {
        options_.Load(store);
    } catch (...) {
        // What was read before the value that could not be read is in effect too.
        putInEffect();
        throw;
    }
    putInEffect();
}

void CApplication::SaveOptions() {
    platform::Guard(ClassName, L"SaveOptions", [&] {
        CRegistry store;
        // Rewrite the autostart value first, so that what is stored is what took effect.
        SetAutoStart(options_.autoStart);
        // The switcher is stored as it is in effect.
        options_.switcher = hotkeys_.Switcher();
        options_.Save(store);
        // Every window is let go and matched again under the new options;
        // those the hot key hid are the user's, not the rules', and stay.
        WindowRegistry& windows = Windows();
        std::vector<std::shared_ptr<CWindow>> keptHidden;
        for (const auto& window : windows.Snapshot()) {
            if (!TakenByHotkey(*window)) continue;
            keptHidden.push_back(window);
            windows.Remove(WindowKey(window->hWnd()));
        }
        RefreshWindows(true);
        for (const auto& window : keptHidden) {
            const std::wstring key = WindowKey(window->hWnd());
            // A rule that took it meanwhile has it, icon and all.
            if (windows.Exists(key)) continue;
            windows.Add(key, window);
            if (!::IsWindow(window->hWnd())) window->Delete();
        }
    });
}

void CApplication::Dispose() {
    if (disposed_) return;
    disposed_ = true;
    // Each step in its own guard: teardown always reaches its end.
    auto step = [](auto&& body) { platform::SkipFailure(ClassName, L"Dispose", body); };
    step([&] { ClearWinEventHook(); });
    step([&] { SetSwitcher(false); });
    step([&] { hotkeys_.ClearCommandHotKeys(); });
    step([&] {
        CRegistry store;
        Options::SaveEnabled(store, enabled_);
    });
    ReleaseMenuComponent();
    // Rules go before the tray component: releasing a rule lets its windows go
    // and takes their icons away. The rule list and the clipboard stay, empty,
    // for whoever still holds the application.
    step([&] { clipboard_->Clear(); });
    step([&] { rules_->Clear(); });
    // Whatever is still tracked is given back too: no window the program hid
    // outlives it hidden.
    step([&] { ReleaseTrackedWindows(); });
    step([&] { icons_.Release(); });
    step([&] { Windows().Clear(); });
}

std::wstring CApplication::Version() const { return VersionText(); }

int CApplication::RuleCount() const noexcept { return rules_->Count(); }

WindowRegistry& CApplication::Windows() noexcept { return tracker_->Windows(); }

const WindowRegistry& CApplication::Windows() const noexcept { return tracker_->Windows(); }

std::shared_ptr<CWindow> CApplication::TrackedWindowAt(int32_t position) const { return tracker_->At(position); }

bool CApplication::Tracking() const noexcept { return tracker_->Tracking(); }

void CApplication::ReleaseTrackedWindows() {
    for (const auto& window : Windows().Snapshot()) GiveBack(*window);
}

void CApplication::GiveBack(CWindow& window) {
    const bool byHotkey = TakenByHotkey(window);
    window.Delete();
    // The hot key minimized the window before it hid it: it comes back as it was.
    if (byHotkey && ::IsWindow(window.hWnd())) ::ShowWindowAsync(window.hWnd(), SW_SHOWNOACTIVATE);
}

void CApplication::SetWinEventHook() { tracker_->Update(!disposed_ && enabled_ && !editMode_); }

void CApplication::ClearWinEventHook() { tracker_->Stop(); }

void CApplication::RefreshWindows(bool reset) {
    platform::Guard(ClassName, L"RefreshWindows", [&] {
        if (editMode_) return;
        tracker_->Refresh(reset, !disposed_ && enabled_);
    });
}

// The model asks while the user works in one of the program's windows (the
// editor deleting a rule, the inspector naming one): the box belongs to that
// window, which has the keyboard back once it is answered.
HWND CApplication::PromptOwner() const noexcept {
    HWND active = ::GetActiveWindow();
    return active && ::IsWindowVisible(active) ? active : DialogOwner();
}

bool CApplication::Confirm(const std::wstring& text, const wchar_t* caption) {
    return ShowMessageOver(PromptOwner(), text, MB_YESNO | MB_ICONQUESTION, caption) == IDYES;
}

void CApplication::Refuse(const std::wstring& text, const wchar_t* caption) {
    ShowMessageOver(PromptOwner(), text, MB_ICONSTOP | MB_OK, caption);
}

void CApplication::Warn(const std::wstring& text) { ShowMessageOver(PromptOwner(), text, MB_ICONEXCLAMATION); }

void CApplication::WindowAdded(HWND) {
    platform::Guard(ClassName, L"OnWindowAdd", [&] { events_.Raise(&IApplicationEvents::WindowAdd); });
}

void CApplication::WindowChanged(HWND hWnd, HICON hIcon, const std::wstring& title) {
    platform::Guard(ClassName, L"OnWindowChange", [&] {
        if (icons_.ShowWindowIcon(hWnd, hIcon, title)) events_.Raise(&IApplicationEvents::WindowChange);
    });
}

void CApplication::WindowRemoved(HWND hWnd, bool silent) {
    platform::Guard(ClassName, L"OnWindowRemove", [&] {
        icons_.RemoveIcon(TrayIconId(hWnd));
        if (!silent) events_.Raise(&IApplicationEvents::WindowRemove);
    });
}

void CApplication::Refresh() { icons_.ShowProgramIcon(enabled_); }

void CApplication::SetEnabled(bool value) {
    if (value && RuleCount() == 0) {
        value = false;
        ShowMessage(L"At least one rule must be added for correct operation.", MB_ICONEXCLAMATION);
    }
    enabled_ = value;
    disabledForWantOfRules_ = false;
    events_.Raise(&IApplicationEvents::EnableChange, value);
    Refresh();
    SetWinEventHook();
}

void CApplication::EnableForFirstRules() {
    if (disabledForWantOfRules_ && !enabled_ && RuleCount() > 0) SetEnabled(true);
}

void CApplication::SetEditMode(bool value) {
    editMode_ = value;
    SetWinEventHook();
}

void CApplication::SetHideIcon(int32_t value) {
    options_.hideIcon = value;
    Refresh();
}

void CApplication::SetAutoStart(int32_t value) {
    options_.autoStart = value;
    if (value < AutoStartNever || value > AutoStartAllUsers) return;
    LSTATUS error = ERROR_SUCCESS;
    const bool userDone = value == AutoStartCurrentUser ? AutoStartModule::Write(HKEY_CURRENT_USER, error)
                                                        : AutoStartModule::Remove(HKEY_CURRENT_USER, error);
    const bool machineDone = value == AutoStartAllUsers ? AutoStartModule::Write(HKEY_LOCAL_MACHINE, error)
                                                        : AutoStartModule::Remove(HKEY_LOCAL_MACHINE, error);
    if (userDone && machineDone) return;
    // Never claim a start-up mode that is not in effect.
    options_.autoStart = AutoStartInEffect();
    ShowMessage(std::wstring(AppInfo::Title) + L" could not be set to \"" + AutoStartName(value) + L"\": " +
                    platform::SystemMessage(static_cast<DWORD>(error)) + L"\r\n\r\nIt stays at \"" +
                    AutoStartName(options_.autoStart) + L"\".",
                MB_ICONEXCLAMATION);
}

void CApplication::SetInterval(int32_t value) {
    if (value < MinInterval || value > MaxInterval)
        platform::Raise(platform::errors::InvalidPropertyValue, std::wstring(ClassName) + L".Interval");
    options_.interval = value;
    events_.Raise(&IApplicationEvents::IntervalChange, value);
}

void CApplication::SetSwitcher(bool value) { hotkeys_.SetSwitcher(value); }

void CApplication::SetSwitcherHotkey(int32_t value) { hotkeys_.SetSwitcherHotkey(value); }

void CApplication::SetSwitcherHotkeyModifiers(int32_t value) { hotkeys_.SetSwitcherHotkeyModifiers(value); }

void CApplication::SetWindowTitleLength(int32_t value) noexcept {
    if (value >= 0) options_.windowTitleLength = value;
}

void CApplication::SetMenuBanner(bool value) {
    options_.menuBanner = value;
    menus_.ApplyMenuBanner();
}

void CApplication::SetMenuHighlight(int32_t value) {
    options_.menuHighlight = value;
    if (quillet_)
        platform::ThrowIfFailed(quillet_->put_HighlightStyle(static_cast<QLHighlightStyle>(value)),
                                L"Quillet.HighlightStyle");
    events_.Raise(&IApplicationEvents::MenuOptionsChange, options_.menuOwnerDraw, value);
}

void CApplication::SetTheme(int32_t value) {
    options_.theme = value;
    ApplyColorScheme();
}

void CApplication::ApplyColorScheme() {
    const platform::Scheme scheme = platform::SchemeFor(static_cast<platform::ThemeChoice>(options_.theme));
    platform::SetCurrentScheme(scheme);
    menu_component::ApplyScheme(quillet_.Get(), scheme);
    for (HWND form : OpenForms()) platform::UseDarkTitleBar(form, scheme == platform::Scheme::Dark);
    events_.Raise(&IApplicationEvents::ColorSchemeChange);
}

void CApplication::SetMenuOwnerDraw(bool value) {
    options_.menuOwnerDraw = value;
    menus_.ApplyMenuOwnerDraw();
    events_.Raise(&IApplicationEvents::MenuOptionsChange, value, options_.menuHighlight);
}

// --- the hide and restore hot keys, and the commands of a later start -------------

namespace {

// Windows that are part of the desktop itself, never the user's to hide.
constexpr const wchar_t* ShellClasses[] = {L"Progman", L"WorkerW", L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd"};

bool IsShellWindow(HWND window) {
    if (window == ::GetDesktopWindow() || window == ::GetShellWindow()) return true;
    const std::wstring windowClass = WindowClassName(window);
    return std::any_of(std::begin(ShellClasses), std::end(ShellClasses),
                       [&](const wchar_t* shell) { return platform::EqualsNoCase(windowClass, shell); });
}

}  // namespace

void CApplication::RegisterStartUpHotKeys() {
    const std::wstring refused =
        hotkeys_.StartSwitcher(options_.switcher, SwitcherHotkeyPurpose) +
        hotkeys_.RegisterCommandHotKeys(CommandHotkeyChoices);
    if (refused.empty()) return;
    // Said once, at start-up; the choice is kept, so that the next start tries again.
    ShowMessage(L"Another program already uses these hot keys:\r\n" + refused + L"\r\n\r\n" + AppInfo::Title +
                    L" goes on without them. Your choice stays as it is; choose other keys under Options, Hot keys.",
                MB_ICONEXCLAMATION);
}

void CApplication::SetCommandHotkey(int index, bool enabled, int32_t key, int32_t modifiers) {
    At(options_.commandHotkeys, index, L"CommandHotkey");
    hotkeys_.SetCommandHotkey(static_cast<size_t>(index), enabled, key, modifiers);
}

CRule& CApplication::HotkeyRule() {
    if (!hotkeyRule_) {
        // Empty title and class take any window; "On Minimize Only" keeps it
        // while it stays minimized in the tray, and lets it go once restored.
        hotkeyRule_ = CRule::Create(tracker_.get());
        RuleDefinition definition;
        definition.name = L"Hot key";
        definition.action = ActionHideInTray;
        definition.criteria = CriteriaOnMinimize;
        definition.enabled = true;
        hotkeyRule_->Define(definition);
    }
    return *hotkeyRule_;
}

bool CApplication::TakenByHotkey(const CWindow& window) const noexcept {
    return hotkeyRule_ && window.BelongsTo(hotkeyRule_.get());
}

bool CApplication::HideFrontWindow(HWND front) {
    return platform::Guard(ClassName, L"HideActiveWindow", [&] {
        HWND target = ::GetAncestor(front, GA_ROOT);
        if (disposed_ || !target || !::IsWindowVisible(target) || platform::IsOwnWindow(target) ||
            WindowOwner(target) == MainWindowHandle || IsShellWindow(target))
            return false;
        BusyScope busy;
        // A window a rule tracks changes hands: the user asked for the tray.
        if (auto tracked = tracker_->Find(WindowKey(target))) tracked->Delete();
        // Minimized first, as a window a rule takes when it is minimized: a
        // restore from the tray then brings it back as it was and ends tracking.
        ::ShowWindowAsync(target, SW_MINIMIZE);
        HotkeyRule().Windows().Add(target, ActionHideInTray, CriteriaOnMinimize, 0, 0);
        return true;
    });
}

bool CApplication::AdministratorNeeded() const {
    for (const auto& window : Windows().Snapshot()) {
        if (window->Outcome() == ActionOutcome::RefusedElevated) return true;
    }
    return false;
}

void CApplication::RestartAsAdministrator() {
    platform::Guard(ClassName, L"RestartAsAdministrator", [&] {
        std::wstring program(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length = ::GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
            if (length == 0) return;
            if (length < program.size()) {
                program.resize(length);
                break;
            }
            program.resize(program.size() * 2);
        }
        const std::wstring arguments = std::wstring(TakeOverSwitch) + L" " + std::to_wstring(::GetCurrentProcessId());
        SHELLEXECUTEINFOW start{};
        start.cbSize = sizeof start;
        start.fMask = SEE_MASK_NOASYNC;
        start.hwnd = MainWindowHandle;
        start.lpVerb = L"runas";
        start.lpFile = program.c_str();
        start.lpParameters = arguments.c_str();
        start.nShow = SW_SHOWNORMAL;
        // Refused (the user said no): this instance goes on as it was.
        if (!::ShellExecuteExW(&start)) return;
        // Everything is given back here once; the new instance takes the
        // windows afresh when this one has ended.
        Quit();
    });
}

void CApplication::RestoreAllWindows() {
    platform::Guard(ClassName, L"RestoreAllWindows", [&] {
        BusyScope busy;
        for (const auto& window : Windows().Snapshot()) {
            // A window shown already (restored under an "Always" rule) is back.
            if (window->Hides() && !window->Suspended()) GiveBack(*window);
        }
    });
}

LRESULT CApplication::RunFileCommand(const program_commands::RulesFileCommand& command) {
    return platform::Guard(ClassName, L"RunFileCommand", [&]() -> LRESULT {
        using namespace program_commands;
        if (!command.import)
            return rules_file::Save(command.path, rules_file::Definitions(Rules())).empty() ? FileCommandDone
                                                                                             : FileCommandFailed;
        // Saving the import would save the editor's pending changes with it.
        if (EditMode()) return FileCommandEditorBusy;
        auto loaded = rules_file::Load(command.path);
        if (!std::holds_alternative<std::vector<RuleDefinition>>(loaded)) return FileCommandFailed;
        const auto clashes = command.replace ? rules_file::Clashes::Replace : rules_file::Clashes::KeepBoth;
        if (rules_file::Import(Rules(), std::get<0>(loaded), clashes)) {
            // The list is as it was, and as it is stored.
            SetEditMode(false);
            return FileCommandFailed;
        }
        if (!Rules().Save()) {
            // The list goes back to what is stored.
            Rules().Reset();
            SetEditMode(false);
            RefreshWindows(true);
            return FileCommandFailed;
        }
        SetEditMode(false);
        EnableForFirstRules();
        RefreshWindows(true);
        return FileCommandDone;
    });
}

bool CApplication::RunCommand(const std::wstring& command, HWND front) {
    return platform::Guard(ClassName, L"RunCommand", [&] {
        using platform::EqualsNoCase;
        namespace names = program_commands;
        // A plain second start: the user who started the program wants its editor.
        if (command.empty() || EqualsNoCase(command, names::Setup)) {
            DisplaySetup();
            return true;
        }
        if (EqualsNoCase(command, names::RestoreAll)) {
            RestoreAllWindows();
            return true;
        }
        if (EqualsNoCase(command, names::HideActive)) return HideFrontWindow(front);
        if (EqualsNoCase(command, names::Enable)) {
            // Without rules it would stay off after a message nobody asked this program for.
            if (RuleCount() == 0) return false;
            SetEnabled(true);
            return enabled_;
        }
        if (EqualsNoCase(command, names::Disable)) {
            SetEnabled(false);
            return true;
        }
        return false;
    });
}
