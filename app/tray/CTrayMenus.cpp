#include "CTrayMenus.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <vector>

#include "CTracker.h"
#include "CRule.h"
#include "CWindow.h"
#include "ComError.h"
#include "Guard.h"
#include "IMenuCommands.h"
#include "MainModule.h"
#include "MenuComponent.h"
#include "Options.h"
#include "Variant.h"
#include "Version.h"
#include "WindowModule.h"
#include "frmMain.h"

using menu_component::MissingArgument;
using menu_component::NameOf;
using menu_component::ToolsOf;

namespace {

// The menus keep the log source they always had.
constexpr wchar_t ClassName[] = L"CApplication";

// The menus of the program's tray icon, as the menu component keys them.
namespace menus {
constexpr wchar_t MainBand[] = L"Pelkin!";
constexpr wchar_t WindowsBand[] = L"Windows";
constexpr wchar_t MainBanner[] = L"Pelkin!";
constexpr LONG BannerWidth = 18;
constexpr OLE_COLOR BannerForeColor = RGB(255, 255, 255);
constexpr OLE_COLOR BannerBackColor = RGB(171, 66, 11);
constexpr OLE_COLOR BannerBackColor2 = RGB(42, 0, 75);
// The component numbers images from 1; this means "no icon".
constexpr LONG NoIcon = -1;

// The main menu's commands; a window menu returns them as they are.
constexpr UINT AboutCommand = 801;
constexpr UINT SetupCommand = 802;
constexpr UINT OptionsCommand = 803;
constexpr UINT WindowsMenuItem = 804;
constexpr UINT DisableCommand = 805;
constexpr UINT RefreshCommand = 806;
constexpr UINT ExitCommand = 807;
// The window's title on top of its window menu.
constexpr UINT WindowTitleCommand = 808;
constexpr UINT RestoreAllCommand = 809;
// Offered only while a window of a program run as administrator refuses its action.
constexpr UINT RestartElevatedCommand = 810;
constexpr wchar_t RestartElevatedTool[] = L"RestartElevated";

struct MainTool {
    UINT id;
    const wchar_t* name;
    const wchar_t* caption;
    const wchar_t* image;  // key in the main window's images, or none
    bool beginGroup;
    bool isDefault;
    const wchar_t* subBand;
};
constexpr MainTool MainTools[] = {
    {AboutCommand, L"About", L"&About " PELKIN_TITLE "...", nullptr, false, false, L""},
    {SetupCommand, L"Setup", L"&Setup...", L"Setup", true, true, L""},
    {OptionsCommand, L"Options", L"&Options...", nullptr, false, false, L""},
    {WindowsMenuItem, L"Windows", L"&Windows", L"Windows", true, false, WindowsBand},
    {DisableCommand, L"Disable", L"&Disable", nullptr, true, false, L""},
    {RefreshCommand, L"Refresh", L"&Refresh", L"Refresh", false, false, L""},
    {RestoreAllCommand, L"RestoreAll", L"Res&tore All Windows", nullptr, true, false, L""},
    {RestartElevatedCommand, RestartElevatedTool, L"Restart Pelkin as Administrator", nullptr, true, false, L""},
    {ExitCommand, L"Exit", L"E&xit", nullptr, false, false, L""},
};
}  // namespace menus

// A band or banner the program built has gone missing.
constexpr int32_t ObjectVariableNotSet = 91;
[[noreturn]] void RaiseMissing(const wchar_t* source) {
    platform::Raise(ObjectVariableNotSet, L"Object variable not set", source);
}

// The icon of a keyed image for the menu component, which counts from 1.
LONG MenuIcon(const frmMain& owner, const wchar_t* image) {
    const int index = image ? owner.ImageIndex(image) : -1;
    return index < 0 ? menus::NoIcon : index + 1;
}


// The "Windows" band: a header for each action that lists its windows, the
// windows under them, and a placeholder when nothing is listed.
namespace windows_list {
struct Header {
    LONG id;
    const wchar_t* name;
    const wchar_t* caption;
};
// Indexed by the action code of the windows they head.
constexpr Header Headers[] = {
    {902, L"Trayed", L"\"Trayed\" Windows"},
    {903, L"Hidden", L"Hidden Windows"},
    {904, L"OnTop", L"On Top Windows"},
    {905, L"Transparent", L"Transparent Windows"},
    {906, L"Ignore", L"Ignored Windows"},
};
constexpr int GroupCount = static_cast<int>(std::size(Headers));
constexpr LONG PlaceholderId = 901;
constexpr wchar_t PlaceholderName[] = L"None";
constexpr wchar_t NoWindowsCaption[] = L"<No Windows>";
constexpr wchar_t IgnoredOnlyCaption[] = L"<Ignored Windows Only>";
// Listed windows take IDs of their own: past the main menu's commands
// (801-809) and the headers (901-906), below the system's window commands
// (SC_SIZE, 0xF000, and up), so that a window menu's answer names one
// thing only and every listed window can be chosen.
constexpr LONG FirstWindowToolId = 1001;
constexpr LONG LastWindowToolId = SC_SIZE - 1;
constexpr LONG MostListedWindows = LastWindowToolId - FirstWindowToolId + 1;
// The name of the k-th listed window's tool ends in this.
constexpr wchar_t WindowToolSuffix[] = L"W";
}  // namespace windows_list

constexpr wchar_t Ellipsis[] = L"...";
constexpr int32_t EllipsisLength = 3;
constexpr UINT DisabledState = MFS_DISABLED | MFS_GRAYED;
constexpr UINT WindowMenuFlags = TPM_RETURNCMD | TPM_RIGHTBUTTON;
// Items that only open a sub-menu choose nothing themselves.
constexpr UINT SubMenuItemId = 0;



// A tool with the component's defaults for everything but what a list shows.
platform::ComPtr<_Tool> AddTool(_Tools& tools, LONG id, const std::wstring& name, const std::wstring& caption,
                                LONG icon, QLToolStyle style, bool enabled = true) {
    platform::ComPtr<_Tool> added;
    const platform::Bstr none(L"");
    platform::ThrowIfFailed(tools.Add(id, platform::Bstr(name).get(), platform::Bstr(caption).get(), icon, style,
                                      none.get(), VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, none.get(), none.get(),
                                      VARIANT_TRUE, VARIANT_FALSE, platform::ToVariantBool(enabled), VARIANT_TRUE,
                                      &added),
                            L"Tools.Add");
    if (!added) RaiseMissing(L"Tools.Add");
    return added;
}

void AddPlaceholder(_Tools& tools, const wchar_t* caption) {
    AddTool(tools, windows_list::PlaceholderId, windows_list::PlaceholderName, caption, menus::NoIcon,
            qlToolStyleNormal, false);
}

// Menu captions mark their accelerator with "&": a title shows its own
// ampersands only when they are doubled.
std::wstring MenuText(const std::wstring& text) {
    std::wstring escaped;
    escaped.reserve(text.size());
    for (wchar_t c : text) {
        escaped += c;
        if (c == L'&') escaped += c;
    }
    return escaped;
}

// The tracked wrapper a listed window's tool stands for: its tag is the handle.
std::shared_ptr<CWindow> TaggedWindow(const CTracker& tracker, _Tool& tool) {
    platform::Variant tag;
    platform::ThrowIfFailed(tool.get_Tag(tag.put()), L"Tool.Tag");
    if (tag.get().vt == VT_EMPTY) return nullptr;
    return tracker.Find(platform::ToText(tag.get(), L"Tool.Tag"));
}

platform::Variant HandleTag(HWND window) {
    return platform::Variant::FromInt32(static_cast<int32_t>(reinterpret_cast<intptr_t>(window)));
}

UINT MainCommandNamed(const std::wstring& name) {
    for (const auto& tool : menus::MainTools) {
        if (name == tool.name) return tool.id;
    }
    return 0;
}

void PostSystemCommand(HWND window, UINT command) { ::PostMessageW(window, WM_SYSCOMMAND, command, 0); }

// Maximize and restore also bring the window to the user.
void PassOnShowingCommand(HWND window, UINT command) {
    BringToFront(window);
    PostSystemCommand(window, command);
    ::ShowWindowAsync(window, SW_SHOW);
}

void PassOnCommand(HWND window, UINT command) {
    if (command == SC_MINIMIZE)
        PostSystemCommand(window, command);
    else
        PassOnShowingCommand(window, command);
}

int32_t ShowCommandFor(UINT command) {
    switch (command) {
        case SC_MAXIMIZE: return SW_SHOWMAXIMIZED;
        case SC_RESTORE: return SW_RESTORE;
        default: return AutomaticShowCommand;
    }
}

// A window command for a window that is tracked: its action is lifted where
// the command shows it.
void ExecuteTrackedWindowCommand(CWindow& tracked, UINT command) {
    HWND window = tracked.hWnd();
    if (command == menus::WindowTitleCommand) {
        tracked.ExecuteAction(true, AutomaticShowCommand);
    } else if (command == SC_CLOSE) {
        tracked.Delete();
        PostSystemCommand(window, command);
    } else if (!::IsWindow(window)) {
        tracked.Delete();
    } else if (tracked.Suspended()) {
        // Shown already: the command is the window's own.
        PassOnCommand(window, command);
    } else {
        tracked.ExecuteAction(true, ShowCommandFor(command));
    }
}

void ExecuteUntrackedWindowCommand(HWND window, UINT command) {
    if (command == menus::WindowTitleCommand || !::IsWindow(window)) return;
    if (command == SC_CLOSE)
        PostSystemCommand(window, command);
    else
        PassOnCommand(window, command);
}

bool IsWindowCommand(UINT command) {
    switch (command) {
        case menus::WindowTitleCommand:
        case SC_MINIMIZE:
        case SC_MAXIMIZE:
        case SC_CLOSE:
        case SC_RESTORE: return true;
        default: return false;
    }
}

// The window's own menu; one a program spoiled is reset first.
HMENU WindowMenuOf(HWND window, HWND owner) {
    HMENU menu = ::GetSystemMenu(window, FALSE);
    if (::IsMenu(menu)) return menu;
    ::GetSystemMenu(window, TRUE);
    ResetMenuBar(owner);
    menu = ::GetSystemMenu(window, FALSE);
    return ::IsMenu(menu) ? menu : nullptr;
}

void ChangeItemState(HMENU menu, UINT id, UINT set, UINT clear) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STATE;
    if (!::GetMenuItemInfoW(menu, id, FALSE, &item)) return;
    item.fState = (item.fState & ~clear) | set;
    ::SetMenuItemInfoW(menu, id, FALSE, &item);
}

