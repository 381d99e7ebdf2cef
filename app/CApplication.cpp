#include "CApplication.h"

#include "AutoStartModule.h"
#include "ComError.h"
#include "CClipboard.h"
#include "CRegistry.h"
#include "CRule.h"
#include "CRules.h"
#include "CWindow.h"
#include "CWindows.h"
#include "ErrorModule.h"
#include "Guard.h"
#include "MainModule.h"
#include "RecoveryModule.h"
#include "Strings.h"
#include "Variant.h"
#include "Version.h"
#include "frmMain.h"

namespace {

constexpr wchar_t ClassName[] = L"CApplication";

namespace section {
constexpr wchar_t Root[] = L"";
constexpr wchar_t Options[] = L"Options";
constexpr wchar_t Confirmation[] = L"Options\\Confirmation";
constexpr wchar_t Mouse[] = L"Options\\Mouse";
constexpr wchar_t Menus[] = L"Options\\Menus";
constexpr wchar_t Switcher[] = L"Switcher";
constexpr wchar_t HideActiveHotkey[] = L"Hotkeys\\Hide Active";
constexpr wchar_t RestoreAllHotkey[] = L"Hotkeys\\Restore All";
}  // namespace section

// Where an option is stored and what it is when nothing is stored.
template <class T>
struct Option {
    const wchar_t* section;
    const wchar_t* name;
    T defaultValue;
};

constexpr Option<int32_t> TimeOutOption{section::Options, L"TimeOut", 500};
constexpr Option<int32_t> IconCacheOption{section::Options, L"Icon Cache Refresh Interval", 100};
constexpr Option<bool> EnabledOption{section::Root, L"Enabled", true};
constexpr Option<int32_t> HideIconOption{section::Options, L"Hide Icon", HideIconNever};
constexpr Option<int32_t> AutoStartOption{section::Options, L"AutoStart", AutoStartNever};
constexpr Option<int32_t> IntervalOption{section::Options, L"Windows Refresh Interval", 20};
constexpr Option<bool> WizardStyleOption{section::Options, L"Wizard Style", true};
constexpr Option<bool> RuleOptionList[] = {
    {section::Options, L"Search Top Level Windows Only", true},
    {section::Options, L"Search Unwatched Windows Only", false},
    {section::Options, L"Search Visible Windows Only", true},
};
constexpr Option<bool> ConfirmationList[] = {
    {section::Confirmation, L"Delete", true},
    {section::Confirmation, L"Exit", true},
    {section::Confirmation, L"Save on Exit", true},
};
constexpr Option<int32_t> MouseMainList[] = {
    {section::Mouse, L"Main Left Single Click", 0},
    {section::Mouse, L"Main Left Double Click", 1},
    {section::Mouse, L"Main Right Single Click", 2},
    {section::Mouse, L"Main Right Double Click", 0},
};
constexpr Option<int32_t> MouseWindowList[] = {
    {section::Mouse, L"Window Left Single Click", 1},
    {section::Mouse, L"Window Left Double Click", 0},
    {section::Mouse, L"Window Right Single Click", 2},
    {section::Mouse, L"Window Right Double Click", 0},
};
constexpr Option<bool> SwitcherEnabledOption{section::Switcher, L"Enabled", true};
constexpr Option<int32_t> HotkeyOption{section::Switcher, L"Hotkey", VK_TAB};
constexpr Option<int32_t> HotkeyModifierOption{section::Switcher, L"Hotkey Modifier", 2};
constexpr Option<bool> SwitcherOptionList[] = {
    {section::Switcher, L"Alt+Tab Mode", true},
    {section::Switcher, L"Show Cancel", true},
};
// The three modifiers together: common programs take Ctrl, Ctrl+Shift or
// Ctrl+Alt combinations, and leave Ctrl+Alt+Shift to tools of this kind.
constexpr int32_t CommandHotkeyModifiers = qlHotkeyModifierCtrl | qlHotkeyModifierAlt | qlHotkeyModifierShift;
struct CommandHotkeyOption {
    Option<bool> enabled;
    Option<int32_t> key;
    Option<int32_t> modifiers;
    // What the key does, as the options dialog names it.
    const wchar_t* choice;
};
constexpr CommandHotkeyOption CommandHotkeyOptions[HotkeyCommandCount] = {
    {{section::HideActiveHotkey, L"Enabled", true},
     {section::HideActiveHotkey, L"Hotkey", 'H'},
     {section::HideActiveHotkey, L"Hotkey Modifier", CommandHotkeyModifiers},
     L"Hide the active window in the tray"},
    {{section::RestoreAllHotkey, L"Enabled", true},
     {section::RestoreAllHotkey, L"Hotkey", 'R'},
     {section::RestoreAllHotkey, L"Hotkey Modifier", CommandHotkeyModifiers},
     L"Restore all windows"},
};
constexpr Option<int32_t> WindowTitleLengthOption{section::Menus, L"Window Title Length", 0};
constexpr Option<bool> BannerOption{section::Menus, L"Banner", true};
constexpr Option<int32_t> HighlightOption{section::Menus, L"Highlight", 1};
constexpr Option<bool> OwnerDrawOption{section::Menus, L"Owner Draw", true};
constexpr Option<bool> MenuOptionList[] = {
    {section::Menus, L"Window Titles", true},
    {section::Menus, L"Ignored Windows", false},
    {section::Menus, L"Pelkin! sub-menu", true},
    {section::Menus, L"Windows sub-menu", true},
};

// A window's tray icon has the window's handle as its ID.
LONG TrayId(HWND hWnd) { return static_cast<LONG>(reinterpret_cast<intptr_t>(hWnd)); }

// The tip of the program's icon while it is switched off.
constexpr wchar_t DisabledTipSuffix[] = L" (Disabled)";

LONG EventLong(const DISPPARAMS& params, UINT index) {
    return platform::ToInt32(platform::com::EventArgument(params, index), L"CApplication.KestrixEvents");
}

constexpr int32_t HotkeyAlreadyActive = platform::errors::ComponentCode(1000);
constexpr wchar_t HotkeyAlreadyActiveText[] = L"Hotkey already active";
// A handle at full width: a 4-byte integer when it fits in one, else 8 bytes.
platform::Variant HandleVariant(const void* handle) {
    const auto value = reinterpret_cast<intptr_t>(handle);
    if (value >= INT32_MIN && value <= INT32_MAX) return platform::Variant::FromInt32(static_cast<int32_t>(value));
    return platform::Variant::FromInt64(value);
}

const std::wstring ConversionSource = std::wstring(ClassName) + L".Initialize";

int32_t Load(const CRegistry& store, const Option<int32_t>& option) {
    return SettingToInt32(store.GetSetting(option.section, option.name, option.defaultValue), ConversionSource);
}
bool Load(const CRegistry& store, const Option<bool>& option) {
    return SettingToBool(store.GetSetting(option.section, option.name, option.defaultValue), ConversionSource);
}
template <class T, size_t N>
void LoadAll(const CRegistry& store, const Option<T> (&options)[N], std::array<T, N>& values) {
    for (size_t i = 0; i < N; ++i) values[i] = Load(store, options[i]);
}

// Options are always stored as text: decimal numbers, "True"/"False".
template <class T>
void Save(CRegistry& store, const Option<T>& option, T value) {
    store.SaveSetting(option.section, option.name, value, REG_SZ);
}
template <class T, size_t N>
void SaveAll(CRegistry& store, const Option<T> (&options)[N], const std::array<T, N>& values) {
    for (size_t i = 0; i < N; ++i) Save(store, options[i], values[i]);
}

template <class T, size_t N>
std::array<T, N> Defaults(const Option<T> (&options)[N]) {
    std::array<T, N> values{};
    for (size_t i = 0; i < N; ++i) values[i] = options[i].defaultValue;
    return values;
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

// Every option starts at its default, so that options a failed load never
// reached hold sensible values rather than zeros.
CApplication::CApplication()
    : clipboard_(std::make_unique<CClipboard>()),
      rules_(std::make_unique<CRules>()),
      storedEnabled_(EnabledOption.defaultValue),
      storedSwitcher_(SwitcherEnabledOption.defaultValue),
      hideIcon_(HideIconOption.defaultValue),
      autoStart_(AutoStartOption.defaultValue),
      interval_(IntervalOption.defaultValue),
      wizardStyle_(WizardStyleOption.defaultValue),
      ruleOptions_(Defaults(RuleOptionList)),
      confirmations_(Defaults(ConfirmationList)),
      mouseMain_(Defaults(MouseMainList)),
      mouseWindow_(Defaults(MouseWindowList)),
      switcherHotkey_(HotkeyOption.defaultValue),
      switcherHotkeyModifiers_(HotkeyModifierOption.defaultValue),
      switcherOptions_(Defaults(SwitcherOptionList)),
      windowTitleLength_(WindowTitleLengthOption.defaultValue),
      menuBanner_(BannerOption.defaultValue),
      menuHighlight_(HighlightOption.defaultValue),
      menuOwnerDraw_(OwnerDrawOption.defaultValue),
      menuOptions_(Defaults(MenuOptionList)) {
    for (int i = 0; i < HotkeyCommandCount; ++i) {
        const auto& option = CommandHotkeyOptions[i];
        commandHotkeys_[static_cast<size_t>(i)] = {option.enabled.defaultValue, option.key.defaultValue,
                                                   option.modifiers.defaultValue};
    }
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
        CreateTrayComponent();
        TakeIcons(owner);
        CreateMenuComponent();
        BuildMenus(owner);
        platform::ThrowIfFailed(quillet_->put_ImageList(HandleVariant(owner.imlIcons()).get()), L"Quillet.ImageList");
        windowIconBase_ = ImageList_GetImageCount(owner.imlIcons());
        platform::ThrowIfFailed(quillet_->Attach(reinterpret_cast<LONG_PTR>(owner.hWnd())), L"Quillet.Attach");
        LoadOptions(CRegistry());
        // Windows a previous run left hidden (it was killed or crashed) come
        // back before the rules look at them.
        RestoreRecordedWindows();
        const bool rulesLoaded = rules_->Initialize(CRegistry(), RulesSection);
        SetEnabled(rulesLoaded && storedEnabled_);
        disabledForWantOfRules_ = !rulesLoaded;
        // Loading added every rule; none of that is the user's to undo.
        clipboard_->SetUndoObject(nullptr);
        RegisterCommandHotKeys();
        SetSwitcher(storedSwitcher_);
        return rulesLoaded;
    });
}

