#pragma once
// The one application object: the option model, start-up and teardown.
#include <windows.h>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ComClient.h"
#include "CHotkeys.h"
#include "CTracker.h"
#include "CTrayIcons.h"
#include "CTrayMenus.h"
#include "IMenuCommands.h"
#include "MenuComponent.h"
#include "ComError.h"
#include "Handles.h"
#include "KestrixInterfaces.h"
#include "KeyedCollection.h"
#include "IApplicationEvents.h"
#include "IPrompt.h"
#include "ITrayFace.h"
#include "IWindowHost.h"
#include "Observers.h"
#include "Options.h"
#include "QuilletInterfaces.h"
#include "Variant.h"

namespace program_commands {
struct RulesFileCommand;
}
class frmMain;
class frmAbout;
class frmOptions;
class frmSetup;
class frmSwitcher;
class frmTrayManager;
class CRegistry;
class CClipboard;
class CRule;
class CRules;
struct RefusedRule;
class CTracker;
class CWindow;




class CApplication : public ITrayFace,
                     public IMenuCommands,
                     private ITrayIconEvents,
                     private IPrompt, private ITrackingEvents, public std::enable_shared_from_this<CApplication> {
public:
    CApplication();
    ~CApplication();
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

    // Start-up in the documented order; true when at least one rule was loaded.
    bool Initialize(frmMain& owner);
    // Orderly teardown; safe to call more than once.
    void Dispose();
    bool Disposed() const noexcept { return disposed_; }
    // Writes every stored option (the options dialog's Apply and OK).
    void SaveOptions();

    frmMain* Owner() const noexcept { return owner_; }
    std::wstring Version() const;
    platform::Observers<IApplicationEvents>& Events() noexcept override { return events_; }

    // Icons read from the main window's image list at start-up.
    HICON EnabledIcon() const noexcept override { return icons_.EnabledIcon(); }
    HICON DisabledIcon() const noexcept { return icons_.DisabledIcon(); }
    HICON DefaultWindowIcon() const noexcept override { return icons_.DefaultWindowIcon(); }
    // First image-list index of the window-icon cache.
    int WindowIconBase() const noexcept { return menus_.WindowIconBase(); }

    // The tray component object: none before Initialize and after Dispose.
    _Kestrix* Kestrix() const noexcept { return icons_.Component(); }
    // Where the tray component's events arrive; handlers are set per event.
    platform::com::EventSink* KestrixEvents() const noexcept { return icons_.Events(); }
    // The menu component object (the tray menus, the switcher's hot keys):
    // none before Initialize and after Dispose.
    _Quillet* Quillet() const noexcept { return quillet_.Get(); }
    platform::com::EventSink* QuilletEvents() const noexcept { return moQuillet_.Get(); }

    // Number of rules in the rule list.
    int RuleCount() const noexcept;
    CRules& Rules() noexcept { return *rules_; }
    CClipboard& Clipboard() noexcept { return *clipboard_; }
    WindowRegistry& Windows() noexcept;
    const WindowRegistry& Windows() const noexcept override;
    std::shared_ptr<CWindow> TrackedWindowAt(int32_t position) const override;
    CTracker& Tracker() noexcept { return *tracker_; }
    // The stored options as they stand.
    const Options& CurrentOptions() const noexcept { return options_; }

    // Tracking: when enabled and not in edit mode, a full pass over every
    // top-level window, then the window-event hook (installed once); otherwise
    // the hook goes. Tracked windows keep their state either way.
    void SetWinEventHook();
    void ClearWinEventHook();
    bool Tracking() const noexcept;
    // Re-checks every tracked window (or, with `reset`, releases them all),
    // then tracking starts again with a full scan; nothing while rules are edited.
    void RefreshWindows(bool reset) override;

    // The program's own tray icon (ID 0): its picture and tip follow Enabled,
    // its presence HideIcon.
    void Refresh();

    // The tray menus, at a point on the screen: the main menu, the menu of
    // tracked windows, and a window's own window menu with the program's
    // items on top (none when `bare`). Each is owned by `owner`.
    void PopupMenu(HWND owner, int32_t x, int32_t y);
    void PopupWindowsMenu(HWND owner, int32_t x, int32_t y);
    void PopupWindowMenu(HWND owner, HWND window, const std::wstring& title, int32_t x, int32_t y,
                         bool bare) override;
    // The program's windows: one of each at a time, an open one is brought
    // forward; every rule inspector is a new one.
    void DisplaySetup() override;
    void DisplayOptions() override;
    void DisplayAbout() override;
    void DisplayOpen(const std::wstring& ruleName = {}, int32_t ownerKind = 0, HWND ownerWindow = nullptr);
    // A new rule inspector on a stored rule the loader refused, owned by the rules editor.
    void DisplayMend(const RefusedRule& refused, HWND editorWindow);
    void DisplayTrayManager(int32_t x, int32_t y);
    // The open rules editor's window; none when it is closed.
    HWND SetupWindow() const noexcept;
    // Before the program exits the open rules editor settles its edits, asking
    // the user unless `forced`; false when the user chose to stay.
    bool QuerySetupUnload(bool forced);
    // Switches the program on when it ran off only because no rule existed
    // and rules exist now (the first rules a new user applies).
    void EnableForFirstRules();

    // Options.
    bool Enabled() const noexcept override { return enabled_; }
    void SetEnabled(bool value) override;
    bool EditMode() const noexcept { return editMode_; }
    void SetEditMode(bool value);
    int32_t HideIcon() const noexcept { return options_.hideIcon; }
    void SetHideIcon(int32_t value);
    int32_t AutoStart() const noexcept { return options_.autoStart; }
    void SetAutoStart(int32_t value);
    int32_t Interval() const noexcept { return options_.interval; }
    void SetInterval(int32_t value);
    bool WizardStyle() const noexcept { return options_.wizardStyle; }
    void SetWizardStyle(bool value) noexcept { options_.wizardStyle = value; }

    bool RuleOptions(int index) const { return At(options_.ruleOptions, index, L"RuleOptions"); }
    void SetRuleOptions(int index, bool value) { At(options_.ruleOptions, index, L"RuleOptions") = value; }
    bool Confirmations(int index) const { return At(options_.confirmations, index, L"Confirmations"); }
    void SetConfirmations(int index, bool value) { At(options_.confirmations, index, L"Confirmations") = value; }
    int32_t MouseOptionsMain(int index) const { return At(options_.mouseMain, index, L"MouseOptionsMain"); }
    void SetMouseOptionsMain(int index, int32_t value) { At(options_.mouseMain, index, L"MouseOptionsMain") = value; }
    int32_t MouseOptionsWindow(int index) const { return At(options_.mouseWindow, index, L"MouseOptionsWindow"); }
    void SetMouseOptionsWindow(int index, int32_t value) { At(options_.mouseWindow, index, L"MouseOptionsWindow") = value; }
    bool SwitcherOptions(int index) const { return At(options_.switcherOptions, index, L"SwitcherOptions"); }
    void SetSwitcherOptions(int index, bool value) { At(options_.switcherOptions, index, L"SwitcherOptions") = value; }
    bool MenuOptions(int index) const { return At(options_.menuOptions, index, L"MenuOptions"); }
    void SetMenuOptions(int index, bool value) { At(options_.menuOptions, index, L"MenuOptions") = value; }

    bool Switcher() const noexcept { return hotkeys_.Switcher(); }
    void SetSwitcher(bool value);
    int32_t SwitcherHotkey() const noexcept { return options_.switcherHotkey; }
    void SetSwitcherHotkey(int32_t value);
    int32_t SwitcherHotkeyModifiers() const noexcept { return options_.switcherHotkeyModifiers; }
    void SetSwitcherHotkeyModifiers(int32_t value);

    // The hot keys that hide the active window and restore all windows: each
    // may be switched off; while on it is held, unless another program held
    // it when it was asked for.
    bool CommandHotkeyEnabled(int index) const { return At(options_.commandHotkeys, index, L"CommandHotkeyEnabled").enabled; }
    int32_t CommandHotkey(int index) const { return At(options_.commandHotkeys, index, L"CommandHotkey").key; }
    int32_t CommandHotkeyModifiers(int index) const {
        return At(options_.commandHotkeys, index, L"CommandHotkeyModifiers").modifiers;
    }
    bool CommandHotkeyHeld(int index) const {
        At(options_.commandHotkeys, index, L"CommandHotkeyHeld");
        return hotkeys_.CommandHotkeyHeld(static_cast<size_t>(index));
    }
    // A refused key raises "Hotkey already active"; the key held before stays.
    void SetCommandHotkey(int index, bool enabled, int32_t key, int32_t modifiers);
    // "Ctrl+Alt+Shift+H": a key and modifier bits of the menu component as a user reads them.
    static std::wstring HotkeyName(int32_t key, int32_t modifiers) { return CHotkeys::HotkeyName(key, modifiers); }

    // The foreground window of another program into the tray with its own
    // icon, until the user restores it; false when there is no such window.
    // `front` is the window that was in front when the user asked (by the
    // key or the command line): work under way may make the request wait,
    // and meanwhile another window may come to the front.
    bool HideActiveWindow() { return HideFrontWindow(::GetForegroundWindow()); }
    bool HideFrontWindow(HWND front);
    // Every window the program hid (in the tray or not) given back as at exit.
    void RestoreAllWindows() override;
    bool AdministratorNeeded() const override;
    // Starts the program elevated, which takes over once this instance has
    // ended; nothing changes when the user says no.
    void RestartAsAdministrator() override;
    // A command handed over by a later start of the program ("/restoreall",
    // ...; empty: a plain start), with the window that was in front when it
    // came; false when it is unknown or was not carried out.
    bool RunCommand(const std::wstring& command, HWND front);
    // "/export" or "/import" handed over by a later start; one of
    // program_commands' answers. An import is saved at once, as Apply saves,
    // and is refused while the rules editor holds changes not applied.
    LRESULT RunFileCommand(const program_commands::RulesFileCommand& command);

    int32_t WindowTitleLength() const noexcept { return options_.windowTitleLength; }
    void SetWindowTitleLength(int32_t value) noexcept;
    bool MenuBanner() const noexcept { return options_.menuBanner; }
    void SetMenuBanner(bool value);
    int32_t MenuHighlight() const noexcept { return options_.menuHighlight; }
    void SetMenuHighlight(int32_t value);
    bool MenuOwnerDraw() const noexcept { return options_.menuOwnerDraw; }
    void SetMenuOwnerDraw(bool value);
    // The user's colour choice (System, Light, Dark) and the scheme it gives
    // with the system's settings. ApplyColorScheme reads the system again and
    // re-colours whatever the program shows; it is called when the choice or
    // the system's colours change.
    int32_t Theme() const noexcept { return options_.theme; }
    void SetTheme(int32_t value);
    void ApplyColorScheme();

private:
    // IPrompt: the model's questions, in message boxes over the main window.
    bool Confirm(const std::wstring& text, const wchar_t* caption) override;
    void Refuse(const std::wstring& text, const wchar_t* caption) override;
    void Warn(const std::wstring& text) override;
    // ITrackingEvents: a window is tracked now; its tray icon is to be made
    // or brought up to date; it is no longer tracked (or, silently, only its
    // icon goes); a rule was edited.
    void WindowAdded(HWND hWnd) override;
    void WindowChanged(HWND hWnd, HICON hIcon, const std::wstring& title) override;
    void WindowRemoved(HWND hWnd, bool silent) override;
    void RulesEdited() override { SetEditMode(true); }

    // The tray component's mouse events. Button is LeftButton or RightButton;
    // the menus open where the pointer is.
    void IconClick(LONG id, LONG button) override;
    void IconDblClick(LONG id, LONG button) override;
    void IconMouseUp(LONG id, LONG button, LONG x, LONG y) override;
    void IconMouseMove(LONG id) override;
    // The menu component's events: a band about to open, a tool chosen, a hot
    // key pressed.
    void moQuillet_HotKeyPressed(LONG id, LONG keyCode, LONG modifiers);
    // The action configured for a click kind (MouseOption) on icon `id`.
    int32_t MouseAction(LONG id, int clickKind) const;
    // Runs the configured action of a click kind on the icon `id`, with the
    // pointer at (x, y).
    void RunMouseAction(LONG id, int clickKind, LONG x, LONG y);
    void RunProgramIconAction(int32_t action, LONG x, LONG y);
    void RunWindowIconAction(LONG id, int32_t action, LONG x, LONG y);
    // A window icon whose window is no longer tracked: the icon goes.
    void RemoveStaleTrayIcon(LONG id);
    void ReleaseTrackedWindows();

    // An element of an array option; an index outside it raises "Subscript out of range".
    template <class Values>
    static auto At(Values& values, int index, const wchar_t* property) -> decltype(values[0]) {
        if (index < 0 || static_cast<size_t>(index) >= values.size()) RaiseOutOfRange(property);
        return values[static_cast<size_t>(index)];
    }
    [[noreturn]] static void RaiseOutOfRange(const wchar_t* property);
    // Reads the stored options and puts them in effect.
    void LoadOptions(const CRegistry& store);
    void CreateMenuComponent();
    void ReleaseMenuComponent();

    HWND DialogOwner() const noexcept;
    HWND PromptOwner() const noexcept;
    // The switcher's hot key: the switcher over the windows it offers.
    void DisplaySwitcher(bool reverse);
    WindowRegistry SwitcherList() const;
    // The switcher has gone: the next hot key opens a new one.
    void moSwitcher_Unload();
    // The hide and restore hot keys at start-up: one message names those
    // another program holds, and the program goes on without them.
    // Every hot key at start-up; those another program holds are told in one box.
    void RegisterStartUpHotKeys();
    // The rule, in no list, that the windows hidden by the hot key are tracked under.
    CRule& HotkeyRule();
    bool TakenByHotkey(const CWindow& window) const noexcept;
    // Undoes the window's action and ends its tracking.
    void GiveBack(CWindow& window);

    frmMain* owner_ = nullptr;
    // Every option as stored; what is in effect of Enabled and Switcher is below.
    Options options_;
    std::shared_ptr<CTracker> tracker_;
    std::unique_ptr<CRules> rules_;
    std::unique_ptr<CClipboard> clipboard_;
    platform::ComPtr<_Quillet> quillet_;
    platform::ComPtr<platform::com::EventSink> moQuillet_;
    platform::com::EventConnection quilletConnection_;
    CHotkeys hotkeys_{options_};
    CTrayIcons icons_{options_, *this};
    CTrayMenus menus_{options_, *tracker_, *this};
    std::shared_ptr<CRule> hotkeyRule_;
    // The open options dialog and About box; each keeps itself while open.
    std::weak_ptr<frmOptions> optionsForm_;
    std::weak_ptr<frmAbout> about_;
    std::weak_ptr<frmSetup> setup_;
    // Open while shown; each form keeps itself alive while its window exists.
    std::weak_ptr<frmSwitcher> switcherForm_;
    std::weak_ptr<frmTrayManager> trayManager_;
    platform::Observers<IApplicationEvents> events_;
    bool disposed_ = false;

    // Flags that say what is in effect; off until start-up turns them on.
    bool enabled_ = false;
    bool editMode_ = false;
    // Off only for want of a rule at start-up: the user never switched it off.
    bool disabledForWantOfRules_ = false;
};