void EnableItem(HMENU menu, UINT id, bool enabled) {
    ChangeItemState(menu, id, enabled ? 0 : DisabledState, enabled ? DisabledState : 0);
}

void SendMenuLoopMessage(HWND owner, UINT message) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(owner, message, TRUE, 0, SMTO_ABORTIFHUNG, static_cast<UINT>(MessageTimeout), &result);
}

}  // namespace

// --- the menus' lifetime ------------------------------------------------------------

void CTrayMenus::Attach(_Quillet* quillet, _Kestrix* tray, const frmMain& owner, HICON defaultIcon) {
    quillet_ = quillet;
    tray_ = tray;
    owner_ = &owner;
    defaultIcon_ = defaultIcon;
    BuildMenus(owner);
    windowIconBase_ = ImageList_GetImageCount(owner.imlIcons());
}

void CTrayMenus::Detach() noexcept {
    quillet_ = nullptr;
    tray_ = nullptr;
    owner_ = nullptr;
}

// The main menu's commands, chosen from its band or from a window menu.
bool CTrayMenus::RunMainCommand(UINT command) {
    switch (command) {
        case menus::AboutCommand: commands_.DisplayAbout(); return true;
        case menus::SetupCommand: commands_.DisplaySetup(); return true;
        case menus::OptionsCommand: commands_.DisplayOptions(); return true;
        case menus::DisableCommand: commands_.SetEnabled(!commands_.Enabled()); return true;
        case menus::RefreshCommand: commands_.RefreshWindows(false); return true;
        case menus::RestoreAllCommand: commands_.RestoreAllWindows(); return true;
        case menus::RestartElevatedCommand: commands_.RestartAsAdministrator(); return true;
        case menus::ExitCommand: Quit(); return true;
        default: return false;
    }
}