void CApplication::CreateTrayComponent() {
    kestrix_ = platform::com::CreateComponent<_Kestrix>(CLSID_Kestrix, L"Kestrix.dll");
    moKestrix_ = platform::com::MakeObject<platform::com::EventSink>(DIID_KestrixEvents);
    kestrixConnection_ = platform::com::EventConnection(kestrix_.Get(), DIID_KestrixEvents,
                                                        static_cast<IDispatch*>(moKestrix_.Get()));
    moKestrix_->On(ClickEventId, [this](const DISPPARAMS& p) { moKestrix_Click(EventLong(p, 0), EventLong(p, 1)); });
    moKestrix_->On(DblClickEventId,
                   [this](const DISPPARAMS& p) { moKestrix_DblClick(EventLong(p, 0), EventLong(p, 1)); });
    moKestrix_->On(MouseUpEventId, [this](const DISPPARAMS& p) {
        moKestrix_MouseUp(EventLong(p, 0), EventLong(p, 1), EventLong(p, 2), EventLong(p, 3));
    });
    moKestrix_->On(MouseMoveEventId, [this](const DISPPARAMS& p) { moKestrix_MouseMove(EventLong(p, 0)); });
}

void CApplication::ReleaseTrayComponent() {
    if (!kestrix_) return;
    kestrixConnection_.Disconnect();
    platform::SkipFailure(ClassName, L"Dispose",
                          [&] { platform::ThrowIfFailed(kestrix_->RemoveAll(), L"Kestrix.RemoveAll"); });
    kestrix_.Reset();
    moKestrix_.Reset();
}

