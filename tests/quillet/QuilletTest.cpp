// The menu object driven as a host drives it: through its COM interfaces, on
// a real top-level window of this process, with real native menus read back.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ComClient.h"
#include "ComError.h"
#include "ExceptionLogReader.h"
#include "Guard.h"
#include "MenuKeyboard.h"
#include "Quillet.h"

using platform::Bstr;
using platform::ComPtr;
using platform::Variant;
using platform::com::EventArgument;

namespace {

constexpr wchar_t WindowClass[] = L"QuilletTestHost";
int g_exitMenuLoops = 0;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_EXITMENULOOP) ++g_exitMenuLoops;
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow() {
    WNDCLASSW type{};
    type.lpfnWndProc = HostProc;
    type.hInstance = ::GetModuleHandleW(nullptr);
    type.lpszClassName = WindowClass;
    ::RegisterClassW(&type);
    return ::CreateWindowExW(0, WindowClass, L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                             nullptr, type.hInstance, nullptr);
}

std::wstring NameOf(const VARIANT& object) {
    Bstr name;
    ComPtr<_Tool> tool;
    ComPtr<_Band> band;
    IUnknown* unknown = platform::ObjectOf(object);
    if (unknown && SUCCEEDED(unknown->QueryInterface(IID__Tool, reinterpret_cast<void**>(tool.GetAddressOf()))))
        tool->get_Name(name.put());
    else if (unknown && SUCCEEDED(unknown->QueryInterface(IID__Band, reinterpret_cast<void**>(band.GetAddressOf()))))
        band->get_Name(name.put());
    return name.Text();
}

std::wstring ErrorSource() {
    ComPtr<IErrorInfo> info;
    Bstr source;
    if (::GetErrorInfo(0, &info) == S_OK && info) info->GetSource(source.put());
    return source.Text();
}

struct ToolSpec {
    LONG id;
    std::wstring name;
    std::wstring caption;
    std::wstring shortcut{};
    std::wstring subBand{};
    bool enabled = true;
    bool beginGroup = false;
    bool checked = false;
};

class QuilletTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = MakeWindow();
        ASSERT_TRUE(window);
        ASSERT_EQ(S_OK, Quillet::Create(IID__Quillet, reinterpret_cast<void**>(quillet.GetAddressOf())));
        quillet->get_Bands(&bands);
        sink = platform::com::MakeObject<platform::com::EventSink>(DIID___Quillet);
        for (DISPID id : {BandCloseEventId, BandOpenEventId, QuilletClickEventId, HighlightEventId})
            sink->On(id, [this, id](const DISPPARAMS& params) {
                events.push_back(std::to_wstring(id) + L":" + NameOf(EventArgument(params, 0)));
                if (id == BandOpenEventId && onBandOpen) onBandOpen();
            });
        connection = platform::com::EventConnection(quillet.Get(), DIID___Quillet, static_cast<IDispatch*>(sink.Get()));
    }
    void TearDown() override {
        connection.Disconnect();
        quillet.Reset();
        ::DestroyWindow(window);
    }
    ComPtr<_Band> AddBand(const std::wstring& name, QLBandStyle style) {
        ComPtr<_Band> band;
        EXPECT_EQ(S_OK, bands->Add(Bstr(name).get(), style, Variant().get(), VARIANT_TRUE, VARIANT_FALSE, VARIANT_TRUE, &band));
        return band;
    }
    ComPtr<_Tool> AddTool(_Band* band, const ToolSpec& spec) {
        ComPtr<_Tools> tools;
        ComPtr<_Tool> tool;
        band->get_Tools(&tools);
        EXPECT_EQ(S_OK, tools->Add(spec.id, Bstr(spec.name).get(), Bstr(spec.caption).get(), -1, qlToolStyleNormal,
                                   Bstr(spec.shortcut).get(), spec.beginGroup, platform::ToVariantBool(spec.checked),
                                   VARIANT_FALSE, Bstr().get(), Bstr(spec.subBand).get(), VARIANT_TRUE, VARIANT_FALSE,
                                   platform::ToVariantBool(spec.enabled), VARIANT_TRUE, &tool));
        return tool;
    }
    // A menu bar "Main" with File (Open 7, Save 9 disabled) and Edit (Other 7, Paste 8 Ctrl+V disabled).
    void BuildMenuBar() {
        auto main = AddBand(L"Main", qlBandMenuBar);
        AddTool(main.Get(), {1, L"File", L"&File", {}, L"FileMenu"});
        AddTool(main.Get(), {2, L"Edit", L"&Edit", {}, L"EditMenu"});
        fileMenu = AddBand(L"FileMenu", qlBandPopup);
        AddTool(fileMenu.Get(), {7, L"Open", L"&Open"});
        AddTool(fileMenu.Get(), {9, L"Save", L"&Save", {}, {}, false, true});
        editMenu = AddBand(L"EditMenu", qlBandPopup);
        AddTool(editMenu.Get(), {7, L"Other", L"O&ther"});
        paste = AddTool(editMenu.Get(), {8, L"Paste", L"&Paste", L"Ctrl+V", {}, false});
    }
    HMENU SubMenu(int position) const { return ::GetSubMenu(::GetMenu(window), position); }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const { return ::SendMessageW(window, message, wParam, lParam); }

    HWND window = nullptr;
    ComPtr<_Quillet> quillet;
    ComPtr<_Bands> bands;
    ComPtr<_Band> fileMenu, editMenu;
    ComPtr<_Tool> paste;
    ComPtr<platform::com::EventSink> sink;
    platform::com::EventConnection connection;
    std::vector<std::wstring> events;
    std::function<void()> onBandOpen;
};