// --- the tray menus ------------------------------------------------------------

void CTrayMenus::BuildMenus(const frmMain& owner) {
    platform::ComPtr<_Banners> banners;
    platform::ThrowIfFailed(quillet_->get_Banners(&banners), L"Quillet.Banners");
    platform::ComPtr<_Banner> banner;
    platform::ThrowIfFailed(banners->Add(platform::Bstr(menus::MainBanner).get(), menus::BannerWidth,
                                         platform::Bstr(AppInfo::Title).get(), MenuIcon(owner, L"Setup"),
                                         MissingArgument(), menus::BannerForeColor, menus::BannerBackColor,
                                         menus::BannerBackColor2, &banner),
                            L"Banners.Add");
    platform::ComPtr<_Bands> bands;
    platform::ThrowIfFailed(quillet_->get_Bands(&bands), L"Quillet.Bands");
    platform::ComPtr<_Band> main;
    platform::ThrowIfFailed(bands->Add(platform::Bstr(menus::MainBand).get(), qlBandPopup,
                                       platform::Variant::FromObject(banner.Get()).get(), VARIANT_TRUE, VARIANT_FALSE,
                                       VARIANT_TRUE, &main),
                            L"Bands.Add");
    if (!main) RaiseMissing(L"Bands.Add");
    AddMainTools(*main.Get(), owner);
    // Its tools are made afresh each time it opens.
    platform::ComPtr<_Band> windows;
    platform::ThrowIfFailed(bands->Add(platform::Bstr(menus::WindowsBand).get(), qlBandPopup, MissingArgument(),
                                       VARIANT_TRUE, VARIANT_FALSE, VARIANT_TRUE, &windows),
                            L"Bands.Add");
}

