#pragma once
// The program's stored options as one value: what each is when nothing is
// stored, how it is read from the program's key and written back. Applying
// them (the tray icon, the menus, the hot keys) is the program's business.
#include <array>
#include <cstdint>

class CRegistry;

// Indexes of the array options.
enum RuleOption { SearchTopLevelWindowsOnly = 0, SearchUnwatchedWindowsOnly = 1, SearchVisibleWindowsOnly = 2 };
enum Confirmation { ConfirmDelete = 0, ConfirmExit = 1, ConfirmSaveOnExit = 2 };
enum MouseOption { LeftSingleClick = 0, LeftDoubleClick = 1, RightSingleClick = 2, RightDoubleClick = 3 };
enum SwitcherOption { SwitcherAltTabMode = 0, SwitcherShowCancel = 1 };
// What a click on the program's icon does (MouseOptionsMain values).
enum ProgramIconAction {
    ProgramIconNotConfigured = 0,
    ProgramIconShowSetup = 1,
    ProgramIconShowMenu = 2,
    ProgramIconShowOptions = 3,
    ProgramIconShowWindowsMenu = 4,
    ProgramIconShowTrayManager = 5,
};
// What a click on a window's icon does (MouseOptionsWindow values).
enum WindowIconAction {
    WindowIconNotConfigured = 0,
    WindowIconRestore = 1,
    WindowIconShowMenu = 2,
    WindowIconShowWindowsMenu = 3,
    WindowIconShowTrayManager = 4,
};
// The program's own system-wide hot keys, beside the switcher's.
enum HotkeyCommand { HotkeyHideActive = 0, HotkeyRestoreAll = 1 };
inline constexpr int HotkeyCommandCount = 2;
enum MenuOption { MenuWindowTitles = 0, MenuIgnoredWindows = 1, MenuProgramSubMenu = 2, MenuWindowsSubMenu = 3 };

// Values of AutoStart and HideIcon.
enum AutoStartMode { AutoStartNever = 0, AutoStartCurrentUser = 1, AutoStartAllUsers = 2 };
enum HideIconMode { HideIconNever = 0, HideIconWhileTrayed = 1, HideIconAlways = 2 };

// Valid range of Interval, in tenths of a second.
inline constexpr int32_t MinInterval = 1;
inline constexpr int32_t MaxInterval = 654;

struct CommandHotkeyChoice {
    bool enabled;
    int32_t key;
    int32_t modifiers;
};

struct Options {
    // Every option at its default, so that options a failed load never
    // reached hold sensible values rather than zeros.
    Options();

    // Reads every option in turn. A stored value that is no number (or an
    // interval out of range) raises, and the options read before it keep
    // their new values.
    void Load(const CRegistry& store);
    // Writes what the options dialog changes; Enabled, the time-out and the
    // icon cache are the program's to write or the user's to set by hand.
    void Save(CRegistry& store) const;
    // Enabled alone, as the program leaves it at exit.
    static void SaveEnabled(CRegistry& store, bool enabled);

    int32_t messageTimeout;
    int32_t iconCacheRefreshInterval;
    bool enabled;
    int32_t hideIcon;
    int32_t autoStart;
    int32_t interval;
    bool wizardStyle;
    std::array<bool, 3> ruleOptions;
    std::array<bool, 3> confirmations;
    std::array<int32_t, 4> mouseMain;
    std::array<int32_t, 4> mouseWindow;
    bool switcher;
    int32_t switcherHotkey;
    int32_t switcherHotkeyModifiers;
    std::array<bool, 2> switcherOptions;
    std::array<CommandHotkeyChoice, HotkeyCommandCount> commandHotkeys;
    int32_t windowTitleLength;
    bool menuBanner;
    int32_t menuHighlight;
    bool menuOwnerDraw;
    std::array<bool, 4> menuOptions;
    // The colours of the menus, the switcher and the Tray Manager: the
    // system's app mode, or light or dark whatever it is (ThemeChoice).
    int32_t theme;
};
