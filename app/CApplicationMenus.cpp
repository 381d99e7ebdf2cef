// The program's menus and commands: the tray menus the menu component draws,
// the list of tracked windows, a window's own menu with the program's items,
// what a click on a tray icon does, the switcher's hot key and the dialogs.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <vector>

#include "CApplication.h"
#include "CRules.h"
#include "CWindow.h"
#include "ComError.h"
#include "Guard.h"
#include "MainModule.h"
#include "WindowLists.h"
#include "WindowModule.h"
#include "Variant.h"
#include "Version.h"
#include "frmAbout.h"
#include "frmMain.h"
#include "frmOptions.h"
#include "frmRuleInspector.h"
#include "frmSetup.h"
#include "frmSwitcher.h"
#include "frmTrayManager.h"

using menu_component::MissingArgument;
using menu_component::NameOf;
using menu_component::ToolsOf;

namespace {

constexpr wchar_t ClassName[] = L"CApplication";

HWND WindowOfTrayId(LONG id) { return reinterpret_cast<HWND>(static_cast<intptr_t>(id)); }

// The single-click kind of a button; the double click is the next kind.
// Anything but the right button counts as the left one.
int SingleClickOf(LONG button) { return button == RightButton ? RightSingleClick : LeftSingleClick; }

POINT CursorPosition() {
    POINT at{};
    ::GetCursorPos(&at);
    return at;
}

// One of each of these forms at a time: an open one is brought forward.
template <class Form, class Make>
void DisplaySingle(std::weak_ptr<Form>& open, HWND owner, Make make) {
    auto form = open.lock();
    if (!form || !form->hWnd()) {
        form = make();
        if (!form) return;
        open = form;
    }
    form->Display(false, owner);
}

}  // namespace

// The hide and restore keys, and the switcher's two keys (with Shift it steps backwards).
void CApplication::moQuillet_HotKeyPressed(LONG id, LONG keyCode, LONG modifiers) {
    platform::Guard(ClassName, L"moQuillet_HotKeyPressed", [&] {
        // Work under way (a scan waiting on a window) finishes first.
        switch (hotkeys_.Pressed(id, keyCode, modifiers)) {
            case CHotkeys::Press::HideActive:
                // The window meant is the one in front as the key went down.
                BusyScope::WhenIdle([self = weak_from_this(), front = ::GetForegroundWindow()] {
                    if (auto app = self.lock()) app->HideFrontWindow(front);
                });
                break;
            case CHotkeys::Press::RestoreAll:
                BusyScope::WhenIdle([self = weak_from_this()] {
                    if (auto app = self.lock()) app->RestoreAllWindows();
                });
                break;
            case CHotkeys::Press::Switcher: DisplaySwitcher(false); break;
            case CHotkeys::Press::SwitcherBackwards: DisplaySwitcher(true); break;
            case CHotkeys::Press::None: break;
        }
    });
}

// --- the tray menus -------------------------------------------------------------------

void CApplication::PopupMenu(HWND owner, int32_t x, int32_t y) { menus_.PopupMenu(owner, x, y); }

void CApplication::PopupWindowsMenu(HWND owner, int32_t x, int32_t y) { menus_.PopupWindowsMenu(owner, x, y); }

void CApplication::PopupWindowMenu(HWND owner, HWND window, const std::wstring& title, int32_t x, int32_t y,
                                   bool bare) {
    menus_.PopupWindowMenu(owner, window, title, x, y, bare);
}

// --- the switcher --------------------------------------------------------------------