void CTrayMenus::AddMainTools(_Band& band, const frmMain& owner) {
    platform::ComPtr<_Tools> tools;
    platform::ThrowIfFailed(band.get_Tools(&tools), L"Band.Tools");
    for (const auto& tool : menus::MainTools) {
        platform::ComPtr<_Tool> added;
        platform::ThrowIfFailed(
            tools->Add(static_cast<LONG>(tool.id), platform::Bstr(tool.name).get(), platform::Bstr(tool.caption).get(),
                       MenuIcon(owner, tool.image), qlToolStyleNormal, platform::Bstr(L"").get(),
                       platform::ToVariantBool(tool.beginGroup), VARIANT_FALSE, platform::ToVariantBool(tool.isDefault),
                       platform::Bstr(L"").get(), platform::Bstr(tool.subBand).get(), VARIANT_TRUE, VARIANT_FALSE,
                       VARIANT_TRUE, platform::ToVariantBool(tool.id != menus::RestartElevatedCommand), &added),
            L"Tools.Add");
    }
}

platform::ComPtr<_Band> CTrayMenus::MenuBand(const wchar_t* name) const {
    platform::ComPtr<_Bands> bands;
    platform::ThrowIfFailed(quillet_->get_Bands(&bands), L"Quillet.Bands");
    platform::ComPtr<_Band> band;
    platform::ThrowIfFailed(bands->Item(platform::Variant::FromText(name).get(), &band), L"Bands.Item");
    if (!band) RaiseMissing(L"Bands.Item");
    return band;
}

platform::ComPtr<_Banner> CTrayMenus::MenuBannerObject(const wchar_t* name) const {
    platform::ComPtr<_Banners> banners;
    platform::ThrowIfFailed(quillet_->get_Banners(&banners), L"Quillet.Banners");
    platform::ComPtr<_Banner> banner;
    platform::ThrowIfFailed(banners->Item(platform::Variant::FromText(name).get(), &banner), L"Banners.Item");
    if (!banner) RaiseMissing(L"Banners.Item");
    return banner;
}

void CTrayMenus::ApplyMenuBanner() {
    if (!quillet_) return;
    platform::ComPtr<_Banner> banner;
    if (options_.menuBanner) banner = MenuBannerObject(menus::MainBanner);
    platform::ThrowIfFailed(MenuBand(menus::MainBand)->putref_Banner(banner.Get()), L"Band.Banner");
}

