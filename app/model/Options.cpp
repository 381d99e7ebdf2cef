#include "Options.h"

#include <windows.h>

#include <algorithm>

#include "CRegistry.h"
#include "QuilletInterfaces.h"

namespace {

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
};
constexpr CommandHotkeyOption CommandHotkeyOptions[HotkeyCommandCount] = {
    {{section::HideActiveHotkey, L"Enabled", true},
     {section::HideActiveHotkey, L"Hotkey", 'H'},
     {section::HideActiveHotkey, L"Hotkey Modifier", CommandHotkeyModifiers}},
    {{section::RestoreAllHotkey, L"Enabled", true},
     {section::RestoreAllHotkey, L"Hotkey", 'R'},
     {section::RestoreAllHotkey, L"Hotkey Modifier", CommandHotkeyModifiers}},
};
constexpr Option<int32_t> WindowTitleLengthOption{section::Menus, L"Window Title Length", 0};
constexpr Option<bool> BannerOption{section::Menus, L"Banner", true};
constexpr Option<int32_t> HighlightOption{section::Menus, L"Highlight", 1};
constexpr Option<bool> OwnerDrawOption{section::Menus, L"Owner Draw", true};
constexpr Option<int32_t> ThemeOption{section::Options, L"Theme", 0};
constexpr int32_t LastTheme = 2;
constexpr Option<bool> MenuOptionList[] = {
    {section::Menus, L"Window Titles", true},
    {section::Menus, L"Ignored Windows", false},
    {section::Menus, L"Pelkin! sub-menu", true},
    {section::Menus, L"Windows sub-menu", true},
};

// A value that is no number is reported as start-up's.
constexpr wchar_t ConversionSource[] = L"CApplication.Initialize";

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

}  // namespace

Options::Options()
    : messageTimeout(TimeOutOption.defaultValue),
      iconCacheRefreshInterval(IconCacheOption.defaultValue),
      enabled(EnabledOption.defaultValue),
      hideIcon(HideIconOption.defaultValue),
      autoStart(AutoStartOption.defaultValue),
      interval(IntervalOption.defaultValue),
      wizardStyle(WizardStyleOption.defaultValue),
      ruleOptions(Defaults(RuleOptionList)),
      confirmations(Defaults(ConfirmationList)),
      mouseMain(Defaults(MouseMainList)),
      mouseWindow(Defaults(MouseWindowList)),
      switcher(SwitcherEnabledOption.defaultValue),
      switcherHotkey(HotkeyOption.defaultValue),
      switcherHotkeyModifiers(HotkeyModifierOption.defaultValue),
      switcherOptions(Defaults(SwitcherOptionList)),
      commandHotkeys{},
      windowTitleLength(WindowTitleLengthOption.defaultValue),
      menuBanner(BannerOption.defaultValue),
      menuHighlight(HighlightOption.defaultValue),
      menuOwnerDraw(OwnerDrawOption.defaultValue),
      menuOptions(Defaults(MenuOptionList)),
      theme(ThemeOption.defaultValue) {
    for (size_t i = 0; i < commandHotkeys.size(); ++i) {
        const auto& option = CommandHotkeyOptions[i];
        commandHotkeys[i] = {option.enabled.defaultValue, option.key.defaultValue, option.modifiers.defaultValue};
    }
}

void Options::Load(const CRegistry& store) {
    messageTimeout = ::Load(store, TimeOutOption);
    iconCacheRefreshInterval = ::Load(store, IconCacheOption);
    enabled = ::Load(store, EnabledOption);
    hideIcon = ::Load(store, HideIconOption);
    autoStart = ::Load(store, AutoStartOption);
    interval = ::Load(store, IntervalOption);
    LoadAll(store, ConfirmationList, confirmations);
    wizardStyle = ::Load(store, WizardStyleOption);
    LoadAll(store, MouseMainList, mouseMain);
    LoadAll(store, MouseWindowList, mouseWindow);
    LoadAll(store, RuleOptionList, ruleOptions);
    switcher = ::Load(store, SwitcherEnabledOption);
    switcherHotkey = ::Load(store, HotkeyOption);
    switcherHotkeyModifiers = ::Load(store, HotkeyModifierOption);
    LoadAll(store, SwitcherOptionList, switcherOptions);
    windowTitleLength = std::max(0, ::Load(store, WindowTitleLengthOption));
    menuBanner = ::Load(store, BannerOption);
    menuHighlight = ::Load(store, HighlightOption);
    menuOwnerDraw = ::Load(store, OwnerDrawOption);
    LoadAll(store, MenuOptionList, menuOptions);
    // A choice this version does not know follows the system.
    theme = ::Load(store, ThemeOption);
    if (theme < 0 || theme > LastTheme) theme = ThemeOption.defaultValue;
    for (size_t i = 0; i < commandHotkeys.size(); ++i) {
        const auto& option = CommandHotkeyOptions[i];
        commandHotkeys[i] = {::Load(store, option.enabled), ::Load(store, option.key), ::Load(store, option.modifiers)};
    }
}

void Options::Save(CRegistry& store) const {
    ::Save(store, HideIconOption, hideIcon);
    ::Save(store, AutoStartOption, autoStart);
    ::Save(store, IntervalOption, interval);
    SaveAll(store, ConfirmationList, confirmations);
    ::Save(store, WizardStyleOption, wizardStyle);
    SaveAll(store, MouseMainList, mouseMain);
    SaveAll(store, MouseWindowList, mouseWindow);
    SaveAll(store, RuleOptionList, ruleOptions);
    ::Save(store, SwitcherEnabledOption, switcher);
    ::Save(store, HotkeyOption, switcherHotkey);
    ::Save(store, HotkeyModifierOption, switcherHotkeyModifiers);
    SaveAll(store, SwitcherOptionList, switcherOptions);
    ::Save(store, WindowTitleLengthOption, windowTitleLength);
    ::Save(store, OwnerDrawOption, menuOwnerDraw);
    ::Save(store, HighlightOption, menuHighlight);
    ::Save(store, BannerOption, menuBanner);
    SaveAll(store, MenuOptionList, menuOptions);
    ::Save(store, ThemeOption, theme);
    for (size_t i = 0; i < commandHotkeys.size(); ++i) {
        const auto& option = CommandHotkeyOptions[i];
        const auto& choice = commandHotkeys[i];
        ::Save(store, option.enabled, choice.enabled);
        ::Save(store, option.key, choice.key);
        ::Save(store, option.modifiers, choice.modifiers);
    }
}

void Options::SaveEnabled(CRegistry& store, bool value) { ::Save(store, EnabledOption, value); }