void CApplication::DisplaySwitcher(bool reverse) {
    platform::Guard(ClassName, L"DisplaySwitcher", [&] {
        // The hot key again while the switcher is up moves its selection.
        if (auto open = switcherForm_.lock(); open && open->hWnd()) {
            open->SetCurrentSelection(open->CurrentSelection() + (reverse ? -1 : 1));
            return;
        }
        const WindowRegistry list = SwitcherList();
        // With "Show Cancel" even one window is offered, so that the user may
        // choose none.
        const int threshold = SwitcherOptions(SwitcherShowCancel) ? 0 : 1;
        if (list.Count() > threshold) {
            std::vector<std::shared_ptr<CWindow>> windows;
            for (const auto& entry : list) windows.push_back(entry.value);
            auto form = frmSwitcher::Create(weak_from_this());
            switcherForm_ = form;
            form->OnUnload([self = weak_from_this()] {
                if (auto app = self.lock()) app->moSwitcher_Unload();
            });
            form->Display(std::move(windows), options_.switcherHotkey, options_.switcherHotkeyModifiers, reverse,
                          SwitcherOptions(SwitcherAltTabMode), SwitcherOptions(SwitcherShowCancel),
                          owner_ ? owner_->imlIcons() : nullptr);
            return;
        }
        if (list.Count() == 1) list.Item(1)->Show();
    });
}

void CApplication::moSwitcher_Unload() {
    platform::Guard(ClassName, L"moSwitcher_Unload", [&] { switcherForm_.reset(); });
}

// In Alt+Tab mode the windows the system's switcher shows, each tracked
// window in the place of its listed twin or after them; otherwise the
// tracked windows.
WindowRegistry CApplication::SwitcherList() const {
    if (!SwitcherOptions(SwitcherAltTabMode)) return Windows();
    WindowRegistry list;
    for (const auto& window : ListAltTabWindows()) {
        const std::wstring key = WindowKey(window->hWnd());
        if (!list.Exists(key)) list.Add(key, window);
    }
    for (const auto& tracked : Windows()) {
        if (auto* listed = list.Find(tracked.key))
            *listed = tracked.value;
        else
            list.Add(tracked.key, tracked.value);
    }
    return list;
}

// --- the program's windows -----------------------------------------------------------

void CApplication::DisplaySetup() {
    platform::Guard(ClassName, L"DisplaySetup", [&] {
        auto form = setup_.lock();
        if (!form || !form->hWnd()) {
            form = frmSetup::Create(weak_from_this());
            setup_ = form;
        }
        form->Display();
    });
}

HWND CApplication::SetupWindow() const noexcept {
    auto form = setup_.lock();
    return form ? form->hWnd() : nullptr;
}

bool CApplication::QuerySetupUnload(bool forced) {
    return platform::Guard(ClassName, L"QuerySetupUnload", [&] {
        auto form = setup_.lock();
        if (!form || !form->hWnd()) return true;
        return !form->QueryUnload(forced ? frmSetup::CloseReason::ForcedExit : frmSetup::CloseReason::ProgramExit);
    });
}

void CApplication::DisplayOpen(const std::wstring& ruleName, int32_t ownerKind, HWND ownerWindow) {
    platform::Guard(ClassName, L"DisplayOpen", [&] {
        std::shared_ptr<CRule> rule = ruleName.empty() ? nullptr : rules_->Item(ruleName);
        frmRuleInspector::Create(weak_from_this())->Display(std::move(rule), ownerKind, ownerWindow);
    });
}

void CApplication::DisplayMend(const RefusedRule& refused, HWND editorWindow) {
    platform::Guard(ClassName, L"DisplayOpen", [&] {
        frmRuleInspector::Create(weak_from_this())->DisplayMend(refused, frmRuleInspector::OwnedByEditor, editorWindow);
    });
}

void CApplication::DisplayTrayManager(int32_t x, int32_t y) {
    platform::Guard(ClassName, L"DisplayTrayManager", [&] {
        auto form = trayManager_.lock();
        if (!form || !form->hWnd()) {
            form = frmTrayManager::Create(weak_from_this());
            trayManager_ = form;
            form->Initialize();
        }
        form->Display(x, y, true);
    });
}

// The open rules editor owns the dialogs opened while it is up.
HWND CApplication::DialogOwner() const noexcept {
    HWND editor = SetupWindow();
    return editor ? editor : MainWindowHandle;
}

void CApplication::DisplayOptions() {
    platform::Guard(ClassName, L"DisplayOptions", [&] { 
        DisplaySingle(optionsForm_, DialogOwner(), [&] { return frmOptions::Create(weak_from_this()); });
    });
}