void CTrayMenus::ApplyMenuOwnerDraw() {
    if (!quillet_) return;
    platform::ComPtr<_Bands> bands;
    platform::ThrowIfFailed(quillet_->get_Bands(&bands), L"Quillet.Bands");
    LONG count = 0;
    platform::ThrowIfFailed(bands->get_Count(&count), L"Bands.Count");
    for (LONG position = 1; position <= count; ++position) {
        platform::ComPtr<_Band> band;
        platform::ThrowIfFailed(bands->Item(platform::Variant::FromInt32(position).get(), &band), L"Bands.Item");
        if (band)
            platform::ThrowIfFailed(band->put_OwnerDraw(platform::ToVariantBool(options_.menuOwnerDraw)), L"Band.OwnerDraw");
    }
}

// --- pop-ups --------------------------------------------------------------------

void CTrayMenus::PreparePopup(HWND owner) {
    if (tray_)
        platform::ThrowIfFailed(tray_->PreparePopupMenu(reinterpret_cast<LONG_PTR>(owner)),
                                L"Kestrix.PreparePopupMenu");
}

void CTrayMenus::ShowDisabledState() {
    platform::ComPtr<_Tool> disable;
    platform::ThrowIfFailed(ToolsOf(*MenuBand(menus::MainBand).Get())->Item(platform::Variant::FromText(L"Disable").get(),
                                                                            &disable),
                            L"Tools.Item");
    if (!disable) RaiseMissing(L"Tools.Item");
    platform::ThrowIfFailed(disable->put_Checked(platform::ToVariantBool(!commands_.Enabled())), L"Tool.Checked");
    platform::ComPtr<_Tool> restart;
    platform::ThrowIfFailed(ToolsOf(*MenuBand(menus::MainBand).Get())
                                ->Item(platform::Variant::FromText(menus::RestartElevatedTool).get(), &restart),
                            L"Tools.Item");
    if (restart)
        platform::ThrowIfFailed(restart->put_Visible(platform::ToVariantBool(commands_.AdministratorNeeded())),
                                L"Tool.Visible");
}

// The chosen tool arrives as the component's Click.
void CTrayMenus::PopupMenu(HWND owner, int32_t x, int32_t y) {
    platform::Guard(ClassName, L"PopupMenu", [&] {
        PreparePopup(owner);
        ShowDisabledState();
        LONG command = 0;
        platform::ThrowIfFailed(MenuBand(menus::MainBand)->PopupMenu(x, y, &command), L"Band.PopupMenu");
    });
}

// Its list is made as it opens (BandOpen); a chosen window arrives as Click.
void CTrayMenus::PopupWindowsMenu(HWND owner, int32_t x, int32_t y) {
    platform::Guard(ClassName, L"PopupWindowsMenu", [&] {
        PreparePopup(owner);
        LONG command = 0;
        platform::ThrowIfFailed(MenuBand(menus::WindowsBand)->PopupMenu(x, y, &command), L"Band.PopupMenu");
    });
}

// The program's items go on top of the window's own menu for as long as it is
// open, and out again however it ends: by position, in the order they went
// in, each band's menu released once its item is out.
class CTrayMenus::WindowMenuItems {
public:
    explicit WindowMenuItems(HMENU menu) noexcept : menu_(menu) {}
    ~WindowMenuItems() {
        platform::SkipFailure(ClassName, L"PopupWindowMenu", [&] {
            for (const auto& band : items_) {
                ::RemoveMenu(menu_, 0, MF_BYPOSITION);
                if (band) band->Destroy();
            }
        });
    }
    WindowMenuItems(const WindowMenuItems&) = delete;
    WindowMenuItems& operator=(const WindowMenuItems&) = delete;

    HMENU Menu() const noexcept { return menu_; }
    UINT Count() const noexcept { return static_cast<UINT>(items_.size()); }
    // An item went in; `band` when its sub-menu is that band's.
    void Added(platform::ComPtr<_Band> band) { items_.push_back(std::move(band)); }

private:
    HMENU menu_;
    std::vector<platform::ComPtr<_Band>> items_;
};

