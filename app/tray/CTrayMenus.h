#pragma once
// The program's tray menus, drawn by the menu component: the main menu with
// its banner, the menu of tracked windows grouped by action (made afresh as
// it opens), and a window's own window menu with the program's items on
// top. What is chosen is carried out for the window, or handed to the
// program's commands.
#include <windows.h>
#include <commctrl.h>
#include <cstdint>
#include <string>
#include <vector>

#include "ComPtr.h"
#include "KestrixInterfaces.h"
#include "QuilletInterfaces.h"

class CTracker;
class CWindow;
class IMenuCommands;
class frmMain;
struct Options;

class CTrayMenus {
public:
    // All four outlive the menus.
    CTrayMenus(const Options& options, CTracker& tracker, IMenuCommands& commands) noexcept
        : options_(options), tracker_(tracker), commands_(commands) {}
    CTrayMenus(const CTrayMenus&) = delete;
    CTrayMenus& operator=(const CTrayMenus&) = delete;

    // Builds the bands and the banner in the menu component, with the main
    // window's images; the window icons follow its own images, starting as
    // `defaultIcon`. `tray` is asked to prepare each pop-up. Nothing before
    // this and after Detach.
    void Attach(_Quillet* quillet, _Kestrix* tray, const frmMain& owner, HICON defaultIcon);
    void Detach() noexcept;

    // The main menu's banner and owner drawing as the options say.
    void ApplyMenuBanner();
    void ApplyMenuOwnerDraw();

    // The tray menus, at a point on the screen, each owned by `owner`.
    void PopupMenu(HWND owner, int32_t x, int32_t y);
    void PopupWindowsMenu(HWND owner, int32_t x, int32_t y);
    void PopupWindowMenu(HWND owner, HWND window, const std::wstring& title, int32_t x, int32_t y, bool bare);

    // The menu component's events: a band about to open, a tool chosen.
    void BandOpen(_Band* band);
    void Click(_Tool* tool);

    // First image-list index of the window-icon cache.
    int WindowIconBase() const noexcept { return windowIconBase_; }

private:
    class WindowMenuItems;

    void BuildMenus(const frmMain& owner);
    void AddMainTools(_Band& band, const frmMain& owner);
    // A band or banner of the menu component by name; raises when it is missing.
    platform::ComPtr<_Band> MenuBand(const wchar_t* name) const;
    platform::ComPtr<_Banner> MenuBannerObject(const wchar_t* name) const;
    // Calls the tray component's preparation for a pop-up owned by `owner`.
    void PreparePopup(HWND owner);
    // The main menu's "Disable" is checked while the program is switched off.
    void ShowDisabledState();
    // The "Windows" band made afresh from the tracked windows, grouped by action.
    void BuildWindowList();
    // A listed window: its icon into the window-icon cache, its tool under its group's header.
    void AddWindowTool(_Tools& tools, CWindow& window, LONG listed);
    // Fits the window-icon cache to one image per tracked window.
    void FitWindowIconCache();
    // The image of the listed window in that slot of the cache, for the menu
    // component (from 1); none without an icon.
    LONG WindowToolIcon(HICON small, size_t slot);
    std::wstring ClipWindowTitle(const std::wstring& title) const;
    // Inserts a string item (a separator when `caption` is empty) at a
    // position; false when the menu refused it.
    bool AddMenuItem(HMENU menu, const std::wstring& caption, UINT id, UINT position, UINT mask, UINT state,
                     HMENU subMenu);
    // The program's items on top of a window menu, taken out again when it closes.
    void InsertWindowMenuItems(WindowMenuItems& items, const std::wstring& title);
    // The window's own items as they suit its state.
    static void AdjustWindowMenuStates(HMENU menu, HWND window);
    // What was chosen in a window menu, carried out for that window.
    void ExecuteCommand(HWND window, UINT command);
    // The listed window's tool with that ID; none when there is none.
    platform::ComPtr<_Tool> ListedWindowTool(UINT command) const;
    bool RunMainCommand(UINT command);

    const Options& options_;
    CTracker& tracker_;
    IMenuCommands& commands_;
    _Quillet* quillet_ = nullptr;
    _Kestrix* tray_ = nullptr;
    const frmMain* owner_ = nullptr;
    HICON defaultIcon_ = nullptr;
    int windowIconBase_ = 0;
    // The icon each image of the window-icon cache holds (none: not known).
    std::vector<HICON> cachedIcons_;
    HIMAGELIST cachedIconList_ = nullptr;
};