void CApplication::DisplayAbout() {
    platform::Guard(ClassName, L"DisplayAbout", [&] { DisplaySingle(about_, DialogOwner(), frmAbout::Create); });
}

// --- clicks on tray icons -------------------------------------------------------

int32_t CApplication::MouseAction(LONG id, int clickKind) const {
    return id == ProgramIconId ? MouseOptionsMain(clickKind) : MouseOptionsWindow(clickKind);
}

// Released at once, unless a double click of that button has to be told apart.
void CApplication::IconMouseUp(LONG id, LONG button, LONG x, LONG y) {
    platform::Guard(ClassName, L"moKestrix_MouseUp", [&] {
        const int single = SingleClickOf(button);
        if (MouseAction(id, single) != 0 && MouseAction(id, single + 1) != 0) return;
        RunMouseAction(id, single, x, y);
    });
}

// The held-back click, when both the single and the double click do something.
void CApplication::IconClick(LONG id, LONG button) {
    platform::Guard(ClassName, L"moKestrix_Click", [&] {
        const int single = SingleClickOf(button);
        if (MouseAction(id, single) == 0 || MouseAction(id, single + 1) == 0) return;
        const POINT at = CursorPosition();
        RunMouseAction(id, single, at.x, at.y);
    });
}

void CApplication::IconDblClick(LONG id, LONG button) {
    platform::Guard(ClassName, L"moKestrix_DblClick", [&] {
        const POINT at = CursorPosition();
        RunMouseAction(id, SingleClickOf(button) + 1, at.x, at.y);
    });
}

// Passing over the icon of a window that went away cleans up after it.
void CApplication::IconMouseMove(LONG id) {
    BusyScope busy;
    platform::Guard(ClassName, L"moKestrix_MouseMove", [&] {
        if (id == ProgramIconId) return;
        HWND window = WindowOfTrayId(id);
        if (::IsWindow(window)) return;
        if (auto tracked = tracker_->Find(WindowKey(window)))
            tracked->Delete();
        else
            RemoveStaleTrayIcon(id);
    });
}

void CApplication::RunMouseAction(LONG id, int clickKind, LONG x, LONG y) {
    BusyScope busy;
    auto self = weak_from_this().lock();
    if (id == ProgramIconId)
        RunProgramIconAction(MouseOptionsMain(clickKind), x, y);
    else
        RunWindowIconAction(id, MouseOptionsWindow(clickKind), x, y);
}

void CApplication::RunProgramIconAction(int32_t action, LONG x, LONG y) {
    switch (action) {
        case ProgramIconNotConfigured:
            if (MainWindowHandle) ::SetForegroundWindow(MainWindowHandle);
            break;
        case ProgramIconShowSetup: DisplaySetup(); break;
        case ProgramIconShowMenu: PopupMenu(MainWindowHandle, x, y); break;
        case ProgramIconShowOptions: DisplayOptions(); break;
        case ProgramIconShowWindowsMenu: PopupWindowsMenu(MainWindowHandle, x, y); break;
        case ProgramIconShowTrayManager: DisplayTrayManager(x, y); break;
        default: break;
    }
}

void CApplication::RunWindowIconAction(LONG id, int32_t action, LONG x, LONG y) {
    HWND window = WindowOfTrayId(id);
    auto tracked = tracker_->Find(WindowKey(window));
    if (!tracked) {
        RemoveStaleTrayIcon(id);
        return;
    }
    switch (action) {
        case WindowIconRestore: tracked->ExecuteAction(true, AutomaticShowCommand); break;
        case WindowIconShowMenu:
            // The menu is built on the window's own system menu: a window that
            // is gone has none, and its wrapper goes.
            if (::IsWindow(window))
                PopupWindowMenu(MainWindowHandle, window, tracked->Title(), x, y, false);
            else
                tracked->Delete();
            break;
        case WindowIconShowWindowsMenu: PopupWindowsMenu(MainWindowHandle, x, y); break;
        case WindowIconShowTrayManager: DisplayTrayManager(x, y); break;
        default: break;
    }
}

void CApplication::RemoveStaleTrayIcon(LONG id) { icons_.RemoveIcon(id); }
