// The program's face, in-process, with windows of another program: the
// "Windows" menu in every state and with many windows, the window menu built
// on a window's own system menu, the actions of clicks on tray icons and the
// switcher's key. The menus are real pop-ups, worked by keys from another
// thread as a user would.
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "CWindows.h"
#include "EventLog.h"
#include "Gdi.h"
#include "Handles.h"
#include "MenuKeyboard.h"
#include "Strings.h"
#include "TrackingFixture.h"
#include "Xdotool.h"

using namespace testing_support;
using namespace tracking_test;
using platform::ComPtr;

namespace {

using Lines = std::vector<std::wstring>;

constexpr int32_t PopupX = 40, PopupY = 40;

ComPtr<_Band> BandNamed(_Quillet* quillet, const wchar_t* name) {
    ComPtr<_Bands> bands;
    quillet->get_Bands(&bands);
    ComPtr<_Band> band;
    bands->Item(platform::Variant::FromText(name).get(), &band);
    return band;
}

ComPtr<_Tools> ToolsOf(_Quillet* quillet, const wchar_t* band) {
    ComPtr<_Tools> tools;
    BandNamed(quillet, band)->get_Tools(&tools);
    return tools;
}

bool Shown(_Quillet* quillet, const wchar_t* band) {
    VARIANT_BOOL visible = VARIANT_TRUE;
    BandNamed(quillet, band)->get_Visible(&visible);
    return visible != VARIANT_FALSE;
}

HWND TagOf(_Tool* tool) {
    platform::Variant tag;
    tool->get_Tag(tag.put());
    return tag.get().vt == VT_I4 ? reinterpret_cast<HWND>(static_cast<intptr_t>(tag.get().lVal)) : nullptr;
}

std::wstring Describe(_Tool* tool) {
    LONG id = 0, icon = 0;
    VARIANT_BOOL checked = VARIANT_FALSE, enabled = VARIANT_FALSE;
    platform::Bstr caption;
    tool->get_ID(&id);
    tool->get_Caption(caption.put());
    tool->get_Icon(&icon);
    tool->get_Checked(&checked);
    tool->get_Enabled(&enabled);
    return std::to_wstring(id) + L" \"" + caption.Text() + L"\" icon " + std::to_wstring(icon) +
           (checked ? L" checked" : L"") + (enabled ? L"" : L" disabled");
}

// The tools of the "Windows" band in order, without the component's hidden one.
std::vector<ComPtr<_Tool>> WindowsTools(_Quillet* quillet) {
    auto tools = ToolsOf(quillet, L"Windows");
    LONG count = 0;
    tools->get_Count(&count);
    std::vector<ComPtr<_Tool>> found(static_cast<size_t>(count - 1));
    for (LONG position = 2; position <= count; ++position)
        tools->Item(platform::Variant::FromInt32(position).get(), &found[static_cast<size_t>(position - 2)]);
    return found;
}

// A menu's items as "ID caption" ("-" for a separator, " >" after a
// sub-menu), then the window commands that are enabled ("*" the default).
Lines ItemsOf(HMENU menu, bool withStates = false) {
    Lines items;
    for (int position = 0; position < ::GetMenuItemCount(menu); ++position) {
        wchar_t text[256] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
        item.dwTypeData = text;
        item.cch = static_cast<UINT>(std::size(text));
        ::GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item);
        items.push_back(std::to_wstring(item.wID) + L" " + ((item.fType & MFT_SEPARATOR) ? L"-" : text) +
                        (item.hSubMenu ? L" >" : L""));
    }
    if (!withStates) return items;
    std::wstring enabled = L"enabled:";
    for (UINT id : {SC_SIZE, SC_MOVE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE, SC_CLOSE}) {
        const UINT state = ::GetMenuState(menu, id, MF_BYCOMMAND);
        if (!(state & MF_GRAYED)) enabled += L" " + std::to_wstring(id) + ((state & MFS_DEFAULT) ? L"*" : L"");
    }
    items.push_back(enabled);
    return items;
}