// --- the menu component ---------------------------------------------------------

void CApplication::CreateMenuComponent() {
    quillet_ = platform::com::CreateComponent<_Quillet>(CLSID_Quillet, L"Quillet.dll");
    moQuillet_ = platform::com::MakeObject<platform::com::EventSink>(DIID___Quillet);
    quilletConnection_ =
        platform::com::EventConnection(quillet_.Get(), DIID___Quillet, static_cast<IDispatch*>(moQuillet_.Get()));
    moQuillet_->On(BandOpenEventId,
                   [this](const DISPPARAMS& p) { moQuillet_BandOpen(menu_component::EventObject<_Band>(p, 0).Get()); });
    moQuillet_->On(QuilletClickEventId,
                   [this](const DISPPARAMS& p) { moQuillet_Click(menu_component::EventObject<_Tool>(p, 0).Get()); });
    moQuillet_->On(HotKeyPressedEventId, [this](const DISPPARAMS& p) {
        moQuillet_HotKeyPressed(EventLong(p, 0), EventLong(p, 1), EventLong(p, 2));
    });
}

// The hot keys were cleared by switching the switcher off; events stop
// before the component lets go of the window, then it goes.
void CApplication::ReleaseMenuComponent() {
    if (!quillet_) return;
    quilletConnection_.Disconnect();
    platform::SkipFailure(ClassName, L"Dispose",
                          [&] { platform::ThrowIfFailed(quillet_->Detach(), L"Quillet.Detach"); });
    platform::SkipFailure(ClassName, L"Dispose", [&] {
        quillet_.Reset();
        moQuillet_.Reset();
    });
}