void CTrayMenus::PopupWindowMenu(HWND owner, HWND window, const std::wstring& title, int32_t x, int32_t y,
                                   bool bare) {
    platform::Guard(ClassName, L"PopupWindowMenu", [&] {
        HMENU menu = WindowMenuOf(window, owner);
        if (!menu || ::GetMenuItemCount(menu) <= 0) return;
        UINT command = 0;
        {
            WindowMenuItems items(menu);
            if (!bare) InsertWindowMenuItems(items, title);
            AdjustWindowMenuStates(menu, window);
            ResetMenuBar(owner);
            PreparePopup(owner);
            SendMenuLoopMessage(owner, WM_ENTERMENULOOP);
            command = static_cast<UINT>(::TrackPopupMenuEx(menu, WindowMenuFlags, x, y, owner, nullptr));
        }
        ResetMenuBar(owner);
        ExecuteCommand(window, command);
        SendMenuLoopMessage(owner, WM_EXITMENULOOP);
    });
}

void CTrayMenus::InsertWindowMenuItems(WindowMenuItems& items, const std::wstring& title) {
    auto add = [&](const std::wstring& caption, UINT id) {
        if (AddMenuItem(items.Menu(), caption, id, items.Count(), 0, MFS_ENABLED, nullptr)) items.Added(nullptr);
    };
    // A band's menu that does not go in is given back at once.
    auto addBand = [&](const std::wstring& caption, const wchar_t* name) {
        auto band = MenuBand(name);
        LONG_PTR created = 0;
        platform::ThrowIfFailed(band->Create(&created), L"Band.Create");
        if (!created) return;
        if (AddMenuItem(items.Menu(), caption, SubMenuItemId, items.Count(), MIIM_SUBMENU, MFS_ENABLED,
                        reinterpret_cast<HMENU>(created)))
            items.Added(band);
        else
            band->Destroy();
    };
    if (options_.menuOptions.at(MenuWindowTitles)) {
        add(MenuText(ClipWindowTitle(title)), menus::WindowTitleCommand);
        add(L"", 0);
    }
    if (options_.menuOptions.at(MenuProgramSubMenu)) {
        ShowDisabledState();
        addBand(std::wstring(L"&") + AppInfo::Title + L" Menu", menus::MainBand);
        if (!options_.menuOptions.at(MenuWindowsSubMenu)) add(L"", 0);
    }
    if (options_.menuOptions.at(MenuWindowsSubMenu)) {
        addBand(std::wstring(AppInfo::Title) + L" &Windows", menus::WindowsBand);
        add(L"", 0);
    }
}

bool CTrayMenus::AddMenuItem(HMENU menu, const std::wstring& caption, UINT id, UINT position, UINT mask, UINT state,
                               HMENU subMenu) {
    return platform::Guard(ClassName, L"AddMenuItem", [&] {
        std::wstring text = caption;
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_TYPE | MIIM_DATA;
        if (text.empty()) {
            item.fType = MFT_SEPARATOR;
        } else {
            item.fMask |= mask;
            item.fType = MFT_STRING;
            item.dwTypeData = text.data();
            item.cch = static_cast<UINT>(text.size());
            item.wID = id;
            item.fState = state;
            item.hSubMenu = subMenu;
        }
        if (!::InsertMenuItemW(menu, position, TRUE, &item)) platform::RaiseWin32(::GetLastError(), L"InsertMenuItem");
        return true;
    });
}

// Moving and sizing a window that may be hidden leads nowhere; minimize,
// maximize and restore only where they change something.
void CTrayMenus::AdjustWindowMenuStates(HMENU menu, HWND window) {
    const bool minimized = ::IsIconic(window) != FALSE;
    const bool maximized = ::IsZoomed(window) != FALSE;
    EnableItem(menu, SC_SIZE, false);
    EnableItem(menu, SC_MOVE, false);
    EnableItem(menu, SC_MINIMIZE, !minimized);
    EnableItem(menu, SC_MAXIMIZE, !maximized);
    EnableItem(menu, SC_RESTORE, minimized || maximized);
    ChangeItemState(menu, SC_CLOSE, MFS_DEFAULT, 0);
}

// --- commands ---------------------------------------------------------------------