// A window menu as its owner is told it opens.
HMENU g_watchedMenu = nullptr;
Lines g_menuAsOpened;
LRESULT CALLBACK WatchMenuOpening(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_INITMENUPOPUP &&
        reinterpret_cast<HMENU>(message->wParam) == g_watchedMenu)
        g_menuAsOpened = ItemsOf(g_watchedMenu, true);
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The names a screen reader reads from each menu as it opened: the
// MSAAMENUINFO at the start of every item's data, once the menu is filled.
std::vector<Lines> g_accessibleNames;
LRESULT CALLBACK ReadAccessibleNames(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_INITMENUPOPUP) {
        const auto menu = reinterpret_cast<HMENU>(message->wParam);
        Lines names;
        for (int position = 0; position < ::GetMenuItemCount(menu); ++position) {
            MENUITEMINFOW item{};
            item.cbSize = sizeof item;
            item.fMask = MIIM_FTYPE | MIIM_DATA;
            ::GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item);
            if (item.fType & MFT_SEPARATOR) continue;
            const auto* info = reinterpret_cast<const MSAAMENUINFO*>(item.dwItemData);
            names.push_back(!info || info->dwMSAASignature != MSAA_MENU_SIG
                                ? L"<unnamed>"
                                : std::wstring(info->pszWText, info->cchWText));
        }
        g_accessibleNames.push_back(names);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Opens a menu and works it with the keys.
void WithKeys(std::vector<MenuKey> keys, const std::function<void()>& open) {
    MenuKeyboard keyboard(std::move(keys));
    open();
    EXPECT_TRUE(keyboard.Worked()) << "the menu did not come, or did not close on the keys";
}

// The visible windows of this thread that the main window owns: the program's dialogs.
std::vector<HWND> OwnedDialogs() {
    std::vector<HWND> found;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM list) {
            if (::IsWindowVisible(window) && ::GetWindow(window, GW_OWNER) == MainWindowHandle)
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// A window of this process that answers icon questions as any window does
// (DefWindowProc gives the icon WM_SETICON set) and counts them.
int g_iconQuestions = 0;
class IconWindow {
public:
    static constexpr wchar_t ClassName[] = L"PelkinIconTestWindow";
    explicit IconWindow(const wchar_t* title) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = ClassName;
        ::RegisterClassW(&windowClass);
        window_ = ::CreateWindowExW(0, ClassName, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                    nullptr, windowClass.hInstance, nullptr);
    }
    ~IconWindow() { Destroy(); }
    IconWindow(const IconWindow&) = delete;
    IconWindow& operator=(const IconWindow&) = delete;
    HWND get() const noexcept { return window_; }
    void SetIcon(HICON icon) const { ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon)); }
    void Destroy() {
        if (window_) ::DestroyWindow(window_);
        window_ = nullptr;
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_GETICON) ++g_iconQuestions;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    HWND window_;
};

// A 16 x 16 icon of one colour, opaque in every pixel (alpha and mask).
platform::UniqueHIcon SolidIcon(COLORREF colour) {
    constexpr int Side = 16;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = Side;
    info.bmiHeader.biHeight = -Side;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP image = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const uint32_t pixel = 0xFF000000u | (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    std::fill_n(static_cast<uint32_t*>(bits), Side * Side, pixel);
    const std::vector<BYTE> maskBits(Side * Side / 8, 0);
    const HBITMAP mask = ::CreateBitmap(Side, Side, 1, 1, maskBits.data());
    ICONINFO icon{TRUE, 0, 0, mask, image};
    platform::UniqueHIcon made(::CreateIconIndirect(&icon));
    ::DeleteObject(mask);
    ::DeleteObject(image);
    return made;
}

// The middle pixel of an image of the list, drawn as the menus draw it.
COLORREF ImageColour(HIMAGELIST images, int index) {
    platform::MemoryBitmap canvas(nullptr, 16, 16, platform::PixelFormat::TopDown32);
    ::ImageList_Draw(images, index, canvas.dc(), 0, 0, ILD_NORMAL);
    return canvas.PixelAt(8, 8);
}

class WindowMenusTest : public TrackingTest {
protected:
    _Quillet* Menus() const { return app_->Quillet(); }
    void OpenWindowsMenu(std::vector<MenuKey> keys) {
        WithKeys(std::move(keys), [&] { app_->PopupWindowsMenu(MainWindowHandle, PopupX, PopupY); });
    }
    // The "Windows" menu as it showed when opened.
    Lines WindowsMenu() {
        OpenWindowsMenu({KeyDown(VK_ESCAPE)});
        Lines described;
        for (const auto& tool : WindowsTools(Menus())) described.push_back(Describe(tool.Get()));
        return described;
    }
    int CachedIcons() const { return ImageList_GetImageCount(form_->imlIcons()) - app_->WindowIconBase(); }

    // Calls the tray component's event as the component does.
    void FireTrayEvent(DISPID id, std::vector<LONG> arguments) {
        ASSERT_EQ(S_OK, testing_support::FireEvent(app_->KestrixEvents(), id, arguments));
    }
    void FireTrayEvent(DISPID id, std::vector<LONG> arguments, std::vector<MenuKey> keys) {
        WithKeys(std::move(keys), [&] { FireTrayEvent(id, std::move(arguments)); });
    }
    static LONG IdOf(HWND window) { return static_cast<LONG>(reinterpret_cast<intptr_t>(window)); }
};

}  // namespace