bool CApplication::RegisterSwitcherHotKeys(int32_t key, int32_t modifiers) {
    LONG forward = 0;
    platform::ThrowIfFailed(quillet_->SetHotKey(key, static_cast<QLHotKeyModifiers>(modifiers), &forward),
                            L"Quillet.SetHotKey");
    // Without the first the second would only be held for nothing.
    if (forward == 0) return false;
    switcherHotKeyIds_[0] = forward;
    platform::ThrowIfFailed(
        quillet_->SetHotKey(key, static_cast<QLHotKeyModifiers>(modifiers | SwitcherBackwardsModifier), &switcherHotKeyIds_[1]),
        L"Quillet.SetHotKey");
    return true;
}

void CApplication::ClearSwitcherHotKeys() {
    for (LONG& id : switcherHotKeyIds_) {
        if (id != 0) platform::ThrowIfFailed(quillet_->ClearHotKey(std::exchange(id, 0)), L"Quillet.ClearHotKey");
    }
}

void CApplication::ChangeSwitcherHotKeys(int32_t key, int32_t modifiers, const wchar_t* property) {
    if (!switcher_ || !quillet_) return;
    ClearSwitcherHotKeys();
    if (RegisterSwitcherHotKeys(key, modifiers)) return;
    // The keys in use before come back, so that Switcher stays true to what is held.
    switcher_ = RegisterSwitcherHotKeys(switcherHotkey_, switcherHotkeyModifiers_);
    platform::Raise(HotkeyAlreadyActive, HotkeyAlreadyActiveText, std::wstring(ClassName) + L"." + property);
}

void CApplication::TakeIcons(const frmMain& owner) {
    iconEnabled_ = owner.ImageIcon(L"PKSmall");
    iconDisabled_ = owner.ImageIcon(L"PKSmallDisabled");
    iconDefault_ = owner.ImageIcon(L"Default");
}

void CApplication::LoadOptions(const CRegistry& store) {
    MessageTimeout = Load(store, TimeOutOption);
    IconCacheRefreshInterval = Load(store, IconCacheOption);
    storedEnabled_ = Load(store, EnabledOption);
    hideIcon_ = Load(store, HideIconOption);
    autoStart_ = Load(store, AutoStartOption);
    SetInterval(Load(store, IntervalOption));
    confirmations_[ConfirmDelete] = Load(store, ConfirmationList[ConfirmDelete]);
    confirmations_[ConfirmExit] = Load(store, ConfirmationList[ConfirmExit]);
    confirmations_[ConfirmSaveOnExit] = Load(store, ConfirmationList[ConfirmSaveOnExit]);
    wizardStyle_ = Load(store, WizardStyleOption);
    LoadAll(store, MouseMainList, mouseMain_);
    LoadAll(store, MouseWindowList, mouseWindow_);
    LoadAll(store, RuleOptionList, ruleOptions_);
    storedSwitcher_ = Load(store, SwitcherEnabledOption);
    switcherHotkey_ = Load(store, HotkeyOption);
    switcherHotkeyModifiers_ = Load(store, HotkeyModifierOption);
    LoadAll(store, SwitcherOptionList, switcherOptions_);
    windowTitleLength_ = std::max(0, Load(store, WindowTitleLengthOption));
    SetMenuBanner(Load(store, BannerOption));
    SetMenuHighlight(Load(store, HighlightOption));
    SetMenuOwnerDraw(Load(store, OwnerDrawOption));
    LoadAll(store, MenuOptionList, menuOptions_);
    LoadCommandHotkeys(store);
}