const std::wstring Opened = std::to_wstring(BandOpenEventId) + L":";
const std::wstring Clicked = std::to_wstring(QuilletClickEventId) + L":";

TEST_F(QuilletTest, AttachShowsTheMenuBarAndFillsSubmenusWhenTheyOpen) {
    BuildMenuBar();
    const HRESULT invalidCall = platform::ToHResult(platform::errors::InvalidProcedureCall);
    EXPECT_EQ(invalidCall, quillet->SetMenuBar(Bstr(L"Main").get()));
    EXPECT_EQ(L"Quillet.SetMenuBar", ErrorSource());

    ASSERT_EQ(S_OK, quillet->AttachEx(reinterpret_cast<LONG_PTR>(window), Bstr(L"Main").get()));
    const HMENU bar = ::GetMenu(window);
    ASSERT_TRUE(bar);
    ASSERT_EQ(2, ::GetMenuItemCount(bar));
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_ID | MIIM_SUBMENU;
    ASSERT_TRUE(::GetMenuItemInfoW(bar, 1, TRUE, &item));
    EXPECT_EQ(2u, item.wID);
    // A screen reader reads an owner-drawn item's name from the record its data starts with.
    const auto* named = reinterpret_cast<const MSAAMENUINFO*>(item.dwItemData);
    ASSERT_TRUE(named);
    EXPECT_EQ(static_cast<DWORD>(MSAA_MENU_SIG), named->dwMSAASignature);
    EXPECT_EQ(L"Edit", std::wstring(named->pszWText, named->cchWText)) << "the caption without its access key mark";
    EXPECT_TRUE(item.fType & MFT_OWNERDRAW);
    EXPECT_EQ(0, ::GetMenuItemCount(item.hSubMenu)) << "a submenu is filled only when it opens";

    // The host changes the band while it opens; the menu shows the change.
    onBandOpen = [&] { AddTool(editMenu.Get(), {10, L"Late", L"Late"}); };
    Send(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(item.hSubMenu), 1);
    EXPECT_EQ(std::vector<std::wstring>{Opened + L"EditMenu"}, events);
    EXPECT_EQ(3, ::GetMenuItemCount(item.hSubMenu));
    const platform::UniqueHMenu stranger(::CreatePopupMenu());
    EXPECT_EQ(0, Send(WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(stranger.get()), 0));
    EXPECT_EQ(1u, events.size()) << "a menu of no band closes silently";

    const HWND other = MakeWindow();
    EXPECT_EQ(invalidCall, quillet->Attach(reinterpret_cast<LONG_PTR>(other)));
    EXPECT_EQ(L"Quillet.Attach", ErrorSource());
    EXPECT_EQ(S_OK, quillet->Attach(reinterpret_cast<LONG_PTR>(window)));
    LONG_PTR attached = 0;
    quillet->get_hWnd(&attached);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(window), attached);
    ::DestroyWindow(other);

    // Something else replaces the menu; the next move puts the band back.
    const HMENU foreign = ::CreateMenu();
    ::SetMenu(window, foreign);
    ::SetWindowPos(window, nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(bar, ::GetMenu(window));
    EXPECT_FALSE(::IsMenu(foreign));

    ASSERT_EQ(S_OK, quillet->Detach());
    EXPECT_FALSE(::IsMenu(bar)) << "the menu-bar band gives its menu back";
    quillet->get_hWnd(&attached);
    EXPECT_EQ(0, attached);
    events.clear();
    Send(WM_COMMAND, 7, 0);
    EXPECT_TRUE(events.empty()) << "a detached object hears nothing";
}