TEST_F(WindowMenusTest, TheWindowsMenuListsTrackedWindowsUnderTheHeadersOfTheirActions) {
    EXPECT_EQ(WindowsMenu(), (Lines{L"901 \"<No Windows>\" icon -1 disabled"}));
    AddRule(L"Trayed", ActionHideInTray, CriteriaAlways);
    AddRule(L"Hidden", ActionHide, CriteriaAlways);
    AddRule(L"Topmost", ActionOnTop, CriteriaAlways);
    AddRule(L"Clear", ActionTransparency, CriteriaAlways);
    AddRule(L"Ignored", ActionIgnore, CriteriaAlways);
    ASSERT_TRUE(Offer(testwin_.Create(L"Ignored window")));
    EXPECT_EQ(WindowsMenu(), (Lines{L"901 \"<Ignored Windows Only>\" icon -1 disabled"}));

    // Titles are clipped to 17 characters and "...", never between the two
    // halves of a character; their ampersands show as such.
    app_->SetWindowTitleLength(20);
    HWND trayed = testwin_.Create(L"Trayed window with a title of 40 letters");
    HWND hidden = testwin_.Create(L"Hidden window");
    HWND trayedToo = testwin_.Create(L"Trayed Tom&Jerry\U0001F600 and more");
    HWND topmost = testwin_.Create(L"Topmost window");
    HWND clear = testwin_.Create(L"Clear window");
    for (HWND window : {trayed, hidden, trayedToo, topmost, clear}) ASSERT_TRUE(Offer(window));
    // The k-th listed window shows image k of the cache (the component counts from 1).
    const Lines listed{
        L"902 \"\"Trayed\" Windows\" icon -1 disabled", L"1003 \"Trayed Tom&&Jerry...\" icon 9",
        L"1001 \"Trayed window wit...\" icon 7",        L"903 \"Hidden Windows\" icon -1 disabled",
        L"1002 \"Hidden window\" icon 8",               L"904 \"On Top Windows\" icon -1 disabled",
        L"1004 \"Topmost window\" icon 10",             L"905 \"Transparent Windows\" icon -1 disabled",
        L"1005 \"Clear window\" icon 11"};
    EXPECT_EQ(WindowsMenu(), listed);
    EXPECT_EQ(CachedIcons(), 6) << "one image per tracked window";

    // Chosen (Down passes over the headers), the hidden window comes back
    // and is checked from then on.
    OpenWindowsMenu({KeyDown(VK_DOWN), KeyDown(VK_DOWN), KeyDown(VK_DOWN), KeyDown(VK_RETURN)});
    EXPECT_TRUE(Visible(hidden));
    Lines shown = listed;
    shown[4] += L" checked";
    EXPECT_EQ(WindowsMenu(), shown);

    app_->SetMenuOptions(MenuIgnoredWindows, true);
    const Lines all = WindowsMenu();
    ASSERT_EQ(all.size(), listed.size() + 2);
    EXPECT_EQ(Lines(all.end() - 2, all.end()),
              (Lines{L"906 \"Ignored Windows\" icon -1 disabled", L"1001 \"Ignored window\" icon 7"}));
    app_->SetMenuOptions(MenuIgnoredWindows, false);

    // A window that went unseen (no hook while switched off) goes with its header, and its image after it.
    ASSERT_TRUE(testwin_.Destroy(clear));
    EXPECT_EQ(WindowsMenu(), Lines(shown.begin(), shown.end() - 2));
    EXPECT_FALSE(Tracked(clear));
    WindowsMenu();
    EXPECT_EQ(CachedIcons(), 5);
}