void CTrayMenus::ExecuteCommand(HWND window, UINT command) {
    platform::Guard(ClassName, L"ExecuteCommand", [&] {
        if (RunMainCommand(command)) return;
        if (IsWindowCommand(command)) {
            if (auto tracked = tracker_.Find(WindowKey(window)))
                ExecuteTrackedWindowCommand(*tracked, command);
            else
                ExecuteUntrackedWindowCommand(window, command);
            return;
        }
        // A window listed in the "Windows" sub-menu, or one of the window's own
        // commands. A dismissed menu answers 0, which is no command at all.
        if (auto tool = ListedWindowTool(command)) {
            if (auto tracked = TaggedWindow(tracker_, *tool.Get())) tracked->ExecuteAction(true, AutomaticShowCommand);
        } else if (command != 0) {
            PostSystemCommand(window, command);
        }
    });
}

platform::ComPtr<_Tool> CTrayMenus::ListedWindowTool(UINT command) const {
    return platform::Guard(ClassName, L"ListedWindowTool", platform::Trap::Silently, [&] {
        platform::ComPtr<_Tool> tool;
        platform::ThrowIfFailed(ToolsOf(*MenuBand(menus::WindowsBand).Get())->GetToolFromID(static_cast<LONG>(command), &tool),
                                L"Tools.GetToolFromID");
        return tool;
    });
}

// --- the list of tracked windows ---------------------------------------------------

void CTrayMenus::BuildWindowList() {
    platform::Guard(ClassName, L"BuildWindowList", [&] {
        auto tools = ToolsOf(*MenuBand(menus::WindowsBand).Get());
        platform::ThrowIfFailed(tools->RemoveAll(), L"Tools.RemoveAll");
        FitWindowIconCache();
        if (tracker_.Windows().Empty()) {
            AddPlaceholder(*tools.Get(), windows_list::NoWindowsCaption);
            return;
        }
        for (const auto& header : windows_list::Headers)
            AddTool(*tools.Get(), header.id, header.name, header.caption, menus::NoIcon, qlToolStyleHeader);
        std::array<bool, windows_list::GroupCount> used{};
        bool ignoredLeftOut = false;
        LONG listed = 0;
        // Asking whether another program's window still exists is a trip to
        // the system. While window events are followed, a window that goes
        // leaves the list at its event; without them, each is asked here.
        const bool eventsFollowed = tracker_.FollowsWindowEvents();
        for (const auto& window : tracker_.Windows().Snapshot()) {
            if (!eventsFollowed && !::IsWindow(window->hWnd())) {
                window->Delete();
                continue;
            }
            const int32_t action = window->Action();
            if (action >= 0 && action < windows_list::GroupCount) used[static_cast<size_t>(action)] = true;
            if (action == ActionIgnore && !options_.menuOptions.at(MenuIgnoredWindows)) {
                ignoredLeftOut = true;
                continue;
            }
            if (listed < windows_list::MostListedWindows) AddWindowTool(*tools.Get(), *window, ++listed);
        }
        used[ActionIgnore] = used[ActionIgnore] && options_.menuOptions.at(MenuIgnoredWindows);
        for (int group = 0; group < windows_list::GroupCount; ++group) {
            if (!used[static_cast<size_t>(group)])
                platform::ThrowIfFailed(tools->Remove(platform::Variant::FromText(windows_list::Headers[group].name).get()),
                                        L"Tools.Remove");
        }
        // Windows of actions without a header (close, bring to front) are
        // listed all the same; the placeholder says why nothing is.
        if (listed == 0)
            AddPlaceholder(*tools.Get(),
                           ignoredLeftOut ? windows_list::IgnoredOnlyCaption : windows_list::NoWindowsCaption);
    });
}