TEST_F(QuilletTest, CommandsShortcutsAndTypedCharactersReachTheRightTool) {
    BuildMenuBar();
    ASSERT_EQ(S_OK, quillet->AttachEx(reinterpret_cast<LONG_PTR>(window), Bstr(L"Main").get()));
    const HWND button = ::CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD, 0, 0, 10, 10, window, nullptr, nullptr, nullptr);
    Send(WM_COMMAND, 7, 0);
    Send(WM_COMMAND, 7, reinterpret_cast<LPARAM>(button));
    EXPECT_EQ(std::vector<std::wstring>{Clicked + L"Open"}, events) << "first tool in band order, controls ignored";

    events.clear();
    VARIANT_BOOL ran = VARIANT_TRUE;
    EXPECT_EQ(S_OK, quillet->OnKeyDown('V', 4, &ran));
    EXPECT_EQ(VARIANT_FALSE, ran) << "Alt+V is no shortcut";
    onBandOpen = [&] { paste->put_Enabled(VARIANT_TRUE); };
    EXPECT_EQ(S_OK, quillet->OnKeyDown('V', 2, &ran));
    EXPECT_EQ(VARIANT_TRUE, ran);
    EXPECT_EQ((std::vector<std::wstring>{Opened + L"EditMenu", Clicked + L"Paste"}), events);

    // A key member handles its own failures: a call without a place for the
    // answer goes to the component's log, and the shortcuts still work.
    const testing_support::ExceptionLogMark log;
    EXPECT_EQ(S_OK, quillet->OnKeyDown('V', 2, nullptr));
    EXPECT_EQ(log.Appended(), (std::vector<testing_support::LoggedFailure>{
                                  {L"5", L"Invalid procedure call or argument", L"Quillet.OnKeyDown"}}));
    events.clear();
    EXPECT_EQ(S_OK, quillet->OnKeyDown('V', 2, &ran));
    EXPECT_EQ(VARIANT_TRUE, ran);
    EXPECT_EQ(std::vector<std::wstring>{Clicked + L"Paste"}, events);

    const HMENU file = SubMenu(0);
    onBandOpen = nullptr;
    Send(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    ASSERT_EQ(3, ::GetMenuItemCount(file)) << "Open, the group's separator, Save";
    const LPARAM fileMenuHandle = reinterpret_cast<LPARAM>(file);
    EXPECT_EQ(MAKELRESULT(0, MNC_EXECUTE), Send(WM_MENUCHAR, MAKEWPARAM('o', MF_POPUP), fileMenuHandle));
    EXPECT_EQ(MAKELRESULT(2, MNC_SELECT), Send(WM_MENUCHAR, MAKEWPARAM('s', MF_POPUP), fileMenuHandle))
        << "a disabled tool is selected, never chosen";
    EXPECT_EQ(0, Send(WM_MENUCHAR, MAKEWPARAM('s', 0), fileMenuHandle)) << "a pop-up answers only as a pop-up";

    events.clear();
    Send(WM_MENUSELECT, MAKEWPARAM(9, 0), fileMenuHandle);
    Send(WM_MENUSELECT, MAKEWPARAM(0, MF_POPUP), reinterpret_cast<LPARAM>(::GetMenu(window)));
    EXPECT_EQ((std::vector<std::wstring>{std::to_wstring(HighlightEventId) + L":Save",
                                         std::to_wstring(HighlightEventId) + L":File"}),
              events);
}