TEST_F(WindowMenusTest, EveryItemOfTheMainAndWindowsMenusIsNamedForScreenReaders) {
    AddRule(L"Trayed", ActionHideInTray, CriteriaAlways);
    ASSERT_TRUE(Offer(testwin_.Create(L"Trayed Tom&Jerry")));
    const platform::UniqueHHook hook(
        ::SetWindowsHookExW(WH_CALLWNDPROCRET, ReadAccessibleNames, nullptr, ::GetCurrentThreadId()));
    ASSERT_TRUE(hook);
    g_accessibleNames.clear();
    WithKeys({KeyDown(VK_ESCAPE)}, [&] { app_->PopupMenu(MainWindowHandle, PopupX, PopupY); });
    OpenWindowsMenu({KeyDown(VK_ESCAPE)});
    ASSERT_EQ(g_accessibleNames.size(), 2u);
    const Lines& main = g_accessibleNames[0];
    for (const wchar_t* expected : {L"About Pelkin!...", L"Options...", L"Refresh", L"Exit"})
        EXPECT_NE(std::find(main.begin(), main.end(), expected), main.end()) << "no " << platform::Narrow(expected);
    // The title's own ampersand is kept as one.
    EXPECT_EQ(g_accessibleNames[1], (Lines{L"Trayed Tom&Jerry"}));
    for (const Lines& menu : g_accessibleNames)
        for (const std::wstring& name : menu) EXPECT_NE(name, L"<unnamed>");
}

TEST_F(WindowMenusTest, EveryOneOfTwoHundredTrackedWindowsCanBeChosen) {
    constexpr size_t Many = 200;
    AddRule(L"Many", ActionHide, CriteriaAlways);
    std::set<HWND> windows;
    for (size_t n = 1; n <= Many; ++n) {
        HWND window = testwin_.Create(L"Many " + std::to_wstring(n));
        ASSERT_TRUE(window && Offer(window)) << n;
        windows.insert(window);
    }
    WindowsMenu();
    std::vector<ComPtr<_Tool>> listed;
    for (auto& tool : WindowsTools(Menus())) {
        if (TagOf(tool.Get())) listed.push_back(tool);
    }
    ASSERT_EQ(listed.size(), Many);
    // A window menu answers with the chosen tool's ID: each finds its own window.
    auto tools = ToolsOf(Menus(), L"Windows");
    std::set<HWND> found;
    for (const auto& tool : listed) {
        LONG id = 0;
        tool->get_ID(&id);
        ComPtr<_Tool> byId;
        ASSERT_EQ(S_OK, tools->GetToolFromID(id, &byId));
        ASSERT_TRUE(byId) << id;
        EXPECT_EQ(TagOf(byId.Get()), TagOf(tool.Get())) << id;
        found.insert(TagOf(byId.Get()));
    }
    EXPECT_EQ(found, windows);

    // Chosen for real in the window menu's "Windows" sub-menu, which opens on
    // its first window: Up wraps round to the last. The middle one is the 95th listed.
    OwnWindow chooser(L"Chooser");
    for (size_t position : {size_t{0}, size_t{105}, Many - 1}) {
        std::vector<MenuKey> keys{Typed(L'w')};
        if (position > 0) keys.insert(keys.end(), Many - position, KeyDown(VK_UP));
        keys.push_back(KeyDown(VK_RETURN));
        MenuKeyboard keyboard(std::move(keys));
        app_->PopupWindowMenu(MainWindowHandle, chooser.get(), L"Chooser", PopupX, PopupY, false);
        EXPECT_TRUE(keyboard.Worked());
        EXPECT_TRUE(Visible(TagOf(listed[position].Get()))) << "position " << position;
    }
}