void CTrayMenus::AddWindowTool(_Tools& tools, CWindow& window, LONG listed) {
    const LONG icon = WindowToolIcon(window.SmallIcon(), static_cast<size_t>(listed - 1));
    const std::wstring name = std::to_wstring(listed) + windows_list::WindowToolSuffix;
    auto tool = AddTool(tools, windows_list::FirstWindowToolId + listed - 1, name,
                        MenuText(ClipWindowTitle(window.ListedTitle())), icon, qlToolStyleNormal);
    platform::ThrowIfFailed(tool->put_Tag(HandleTag(window.hWnd()).get()), L"Tool.Tag");
    const int32_t action = window.Action();
    if (action >= 0 && action < windows_list::GroupCount)
        platform::ThrowIfFailed(tools.Move(platform::Variant::FromText(name).get(), MissingArgument(),
                                           platform::Variant::FromText(windows_list::Headers[action].name).get()),
                                L"Tools.Move");
    platform::ThrowIfFailed(tool->put_Checked(platform::ToVariantBool(window.Suspended())), L"Tool.Checked");
}

// The k-th listed window shows image k of the cache. Writing an image costs
// far more than the rest of a listing, so it is written only when the window
// there shows another icon than the image holds.
LONG CTrayMenus::WindowToolIcon(HICON small, size_t slot) {
    if (!small) return menus::NoIcon;
    const int index = windowIconBase_ + static_cast<int>(slot);
    if (slot < cachedIcons_.size() && cachedIcons_[slot] == small) return index + 1;
    const int image = ImageList_ReplaceIcon(owner_->imlIcons(), index, small);
    if (slot < cachedIcons_.size()) cachedIcons_[slot] = image >= 0 ? small : nullptr;
    return image >= 0 ? image + 1 : menus::NoIcon;
}

// One image per tracked window after the main window's own images. What an
// image holds is known from the writes made here; should the list have
// changed behind them, every image counts as unknown and is written again.
void CTrayMenus::FitWindowIconCache() {
    if (!owner_) return;
    HIMAGELIST images = owner_->imlIcons();
    const int held = ImageList_GetImageCount(images) - windowIconBase_;
    if (images != cachedIconList_ || held != static_cast<int>(cachedIcons_.size())) {
        cachedIconList_ = images;
        cachedIcons_.assign(static_cast<size_t>(std::max(held, 0)), nullptr);
    }
    const int wanted = windowIconBase_ + tracker_.Windows().Count();
    for (int count = ImageList_GetImageCount(images); count > wanted; --count) {
        if (!ImageList_Remove(images, count - 1)) break;
        if (!cachedIcons_.empty()) cachedIcons_.pop_back();
    }
    for (int count = ImageList_GetImageCount(images); count < wanted; ++count) {
        if (ImageList_AddIcon(images, defaultIcon_) < 0) break;
        cachedIcons_.push_back(defaultIcon_);
    }
}

// A length with no room for the ellipsis keeps that many characters. The cut
// never parts the two halves of a character outside the basic plane.
std::wstring CTrayMenus::ClipWindowTitle(const std::wstring& title) const {
    return platform::Guard(ClassName, L"ClipWindowTitle", [&] {
        const auto limit = static_cast<size_t>(options_.windowTitleLength);
        if (limit == 0 || title.size() <= limit) return title;
        const bool ellipsis = options_.windowTitleLength > EllipsisLength;
        size_t kept = ellipsis ? limit - EllipsisLength : limit;
        if (kept > 0 && IS_HIGH_SURROGATE(title[kept - 1])) --kept;
        return title.substr(0, kept) + (ellipsis ? Ellipsis : L"");
    });
}

// --- the menu component's events ---------------------------------------------------

void CTrayMenus::BandOpen(_Band* band) {
    platform::Guard(ClassName, L"moQuillet_BandOpen", [&] {
        if (band && NameOf(*band) == menus::WindowsBand) BuildWindowList();
    });
}

// Headers and placeholders choose nothing.
void CTrayMenus::Click(_Tool* tool) {
    platform::Guard(ClassName, L"moQuillet_Click", [&] {
        if (!tool) return;
        platform::ComPtr<_Band> band;
        platform::ThrowIfFailed(tool->get_Parent(&band), L"Tool.Parent");
        if (!band) return;
        const std::wstring bandName = NameOf(*band.Get());
        if (bandName == menus::MainBand) {
            RunMainCommand(MainCommandNamed(NameOf(*tool)));
        } else if (bandName == menus::WindowsBand) {
            if (auto tracked = TaggedWindow(tracker_, *tool)) tracked->ExecuteAction(true, AutomaticShowCommand);
        }
    });
}