TEST_F(QuilletTest, PopupChosenByItsAcceleratorOrDismissedReleasesItsMenu) {
    auto popup = AddBand(L"Tray", qlBandPopup);
    AddTool(popup.Get(), {21, L"Restore", L"&Restore"});
    AddTool(popup.Get(), {22, L"Quit", L"&Quit", {}, {}, true, true});
    LONG command = -1;
    EXPECT_EQ(platform::ToHResult(platform::errors::InvalidProcedureCall), popup->PopupMenu(-1, -1, &command));
    EXPECT_EQ(L"Band.PopupMenu", ErrorSource());
    ASSERT_EQ(S_OK, quillet->Attach(reinterpret_cast<LONG_PTR>(window)));

    LONG left = 0;
    onBandOpen = [&] { popup->get_Left(&left); };
    int exits = g_exitMenuLoops;
    {
        testing_support::MenuKeyboard keys({testing_support::Typed(L'q')});
        ASSERT_EQ(S_OK, popup->PopupMenu(40, 40, &command));
        EXPECT_TRUE(keys.Worked());
    }
    const int exitsWhenChosen = g_exitMenuLoops - exits;
    EXPECT_EQ(22, command);
    EXPECT_EQ(40, left) << "Left is the position while the menu is open";
    EXPECT_EQ(Clicked + L"Quit", events.back());

    exits = g_exitMenuLoops;
    events.clear();
    {
        testing_support::MenuKeyboard keys({testing_support::KeyDown(VK_ESCAPE)});
        ASSERT_EQ(S_OK, popup->PopupMenu(-1, -1, &command));
    }
    EXPECT_EQ(0, command);
    EXPECT_EQ(-1, left) << "at the cursor, Left reads -1";
    EXPECT_EQ(exitsWhenChosen, g_exitMenuLoops - exits) << "a dismissed menu still ends the menu loop";
    VARIANT_BOOL visible = VARIANT_TRUE;
    popup->get_Visible(&visible);
    EXPECT_EQ(VARIANT_FALSE, visible) << "and gives its use of the menu back";
    for (const auto& event : events) EXPECT_NE(0u, event.rfind(Clicked, 0)) << event;
}

TEST_F(QuilletTest, HotKeysImageListAndVersion) {
    LONG id = -1;
    EXPECT_TRUE(FAILED(quillet->SetHotKey(VK_F9, qlHotkeyModifierCtrl, &id)));
    EXPECT_EQ(L"Quillet.SetHotKey", ErrorSource());
    ASSERT_EQ(S_OK, quillet->Attach(reinterpret_cast<LONG_PTR>(window)));
    const auto modifiers = static_cast<QLHotKeyModifiers>(qlHotkeyModifierCtrl | qlHotkeyModifierAlt);
    ASSERT_EQ(S_OK, quillet->SetHotKey(VK_F9, modifiers, &id));
    ASSERT_NE(0, id);
    LONG twice = -1;
    EXPECT_EQ(S_OK, quillet->SetHotKey(VK_F9, modifiers, &twice));
    EXPECT_EQ(0, twice) << "a combination already held is refused";

    std::vector<LONG> pressed;
    sink->On(HotKeyPressedEventId, [&](const DISPPARAMS& params) {
        for (UINT i = 0; i < 3; ++i) pressed.push_back(EventArgument(params, i).lVal);
    });
    Send(WM_HOTKEY, static_cast<WPARAM>(id), MAKELPARAM(MOD_CONTROL | MOD_ALT, VK_F9));
    EXPECT_EQ((std::vector<LONG>{id, VK_F9, MOD_CONTROL | MOD_ALT}), pressed);
    EXPECT_EQ(S_OK, quillet->ClearHotKey(id));
    EXPECT_EQ(S_OK, quillet->SetHotKey(VK_F9, modifiers, &id));
    EXPECT_NE(0, id) << "a cleared combination can be registered again";
    quillet->ClearHotKey(id);

    Variant read;
    VARIANT small{};
    small.vt = VT_I2;
    small.iVal = 0x1234;
    ASSERT_EQ(S_OK, quillet->put_ImageList(small));
    quillet->get_ImageList(read.put());
    EXPECT_EQ(VT_I4, read.get().vt);
    EXPECT_EQ(0x1234, read.get().lVal);
    constexpr int64_t WideHandle = 0x123456789A;
    ASSERT_EQ(S_OK, quillet->put_ImageList(Variant::FromInt64(WideHandle).get()));
    quillet->get_ImageList(read.put());
    EXPECT_EQ(VT_I8, read.get().vt) << "a pointer-sized handle is kept whole";
    EXPECT_EQ(WideHandle, read.get().llVal);
    EXPECT_TRUE(FAILED(quillet->put_ImageList(Variant::FromText(L"images").get())));
    EXPECT_EQ(L"Quillet.ImageList", ErrorSource());
    EXPECT_TRUE(FAILED(quillet->putref_ImageList(Variant::FromObject(bands.Get()).get())));
    EXPECT_EQ(L"Quillet.ImageList", ErrorSource());
    VARIANT nothing{};
    nothing.vt = VT_DISPATCH;
    ASSERT_EQ(S_OK, quillet->putref_ImageList(nothing));
    quillet->get_ImageList(read.put());
    EXPECT_EQ(0, read.get().lVal);

    Bstr version;
    quillet->get_Version(version.put());
    EXPECT_EQ(L"1.5 (Build 0081)", version.Text());
}