TEST_F(WindowMenusTest, AnIconAWindowChangesWhileHeldShowsInTheNextMenuAndOpeningsAskNoWindow) {
    // Wine answers no other process's icon question, so these windows are
    // this process's own, handed to the rules as tracking hands them any.
    AddRule(L"Painter", ActionOnTop, CriteriaAlways);
    IconWindow palette(L"Painter's palette");
    IconWindow canvas(L"Painter's canvas");
    const auto green = SolidIcon(RGB(0, 255, 0)), red = SolidIcon(RGB(255, 0, 0)), blue = SolidIcon(RGB(0, 0, 255));
    palette.SetIcon(green.get());
    canvas.SetIcon(red.get());
    for (const IconWindow* window : {&palette, &canvas}) {
        const std::wstring title = WindowText(window->get());
        app_->Rules().FindMatch(window->get(), title, IconWindow::ClassName);
        ASSERT_TRUE(Tracked(window->get()));
    }
    auto shownColour = [&](HWND window) -> COLORREF {
        WindowsMenu();
        for (const auto& tool : WindowsTools(Menus())) {
            LONG icon = -1;
            tool->get_Icon(&icon);
            if (TagOf(tool.Get()) == window && icon >= 1) return ImageColour(form_->imlIcons(), icon - 1);
        }
        return CLR_INVALID;
    };
    EXPECT_EQ(shownColour(palette.get()), RGB(0, 255, 0));
    const int askedWhenHeld = g_iconQuestions;
    EXPECT_GT(askedWhenHeld, 0) << "each window is asked once it is held";
    EXPECT_EQ(shownColour(canvas.get()), RGB(255, 0, 0));
    EXPECT_EQ(g_iconQuestions, askedWhenHeld) << "an opening asks no window for its icon";

    // The refresh asks again, and the next menu shows the new icon.
    canvas.SetIcon(blue.get());
    app_->RefreshWindows(false);
    EXPECT_GT(g_iconQuestions, askedWhenHeld);
    EXPECT_EQ(shownColour(canvas.get()), RGB(0, 0, 255));
    EXPECT_EQ(shownColour(palette.get()), RGB(0, 255, 0));

    // The palette goes: the canvas is listed first now, in the image that
    // showed the palette, which must show the canvas's icon.
    palette.Destroy();
    EXPECT_EQ(shownColour(canvas.get()), RGB(0, 0, 255));
}

TEST_F(WindowMenusTest, ARetitledWindowShowsItsNewTitleInTheNextMenuWithEventsFollowedOrNot) {
    AddRule(L"Retitled", ActionOnTop, CriteriaAlways);
    app_->SetEnabled(true);
    ASSERT_TRUE(app_->Tracker().Tracking());
    HWND window = testwin_.Create(L"Retitled once");
    ASSERT_TRUE(Offer(window));
    auto listedTitle = [&] {
        WindowsMenu();
        for (const auto& tool : WindowsTools(Menus())) {
            platform::Bstr caption;
            tool->get_Caption(caption.put());
            if (TagOf(tool.Get()) == window) return caption.Text();
        }
        return std::wstring(L"<not listed>");
    };
    EXPECT_EQ(listedTitle(), L"Retitled once");
    // The lists keep the title between the window's events: the next one
    // tells of the change, even where the event refreshes nothing else.
    ASSERT_TRUE(testwin_.Retitle(window, L"Retitled twice"));
    EXPECT_TRUE(WaitUntil([&] { return listedTitle() == L"Retitled twice"; }));
    app_->SetRuleOptions(SearchUnwatchedWindowsOnly, true);
    ASSERT_TRUE(testwin_.Retitle(window, L"Retitled again"));
    EXPECT_TRUE(WaitUntil([&] { return listedTitle() == L"Retitled again"; }));
    app_->SetRuleOptions(SearchUnwatchedWindowsOnly, false);

    // Switched off, no event comes: every opening reads the title afresh.
    app_->SetEnabled(false);
    ASSERT_FALSE(app_->Tracker().Tracking());
    ASSERT_TRUE(Tracked(window));
    ASSERT_TRUE(testwin_.Retitle(window, L"Retitled thrice"));
    ASSERT_TRUE(testwin_.CatchUp());
    EXPECT_EQ(listedTitle(), L"Retitled thrice");
}