void CApplication::SaveOptions() {
    platform::Guard(ClassName, L"SaveOptions", [&] {
        CRegistry store;
        Save(store, HideIconOption, hideIcon_);
        // Rewrite the autostart value first, so that what is stored is what took effect.
        SetAutoStart(autoStart_);
        Save(store, AutoStartOption, autoStart_);
        Save(store, IntervalOption, interval_);
        SaveAll(store, ConfirmationList, confirmations_);
        Save(store, WizardStyleOption, wizardStyle_);
        SaveAll(store, MouseMainList, mouseMain_);
        SaveAll(store, MouseWindowList, mouseWindow_);
        SaveAll(store, RuleOptionList, ruleOptions_);
        Save(store, SwitcherEnabledOption, switcher_);
        Save(store, HotkeyOption, switcherHotkey_);
        Save(store, HotkeyModifierOption, switcherHotkeyModifiers_);
        SaveAll(store, SwitcherOptionList, switcherOptions_);
        Save(store, WindowTitleLengthOption, windowTitleLength_);
        Save(store, OwnerDrawOption, menuOwnerDraw_);
        Save(store, HighlightOption, menuHighlight_);
        Save(store, BannerOption, menuBanner_);
        SaveAll(store, MenuOptionList, menuOptions_);
        SaveCommandHotkeys(store);
        // Every window is let go and matched again under the new options;
        // those the hot key hid are the user's, not the rules', and stay.
        std::vector<std::shared_ptr<CWindow>> keptHidden;
        for (const auto& window : windows_.Snapshot()) {
            if (!TakenByHotkey(*window)) continue;
            keptHidden.push_back(window);
            windows_.Remove(WindowKey(window->hWnd()));
        }
        rules_->Refresh(true);
        for (const auto& window : keptHidden) {
            const std::wstring key = WindowKey(window->hWnd());
            // A rule that took it meanwhile has it, icon and all.
            if (windows_.Exists(key)) continue;
            windows_.Add(key, window);
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
    step([&] { ClearCommandHotKeys(); });
    step([&] { CRegistry().SaveSetting(EnabledOption.section, EnabledOption.name, enabled_, REG_SZ); });
    ReleaseMenuComponent();
    // Rules go before the tray component: releasing a rule lets its windows go
    // and takes their icons away. The rule list and the clipboard stay, empty,
    // for whoever still holds the application.
    step([&] { *clipboard_ = CClipboard(); });
    step([&] { rules_->Clear(); });
    // Whatever is still tracked is given back too: no window the program hid
    // outlives it hidden.
    step([&] { ReleaseTrackedWindows(); });
    step([&] { ReleaseTrayComponent(); });
    step([&] { windows_.Clear(); });
    step([&] {
        if (TheApp.get() == this) TheApp.reset();
    });
}

std::wstring CApplication::Version() const { return VersionText(); }

int CApplication::RuleCount() const noexcept { return rules_->Count(); }

void CApplication::ReleaseTrackedWindows() {
    for (const auto& window : windows_.Snapshot()) GiveBack(*window);
}

void CApplication::GiveBack(CWindow& window) {
    const bool byHotkey = TakenByHotkey(window);
    window.Delete();
    // The hot key minimized the window before it hid it: it comes back as it was.
    if (byHotkey && ::IsWindow(window.hWnd())) ::ShowWindowAsync(window.hWnd(), SW_SHOWNOACTIVATE);
}

void CApplication::SetWinEventHook() {
    platform::Guard(ClassName, L"SetWinEventHook", [&] {
        if (disposed_ || !enabled_ || editMode_) {
            ClearWinEventHook();
            return;
        }
        // The hook goes in before the pass, and the events it brings during
        // the pass wait for its end: a window changed after the pass went by
        // it is not missed. Without a hook (refused, or an application nobody
        // shares) tracking still works through the full passes.
        BusyScope busy;
        if (!winEventHook_) winEventHook_ = WinEventSetHook(weak_from_this().lock(), TrackedEventRanges);
        // The pass asks every window afresh.
        ForgetPassedOverWindows();
        ::EnumWindows(EnumFindWindowProc, 0);
    });
}

void CApplication::ClearWinEventHook() {
    platform::Guard(ClassName, L"ClearWinEventHook", [&] {
        HWINEVENTHOOK hook = std::exchange(winEventHook_, nullptr);
        WinEventClearHook(hook);
        // Without events nothing tells of a window destroyed and its handle
        // given to another.
        ForgetPassedOverWindows();
    });
}

void CApplication::WinEventProc(DWORD eventId, HWND hWnd) {
    BusyScope busy;
    platform::Guard(ClassName, L"IWinEvent_WinEventProc",
                    [&] { EnumFindWindowProc(hWnd, eventId == EVENT_OBJECT_DESTROY ? TRUE : FALSE); });
}

bool CApplication::SetTrayIcon(LONG id, HICON icon, const std::wstring& tip) {
    if (HasTrayIcon(id)) {
        platform::ComPtr<_KestrixItem> item;
        platform::ThrowIfFailed(kestrix_->Item(id, &item), L"Kestrix.Item");
        platform::ThrowIfFailed(item->Update(reinterpret_cast<LONG_PTR>(icon), platform::Bstr(tip).get()),
                                L"KestrixItem.Update");
        return false;
    }
    const auto picture = platform::Variant::FromInt64(reinterpret_cast<intptr_t>(icon));
    platform::ThrowIfFailed(kestrix_->Add(id, picture.get(), platform::Bstr(tip).get(), VARIANT_TRUE), L"Kestrix.Add");
    return true;
}

void CApplication::RemoveTrayIcon(LONG id) {
    if (HasTrayIcon(id)) platform::ThrowIfFailed(kestrix_->Remove(id), L"Kestrix.Remove");
}

void CApplication::Refresh() {
    platform::Guard(ClassName, L"Refresh", [&] {
        if (!kestrix_) return;
        HICON icon = enabled_ ? iconEnabled_.get() : iconDisabled_.get();
        std::wstring tip = AppInfo::Title;
        if (!enabled_) tip += DisabledTipSuffix;
        switch (hideIcon_) {
            case HideIconNever: SetTrayIcon(ProgramIconId, icon, tip); break;
            case HideIconWhileTrayed: {
                LONG count = 0;
                platform::ThrowIfFailed(kestrix_->get_Count(&count), L"Kestrix.Count");
                // One icon may be a window's: then the program's stays away.
                if (count == 0 || (count == 1 && HasTrayIcon(ProgramIconId)))
                    SetTrayIcon(ProgramIconId, icon, tip);
                else if (count > 1)
                    RemoveTrayIcon(ProgramIconId);
                break;
            }
            case HideIconAlways: RemoveTrayIcon(ProgramIconId); break;
            default: platform::Raise(platform::errors::InvalidPropertyValue, std::wstring(ClassName) + L".Refresh");
        }
    });
}

bool CApplication::HasTrayIcon(LONG id) const {
    VARIANT_BOOL exists = VARIANT_FALSE;
    platform::ThrowIfFailed(kestrix_->Exists(id, &exists), L"Kestrix.Exists");
    return exists != VARIANT_FALSE;
}

void CApplication::OnWindowAdd(HWND) {
    platform::Guard(ClassName, L"OnWindowAdd", [&] { events_.Raise(&IApplicationEvents::WindowAdd); });
}

void CApplication::OnWindowChange(HWND hWnd, HICON hIcon, const std::wstring& title) {
    platform::Guard(ClassName, L"OnWindowChange", [&] {
        if (!kestrix_) return;
        // Whether the program's icon shows may depend on how many there are.
        if (SetTrayIcon(TrayId(hWnd), hIcon ? hIcon : iconDefault_.get(), title)) Refresh();
        events_.Raise(&IApplicationEvents::WindowChange);
    });
}

void CApplication::OnWindowRemove(HWND hWnd, bool silent) {
    platform::Guard(ClassName, L"OnWindowRemove", [&] {
        if (kestrix_) {
            RemoveTrayIcon(TrayId(hWnd));
            Refresh();
        }
        if (!silent) events_.Raise(&IApplicationEvents::WindowRemove);
    });
}

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
    hideIcon_ = value;
    Refresh();
}

void CApplication::SetAutoStart(int32_t value) {
    autoStart_ = value;
    if (value < AutoStartNever || value > AutoStartAllUsers) return;
    LSTATUS error = ERROR_SUCCESS;
    const bool userDone = value == AutoStartCurrentUser ? AutoStartModule::Write(HKEY_CURRENT_USER, error)
                                                        : AutoStartModule::Remove(HKEY_CURRENT_USER, error);
    const bool machineDone = value == AutoStartAllUsers ? AutoStartModule::Write(HKEY_LOCAL_MACHINE, error)
                                                        : AutoStartModule::Remove(HKEY_LOCAL_MACHINE, error);
    if (userDone && machineDone) return;
    // Never claim a start-up mode that is not in effect.
    autoStart_ = AutoStartInEffect();
    ShowMessage(std::wstring(AppInfo::Title) + L" could not be set to \"" + AutoStartName(value) + L"\": " +
                    platform::SystemMessage(static_cast<DWORD>(error)) + L"\r\n\r\nIt stays at \"" +
                    AutoStartName(autoStart_) + L"\".",
                MB_ICONEXCLAMATION);
}

void CApplication::SetInterval(int32_t value) {
    if (value < MinInterval || value > MaxInterval)
        platform::Raise(platform::errors::InvalidPropertyValue, std::wstring(ClassName) + L".Interval");
    interval_ = value;
    events_.Raise(&IApplicationEvents::IntervalChange, value);
}

void CApplication::SetSwitcher(bool value) {
    if (value == switcher_) return;
    if (quillet_ && value && !RegisterSwitcherHotKeys(switcherHotkey_, switcherHotkeyModifiers_))
        platform::Raise(HotkeyAlreadyActive, HotkeyAlreadyActiveText, std::wstring(ClassName) + L".Switcher");
    if (quillet_ && !value) ClearSwitcherHotKeys();
    switcher_ = value;
}

void CApplication::SetSwitcherHotkey(int32_t value) {
    ChangeSwitcherHotKeys(value, switcherHotkeyModifiers_, L"SwitcherHotkey");
    switcherHotkey_ = value;
}

void CApplication::SetSwitcherHotkeyModifiers(int32_t value) {
    ChangeSwitcherHotKeys(switcherHotkey_, value, L"SwitcherHotkeyModifiers");
    switcherHotkeyModifiers_ = value;
}

void CApplication::SetWindowTitleLength(int32_t value) noexcept {
    if (value >= 0) windowTitleLength_ = value;
}

void CApplication::SetMenuBanner(bool value) {
    menuBanner_ = value;
    ApplyMenuBanner();
}

void CApplication::SetMenuHighlight(int32_t value) {
    menuHighlight_ = value;
    if (quillet_)
        platform::ThrowIfFailed(quillet_->put_HighlightStyle(static_cast<QLHighlightStyle>(value)),
                                L"Quillet.HighlightStyle");
    events_.Raise(&IApplicationEvents::MenuOptionsChange, menuOwnerDraw_, value);
}

void CApplication::SetMenuOwnerDraw(bool value) {
    menuOwnerDraw_ = value;
    ApplyMenuOwnerDraw();
    events_.Raise(&IApplicationEvents::MenuOptionsChange, value, menuHighlight_);
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

// The names of the keys that have no character of their own.
std::wstring KeyName(int32_t key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::wstring(1, static_cast<wchar_t>(key));
    constexpr int ScanCodeShift = 16;
    constexpr int ExtendedKeyBit = 1 << 24;
    constexpr int KeyNameCapacity = 64;
    LONG scanCode = static_cast<LONG>(::MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC)) << ScanCodeShift;
    // The navigation keys share their scan codes with the number pad's.
    if ((key >= VK_PRIOR && key <= VK_DOWN) || key == VK_INSERT || key == VK_DELETE) scanCode |= ExtendedKeyBit;
    wchar_t name[KeyNameCapacity] = {};
    if (::GetKeyNameTextW(scanCode, name, KeyNameCapacity) > 0) return name;
    return L"key " + std::to_wstring(key);
}

}  // namespace

std::wstring CApplication::HotkeyName(int32_t key, int32_t modifiers) {
    std::wstring name;
    if (modifiers & qlHotkeyModifierCtrl) name += L"Ctrl+";
    if (modifiers & qlHotkeyModifierAlt) name += L"Alt+";
    if (modifiers & qlHotkeyModifierShift) name += L"Shift+";
    if (modifiers & qlHotkeyModifierWindows) name += L"Win+";
    return name + KeyName(key);
}

void CApplication::LoadCommandHotkeys(const CRegistry& store) {
    for (int i = 0; i < HotkeyCommandCount; ++i) {
        const auto& option = CommandHotkeyOptions[i];
        commandHotkeys_[static_cast<size_t>(i)] = {Load(store, option.enabled), Load(store, option.key),
                                                   Load(store, option.modifiers)};
    }
}

void CApplication::SaveCommandHotkeys(CRegistry& store) const {
    for (int i = 0; i < HotkeyCommandCount; ++i) {
        const auto& option = CommandHotkeyOptions[i];
        const auto& choice = commandHotkeys_[static_cast<size_t>(i)];
        Save(store, option.enabled, choice.enabled);
        Save(store, option.key, choice.key);
        Save(store, option.modifiers, choice.modifiers);
    }
}

LONG CApplication::RegisterHotKey(int32_t key, int32_t modifiers) {
    LONG id = 0;
    platform::ThrowIfFailed(quillet_->SetHotKey(key, static_cast<QLHotKeyModifiers>(modifiers), &id),
                            L"Quillet.SetHotKey");
    return id;
}

void CApplication::RegisterCommandHotKeys() {
    std::wstring refused;
    for (int i = 0; i < HotkeyCommandCount; ++i) {
        const auto& choice = commandHotkeys_[static_cast<size_t>(i)];
        if (!choice.enabled || commandHotKeyIds_[static_cast<size_t>(i)] != 0) continue;
        commandHotKeyIds_[static_cast<size_t>(i)] = RegisterHotKey(choice.key, choice.modifiers);
        if (commandHotKeyIds_[static_cast<size_t>(i)] == 0)
            refused += L"\r\n" + HotkeyName(choice.key, choice.modifiers) + L" for \"" + CommandHotkeyOptions[i].choice +
                       L"\"";
    }
    if (refused.empty()) return;
    // Said once, at start-up; the choice is kept, so that the next start tries again.
    ShowMessage(L"Another program already uses these hot keys:\r\n" + refused + L"\r\n\r\n" + AppInfo::Title +
                    L" goes on without them. Your choice stays as it is; choose other keys under Options, Hot keys.",
                MB_ICONEXCLAMATION);
}

void CApplication::ClearCommandHotKeys() {
    for (LONG& id : commandHotKeyIds_) {
        if (id != 0 && quillet_) platform::ThrowIfFailed(quillet_->ClearHotKey(std::exchange(id, 0)), L"Quillet.ClearHotKey");
    }
}

void CApplication::SetCommandHotkey(int index, bool enabled, int32_t key, int32_t modifiers) {
    auto& choice = At(commandHotkeys_, index, L"CommandHotkey");
    LONG& id = commandHotKeyIds_[static_cast<size_t>(index)];
    const bool unchanged = choice.enabled == enabled && choice.key == key && choice.modifiers == modifiers;
    if (!quillet_ || (unchanged && (id != 0 || !enabled))) {
        choice = {enabled, key, modifiers};
        return;
    }
    const LONG held = std::exchange(id, 0);
    if (enabled) {
        id = RegisterHotKey(key, modifiers);
        if (id == 0) {
            // The key held before stays, and with it the choice that holds it.
            id = held;
            platform::Raise(HotkeyAlreadyActive, HotkeyAlreadyActiveText, std::wstring(ClassName) + L".CommandHotkey");
        }
    }
    if (held != 0) platform::ThrowIfFailed(quillet_->ClearHotKey(held), L"Quillet.ClearHotKey");
    choice = {enabled, key, modifiers};
}

CRule& CApplication::HotkeyRule() {
    if (!hotkeyRule_) {
        // Empty title and class take any window; "On Minimize Only" keeps it
        // while it stays minimized in the tray, and lets it go once restored.
        hotkeyRule_ = CRule::Create();
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
        if (auto tracked = GetTrackedWindow(WindowKey(target))) tracked->Delete();
        // Minimized first, as a window a rule takes when it is minimized: a
        // restore from the tray then brings it back as it was and ends tracking.
        ::ShowWindowAsync(target, SW_MINIMIZE);
        HotkeyRule().Windows().Add(target, ActionHideInTray, CriteriaOnMinimize, 0, 0);
        return true;
    });
}

void CApplication::RestoreAllWindows() {
    platform::Guard(ClassName, L"RestoreAllWindows", [&] {
        BusyScope busy;
        for (const auto& window : windows_.Snapshot()) {
            // A window shown already (restored under an "Always" rule) is back.
            if (window->Hides() && !window->Suspended()) GiveBack(*window);
        }
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