TEST_F(QuilletTest, ItemsAreMeasuredAndDrawnThroughTheHostsHandlers) {
    auto popup = AddBand(L"Tray", qlBandPopup);
    auto tool = AddTool(popup.Get(), {31, L"Custom", L"Custom"});
    tool->put_AllowCustomDraw(VARIANT_TRUE);
    ASSERT_EQ(S_OK, quillet->Attach(reinterpret_cast<LONG_PTR>(window)));
    LONG_PTR menu = 0;
    ASSERT_EQ(S_OK, popup->Create(&menu));
    constexpr LONG HostWidth = 123;
    sink->On(CustomMeasureEventId, [&](const DISPPARAMS& params) { *EventArgument(params, 1).plVal = HostWidth; });
    bool drawAsked = false;
    sink->On(CustomDrawEventId, [&](const DISPPARAMS& params) {
        drawAsked = true;
        *EventArgument(params, 8).pboolVal = VARIANT_TRUE;
    });

    MENUITEMINFOW data{};
    data.cbSize = sizeof data;
    data.fMask = MIIM_DATA;
    ASSERT_TRUE(::GetMenuItemInfoW(reinterpret_cast<HMENU>(menu), 31, FALSE, &data));
    const ULONG_PTR itemData = data.dwItemData;
    MEASUREITEMSTRUCT measure{ODT_MENU, 0, 31, 0, 0, itemData};
    EXPECT_EQ(TRUE, Send(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)));
    EXPECT_EQ(static_cast<UINT>(HostWidth), measure.itemWidth);
    EXPECT_GT(measure.itemHeight, 0u);

    const HDC screen = ::GetDC(window);
    DRAWITEMSTRUCT draw{ODT_MENU, 0, 31, ODA_DRAWENTIRE, 0, reinterpret_cast<HWND>(menu), screen,
                        {3, 3, 3 + HostWidth, 3 + static_cast<LONG>(measure.itemHeight)}, itemData};
    EXPECT_EQ(TRUE, Send(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)));
    ::ReleaseDC(window, screen);
    EXPECT_TRUE(drawAsked);
    LONG width = 0;
    tool->get_Width(&width);
    EXPECT_EQ(HostWidth, width) << "the tool keeps the rectangle it was drawn in";

    MEASUREITEMSTRUCT stranger{ODT_MENU, 0, 99, 0, 0, itemData};
    EXPECT_EQ(FALSE, Send(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&stranger))) << "no tool: passed on";
    MEASUREITEMSTRUCT foreign{ODT_MENU, 0, 31, 0, 0, static_cast<ULONG_PTR>(menu)};
    EXPECT_EQ(FALSE, Send(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&foreign)))
        << "item data that is none of the band's records is never read";
    popup->Destroy();

    // A tool the host keeps outlives the object that made it.
    connection.Disconnect();
    quillet.Reset();
    bands.Reset();
    ComPtr<_Band> parent;
    EXPECT_EQ(S_OK, tool->get_Parent(&parent));
    EXPECT_FALSE(parent);
    Send(WM_COMMAND, 31, 0);
}