TEST_F(WindowMenusTest, AWindowMenuCarriesTheProgramsItemsWhileOpenAndIsGivenBackAsItWas) {
    OwnWindow own(L"Own & window");
    g_watchedMenu = ::GetSystemMenu(own.get(), FALSE);
    ASSERT_TRUE(g_watchedMenu);
    const Lines before = ItemsOf(g_watchedMenu);
    ASSERT_FALSE(before.empty());
    platform::UniqueHHook watch(::SetWindowsHookExW(WH_CALLWNDPROC, WatchMenuOpening, nullptr, ::GetCurrentThreadId()));
    // What the menu held as it opened: the program's items, the window's, the enabled commands.
    auto popup = [&](bool bare, std::vector<MenuKey> keys, Lines top, const std::wstring& enabled) {
        WithKeys(std::move(keys), [&] {
            app_->PopupWindowMenu(MainWindowHandle, own.get(), WindowText(own.get()), PopupX, PopupY, bare);
        });
        top.insert(top.end(), before.begin(), before.end());
        top.push_back(L"enabled: " + enabled);
        EXPECT_EQ(g_menuAsOpened, top);
        EXPECT_EQ(ItemsOf(g_watchedMenu), before) << "the window's own menu is given back as it was";
        EXPECT_FALSE(Shown(Menus(), L"Pelkin!"));
        EXPECT_FALSE(Shown(Menus(), L"Windows")) << "each band's menu is released with its item";
    };
    const std::wstring normal = L"61472 61488 61536*";  // minimize, maximize, close (the default)

    // Minimize, chosen by its letter: the window is told.
    popup(false, {Typed(L'n')}, {L"808 Own && window", L"0 -", L"0 &Pelkin! Menu >", L"0 Pelkin! &Windows >", L"0 -"},
          normal);
    EXPECT_TRUE(WaitUntil([&] { return ::IsIconic(own.get()) != FALSE; }));
    // Without the title and the windows sub-menu a separator follows the
    // program's menu; a minimized window is maximized. (Once the menu is up,
    // Wine sets the window commands' states anew from the owner's style, so
    // Restore, which the hidden owner never needs, cannot be chosen there.)
    app_->SetMenuOptions(MenuWindowTitles, false);
    app_->SetMenuOptions(MenuWindowsSubMenu, false);
    popup(false, {Typed(L'x')}, {L"0 &Pelkin! Menu >", L"0 -"}, L"61488 61728 61536*");
    EXPECT_TRUE(WaitUntil([&] { return ::IsZoomed(own.get()) != FALSE; }));
    app_->SetMenuOptions(MenuProgramSubMenu, false);
    app_->SetMenuOptions(MenuWindowsSubMenu, true);
    popup(false, {KeyDown(VK_ESCAPE)}, {L"0 Pelkin! &Windows >", L"0 -"}, L"61472 61728 61536*");
    ::ShowWindow(own.get(), SW_RESTORE);
    popup(true, {KeyDown(VK_ESCAPE)}, {}, normal);
    watch.reset();
}

TEST_F(WindowMenusTest, EveryMouseActionOfBothKindsOfIconDoesItsJob) {
    AddRule(L"Hidden", ActionHide, CriteriaAlways);
    app_->SetEnabled(true);
    HWND hidden = testwin_.Create(L"Hidden by its rule");
    ASSERT_TRUE(Invisible(hidden));

    // The program's icon. Not configured (left single click): the program comes forward.
    OwnWindow front(L"In front");
    ::SetForegroundWindow(front.get());
    FireTrayEvent(MouseUpEventId, {ProgramIconId, LeftButton, PopupX, PopupY});
    EXPECT_EQ(::GetForegroundWindow(), MainWindowHandle);
    // The menu (right single click): "Disable" switches the program off, which
    // the menu shows from then on; "About" shows the About box.
    FireTrayEvent(MouseUpEventId, {ProgramIconId, RightButton, PopupX, PopupY}, {Typed(L'd')});
    EXPECT_FALSE(app_->Enabled());
    FireTrayEvent(MouseUpEventId, {ProgramIconId, RightButton, PopupX, PopupY}, {Typed(L'a')});
    EXPECT_EQ(OwnedDialogs().size(), 1u);
    ComPtr<_Tool> disable;
    ToolsOf(Menus(), L"Pelkin!")->Item(platform::Variant::FromText(L"Disable").get(), &disable);
    ASSERT_TRUE(disable);
    EXPECT_EQ(Describe(disable.Get()), L"805 \"&Disable\" icon -1 checked");
    // The options (here on the left double click): one dialog however often asked for.
    app_->SetMouseOptionsMain(LeftDoubleClick, ProgramIconShowOptions);
    FireTrayEvent(DblClickEventId, {ProgramIconId, LeftButton});
    FireTrayEvent(DblClickEventId, {ProgramIconId, LeftButton});
    EXPECT_EQ(OwnedDialogs().size(), 2u);
    for (HWND dialog : OwnedDialogs()) ::DestroyWindow(dialog);
    // The windows menu (right double click): the hidden window is chosen and comes back.
    app_->SetMouseOptionsMain(RightDoubleClick, ProgramIconShowWindowsMenu);
    FireTrayEvent(DblClickEventId, {ProgramIconId, RightButton}, {KeyDown(VK_DOWN), KeyDown(VK_RETURN)});
    EXPECT_TRUE(Visible(hidden));

    // A window's icon; the window menu needs a window of this process. Its
    // window menu (right single click): Maximize brings it back maximized.
    OwnWindow own(L"Own trayed");
    auto rule = AddRule(L"Own trayed", ActionHideInTray, CriteriaAlways);
    ASSERT_TRUE(rule->Windows().Add(own.get(), ActionHideInTray, CriteriaAlways, 128, 0));
    ASSERT_TRUE(HasTrayIcon(own.get()) && !::IsWindowVisible(own.get()));
    FireTrayEvent(MouseUpEventId, {IdOf(own.get()), RightButton, PopupX, PopupY}, {Typed(L'x')});
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(own.get()) && ::IsZoomed(own.get()); }));
    EXPECT_TRUE(HasTrayIcon(own.get())) << "under \"Always\" the icon stays";
    // The windows menu (here on the left double click).
    app_->SetMouseOptionsWindow(LeftDoubleClick, WindowIconShowWindowsMenu);
    FireTrayEvent(DblClickEventId, {IdOf(own.get()), LeftButton}, {KeyDown(VK_ESCAPE)});
    // An icon whose window is not tracked goes instead of acting.
    platform::Variant noIcon = platform::Variant::FromInt32(0);
    ASSERT_EQ(S_OK, app_->Kestrix()->Add(4242, noIcon.get(), platform::Bstr(L"stale").get(), VARIANT_TRUE));
    FireTrayEvent(ClickEventId, {4242, LeftButton});
    EXPECT_FALSE(HasTrayIcon(reinterpret_cast<HWND>(4242)));
}

TEST_F(WindowMenusTest, TheSwitcherKeyBringsBackTheOneWindowOnOfferAndSavingOptionsLetsWindowsGo) {
    AddRule(L"Hidden", ActionHide, CriteriaAlways);
    HWND hidden = testwin_.Create(L"Hidden until switched to");
    auto tracked = Offer(hidden);
    ASSERT_TRUE(tracked);
    app_->SetSwitcherOptions(SwitcherAltTabMode, false);
    app_->SetSwitcherOptions(SwitcherShowCancel, false);
    app_->SetSwitcherHotkey(VK_F9);
    OwnWindow focus(L"Keys");
    // Forwards and backwards over one window is that window.
    for (const wchar_t* keys : {L"ctrl+F9", L"ctrl+shift+F9"}) {
        ASSERT_TRUE(PressKeys(focus.get(), keys));
        EXPECT_TRUE(Visible(hidden)) << platform::Narrow(keys);
        tracked->ExecuteAction(true);
        ASSERT_TRUE(Invisible(hidden));
    }
    app_->SaveOptions();
    EXPECT_FALSE(Tracked(hidden));
    EXPECT_TRUE(Visible(hidden));
}