// A list placed under its headers tool by tool, as a host lists windows by
// group, keeps one order in the collection, in the lookups by identifier and
// in the native menu, however its tools were moved, hidden or renumbered.
TEST_F(QuilletTest, ToolsPlacedUnderTheirHeadersKeepOneOrderInTheCollectionTheLookupsAndTheMenu) {
    ASSERT_EQ(S_OK, quillet->Attach(reinterpret_cast<LONG_PTR>(window)));
    auto list = AddBand(L"List", qlBandPopup);
    ComPtr<_Tools> tools;
    list->get_Tools(&tools);
    auto names = [&] {
        std::vector<std::wstring> found;
        LONG count = 0;
        tools->get_Count(&count);
        for (LONG position = 1; position <= count; ++position) {
            ComPtr<_Tool> tool;
            tools->Item(Variant::FromInt32(position).get(), &tool);
            Bstr name;
            if (tool) tool->get_Name(name.put());
            found.push_back(name.Text());
        }
        return found;
    };
    auto move = [&](const VARIANT& tool, const VARIANT& before, const VARIANT& after) {
        EXPECT_EQ(S_OK, tools->Move(tool, before, after));
    };
    const Variant none;
    AddTool(list.Get(), {902, L"A", L"Group A"});
    AddTool(list.Get(), {903, L"B", L"Group B"});
    std::vector<std::wstring> underA, underB;
    for (int n = 1; n <= 30; ++n) {
        const std::wstring name = std::to_wstring(n) + L"W";
        AddTool(list.Get(), {1000 + n, name, L"Window " + std::to_wstring(n)});
        const bool inB = n % 3 == 0;
        move(Variant::FromText(name).get(), none.get(), Variant::FromText(inB ? L"b" : L"a").get());
        auto& group = inB ? underB : underA;
        group.insert(group.begin(), name);
    }
    // Nothing goes before the hidden separator tool, which stays first; a
    // tool named by its position moves as well as one named by its key.
    move(Variant::FromText(L"3W").get(), Variant::FromText(L"-").get(), none.get());
    move(Variant::FromText(L"-").get(), none.get(), Variant::FromText(L"B").get());
    move(Variant::FromInt32(3).get(), Variant::FromText(L"B").get(), none.get());
    underA.push_back(underA.front());
    underA.erase(underA.begin());
    std::vector<std::wstring> expected{L"-", L"A"};
    expected.insert(expected.end(), underA.begin(), underA.end());
    expected.push_back(L"B");
    expected.insert(expected.end(), underB.begin(), underB.end());
    EXPECT_EQ(names(), expected);

    // Lookups by identifier follow visibility, renumbering and a twin.
    ComPtr<_Tool> hidden, renumbered;
    tools->Item(Variant::FromText(L"5W").get(), &hidden);
    tools->Item(Variant::FromText(L"7W").get(), &renumbered);
    auto nameOfId = [&](LONG id) {
        ComPtr<_Tool> tool;
        tools->GetToolFromID(id, &tool);
        Bstr name;
        if (tool) tool->get_Name(name.put());
        return name.Text();
    };
    EXPECT_EQ(nameOfId(1005), L"5W");
    hidden->put_Visible(VARIANT_FALSE);
    renumbered->put_ID(2000);
    AddTool(list.Get(), {1010, L"Twin", L"Twin of 10"});
    EXPECT_EQ(nameOfId(1005), L"");
    EXPECT_EQ(nameOfId(1007), L"");
    EXPECT_EQ(nameOfId(2000), L"7W");
    EXPECT_EQ(nameOfId(1010), L"10W") << "the first in the collection's order";

    // The menu holds the visible tools in that order; the twin goes just before its namesake.
    LONG_PTR created = 0;
    ASSERT_EQ(S_OK, list->Create(&created));
    const HMENU menu = reinterpret_cast<HMENU>(created);
    std::vector<UINT> wanted;
    for (const std::wstring& name : expected) {
        if (name == L"-" || name == L"5W") continue;
        if (name == L"10W") wanted.push_back(1010);
        wanted.push_back(name == L"A" ? 902 : name == L"B" ? 903 : name == L"7W" ? 2000 : 1000 + std::stoi(name));
    }
    std::vector<UINT> items;
    for (int position = 0; position < ::GetMenuItemCount(menu); ++position)
        items.push_back(::GetMenuItemID(menu, position));
    EXPECT_EQ(items, wanted);
    list->Destroy();

    // Removed by key and by position, the rest keep their order.
    EXPECT_EQ(S_OK, tools->Remove(Variant::FromText(L"twin").get()));
    EXPECT_EQ(S_OK, tools->Remove(Variant::FromInt32(2).get()));
    EXPECT_EQ(S_OK, tools->Remove(Variant::FromInt32(1).get()));
    expected.erase(expected.begin() + 1);
    EXPECT_EQ(names(), expected);
    EXPECT_EQ(nameOfId(902), L"");
    EXPECT_EQ(nameOfId(1010), L"10W");
}

}  // namespace
