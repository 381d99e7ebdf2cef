// Quillet.dll as its clients get it: loaded by path and asked for its class
// object, registered per user and per machine, created by ProgID, its menus
// worked by keys on a window of this process, its hot keys pressed on the X
// display, and called late bound from a script.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "ComClient.h"
#include "ComError.h"
#include "ComPtr.h"
#include "ComponentServer.h"
#include "Handles.h"
#include "HotKeyHolder.h"
#include "EventLog.h"
#include "MenuKeyboard.h"
#include "QuilletInterfaces.h"
#include "ScratchRegistry.h"
#include "Strings.h"
#include "Variant.h"
#include "Wait.h"
#include "Xdotool.h"

using platform::Bstr;
using platform::ComPtr;
using namespace testing_support;
using Lines = std::vector<std::wstring>;

namespace {

const ComponentDll& Server() {
    static const ComponentDll dll(L"Quillet.dll");
    return dll;
}

const RegisteredClass Classes[] = {{&CLSID_Quillet, L"Quillet.Quillet"}};
const std::wstring ProgId = L"Quillet.Quillet";
const std::wstring Version = L"1.5 (Build 0081)";

// The failure a call reported through its result and error information.
platform::Error FailureOf(HRESULT hr) {
    try {
        platform::ThrowIfFailed(hr, L"");
    } catch (const platform::Error& failure) {
        return failure;
    }
    return platform::Error(0, L"the call succeeded");
}

std::wstring NameOf(_Band* band) {
    Bstr name;
    EXPECT_EQ(band->get_Name(name.put()), S_OK);
    return name.Text();
}

// --- menus built as a client builds them, early bound ------------------------------------

VARIANT Missing() {
    VARIANT missing;
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    return missing;
}

ComPtr<_Band> AddBand(_Quillet* quillet, const wchar_t* name, QLBandStyle style = qlBandPopup) {
    ComPtr<_Bands> bands;
    ComPtr<_Band> band;
    EXPECT_EQ(quillet->get_Bands(&bands), S_OK);
    if (bands) {
        EXPECT_EQ(bands->Add(Bstr(name).get(), style, Missing(), VARIANT_TRUE, VARIANT_FALSE, VARIANT_TRUE, &band), S_OK);
    }
    return band;
}

struct ToolSpec {
    LONG id;
    const wchar_t* name;
    const wchar_t* caption = L"";
    const wchar_t* shortcut = L"";
    const wchar_t* subBand = L"";
    bool beginGroup = false;
    bool enabled = true;
};

constexpr LONG NoIcon = -1;
constexpr auto StyleOfBand = static_cast<QLToolStyle>(0);

ComPtr<_Tool> AddTool(_Band* band, const ToolSpec& spec) {
    ComPtr<_Tools> tools;
    ComPtr<_Tool> tool;
    EXPECT_EQ(band->get_Tools(&tools), S_OK);
    if (tools) {
        EXPECT_EQ(tools->Add(spec.id, Bstr(spec.name).get(), Bstr(spec.caption).get(), NoIcon, StyleOfBand,
                             Bstr(spec.shortcut).get(), platform::ToVariantBool(spec.beginGroup), VARIANT_FALSE,
                             VARIANT_FALSE, Bstr(L"").get(), Bstr(spec.subBand).get(), VARIANT_TRUE, VARIANT_FALSE,
                             platform::ToVariantBool(spec.enabled), VARIANT_TRUE, &tool),
                  S_OK);
    }
    return tool;
}

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Server().Loaded()) << "cannot load " << platform::Narrow(Server().Path()); }
};

}  // namespace

// --- loaded by path, without registration --------------------------------------------

TEST_F(ServerTest, HandsOutQuilletObjectsAndNoOtherClass) {
    for (const CLSID* refused : {&CLSID_Bands, &CLSID_Band, &CLSID_Tools, &CLSID_Tool, &CLSID_Banners, &CLSID_Banner,
                                 &IID__Quillet}) {
        void* object = &object;
        EXPECT_EQ(Server().GetClassObject(*refused, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE)
            << platform::Narrow(GuidText(*refused));
        EXPECT_EQ(object, nullptr);
    }
    auto factory = Server().Factory(CLSID_Quillet);
    ASSERT_TRUE(factory);
    void* object = &object;
    EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);

    ComPtr<_Quillet> quillet;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID__Quillet, reinterpret_cast<void**>(&quillet)), S_OK);
    Bstr version;
    EXPECT_EQ(quillet->get_Version(version.put()), S_OK);
    EXPECT_EQ(version.Text(), Version);
    LONG_PTR window = -1;
    EXPECT_EQ(quillet->get_hWnd(&window), S_OK);
    EXPECT_EQ(window, 0);
    // Sinks connect to the event interface through the object's connection point.
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(quillet.As(&container), S_OK);
    ComPtr<IConnectionPoint> events;
    EXPECT_EQ(container->FindConnectionPoint(DIID___Quillet, &events), S_OK);
}

TEST_F(ServerTest, CanUnloadOnlyWhenNothingOfItLives) {
    ASSERT_EQ(Server().CanUnloadNow(), S_OK) << "something of an earlier test is still alive";
    auto factory = Server().Factory(CLSID_Quillet);
    ASSERT_TRUE(factory);
    EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
    ComPtr<_Quillet> quillet;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID__Quillet, reinterpret_cast<void**>(&quillet)), S_OK);
    factory.Reset();
    EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);

    // A tool a client keeps outlives the object it was made in, and keeps the module.
    auto band = AddBand(quillet.Get(), L"Main");
    ASSERT_TRUE(band);
    auto tool = AddTool(band.Get(), {.id = 7, .name = L"Open", .caption = L"&Open"});
    ASSERT_TRUE(tool);
    band.Reset();
    quillet.Reset();
    EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
    Bstr caption;
    EXPECT_EQ(tool->get_Caption(caption.put()), S_OK);
    EXPECT_EQ(caption.Text(), L"&Open");
    // Its band went with the object: the way back must not lead into freed memory.
    ComPtr<_Band> parent;
    if (SUCCEEDED(tool->get_Parent(&parent)) && parent) {
        EXPECT_EQ(NameOf(parent.Get()), L"Main");
    }
    parent.Reset();
    tool.Reset();
    EXPECT_EQ(Server().CanUnloadNow(), S_OK);

    Server().Factory(CLSID_Quillet)->LockServer(TRUE);
    EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
    Server().Factory(CLSID_Quillet)->LockServer(FALSE);
    EXPECT_EQ(Server().CanUnloadNow(), S_OK);
}

// --- registration ------------------------------------------------------------------------

TEST_F(ServerTest, RegistrationPerUserAndPerMachineComesAndGoes) {
    ScratchRegistry scratch;  // this process's user and machine hives are scratch keys now

    // Not fatal: whatever got registered must be unregistered below.
    EXPECT_EQ(Server().RegisterServer(), S_OK);
    ExpectClassKeys(HKEY_CURRENT_USER, Classes, LIBID_QuilletLib, Server().Path(), true);
    ExpectClassKeys(HKEY_LOCAL_MACHINE, Classes, LIBID_QuilletLib, Server().Path(), false);
    EXPECT_TRUE(TypeLibRegistered(LIBID_QuilletLib));
    EXPECT_EQ(Server().UnregisterServer(), S_OK);
    ExpectClassKeys(HKEY_CURRENT_USER, Classes, LIBID_QuilletLib, Server().Path(), false);
    EXPECT_FALSE(TypeLibRegistered(LIBID_QuilletLib));

    EXPECT_EQ(Server().Install(TRUE, L"machine"), S_OK);
    ExpectClassKeys(HKEY_LOCAL_MACHINE, Classes, LIBID_QuilletLib, Server().Path(), true);
    ExpectClassKeys(HKEY_CURRENT_USER, Classes, LIBID_QuilletLib, Server().Path(), false);
    EXPECT_TRUE(TypeLibRegistered(LIBID_QuilletLib));
    EXPECT_EQ(Server().Install(FALSE, L"machine"), S_OK);
    ExpectClassKeys(HKEY_LOCAL_MACHINE, Classes, LIBID_QuilletLib, Server().Path(), false);
    EXPECT_FALSE(TypeLibRegistered(LIBID_QuilletLib));
    // Nothing left to remove is no failure.
    EXPECT_EQ(Server().UnregisterServer(), S_OK);
}

namespace {

// Registered for the machine in the prefix's real hive (the only one Wine's
// activation reads); whatever happens, it ends unregistered.
class RegisteredForMachine : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        ASSERT_EQ(Server().Install(TRUE, L"machine"), S_OK);
    }
    void TearDown() override { Server().Install(FALSE, L"machine"); }
};

}  // namespace

TEST_F(RegisteredForMachine, CreatedByProgIdUntilUnregistered) {
    ExpectClassKeys(HKEY_LOCAL_MACHINE, Classes, LIBID_QuilletLib, Server().Path(), true);
    const std::wstring library = ClassesKey + L"TypeLib\\" + GuidText(LIBID_QuilletLib);
    EXPECT_TRUE(
        platform::EqualsNoCase(ReadValue(HKEY_LOCAL_MACHINE, library + L"\\1.0\\0\\win64", L"").text, Server().Path()));
    const std::wstring dualInterface = ClassesKey + L"Interface\\" + GuidText(IID__Band);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, dualInterface + L"\\TypeLib", L"").text, GuidText(LIBID_QuilletLib));

    CLSID clsid{};
    ASSERT_EQ(::CLSIDFromProgID(ProgId.c_str(), &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Quillet);
    ComPtr<_Quillet> quillet;
    ASSERT_EQ(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__Quillet, reinterpret_cast<void**>(&quillet)),
              S_OK);
    Bstr version;
    EXPECT_EQ(quillet->get_Version(version.put()), S_OK);
    EXPECT_EQ(version.Text(), Version);
    quillet.Reset();

    ASSERT_EQ(Server().Install(FALSE, L"machine"), S_OK);
    ExpectClassKeys(HKEY_LOCAL_MACHINE, Classes, LIBID_QuilletLib, Server().Path(), false);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, library));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, dualInterface));
    EXPECT_TRUE(FAILED(::CLSIDFromProgID(ProgId.c_str(), &clsid)));
}

TEST_F(RegisteredForMachine, ScriptBuildsAndReadsMenusLateBound) { EXPECT_GT(RunScriptClient(L"QuilletAutomation.vbs"), 0); }

// --- on a window of this process ----------------------------------------------------------

namespace {

constexpr wchar_t HostClass[] = L"PelkinQuilletHost";
constexpr int HostLeft = 100, HostTop = 100, HostWidth = 400, HostHeight = 300;
constexpr int ButtonLeft = 10, ButtonTop = 10, ButtonWidth = 80, ButtonHeight = 24;
constexpr LONG ZoomId = 311;  // the button's control ID is a tool's ID too
constexpr size_t VirtualKeys = 256;

// What reached the host window's own procedure, below the component.
struct HostRecord {
    int commands = 0;
    std::array<int, VirtualKeys> keyReleases{};
};
HostRecord g_host;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_COMMAND) ++g_host.commands;
    if (message == WM_KEYUP && wParam < VirtualKeys) ++g_host.keyReleases[wParam];
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// A visible top-level window of this thread, with a push button.
class HostWindow {
public:
    HostWindow() {
        static const ATOM windowClass = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = HostProc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = HostClass;
            return ::RegisterClassW(&wc);
        }();
        g_host = HostRecord{};
        window_.reset(::CreateWindowExW(0, MAKEINTATOM(windowClass), L"Quillet host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                        HostLeft, HostTop, HostWidth, HostHeight, nullptr, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr));
        button_ = ::CreateWindowExW(0, L"BUTTON", L"Zoom", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, ButtonLeft, ButtonTop,
                                    ButtonWidth, ButtonHeight, window_.get(),
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(ZoomId)), ::GetModuleHandleW(nullptr),
                                    nullptr);
    }
    HWND Handle() const noexcept { return window_.get(); }
    LONG_PTR Value() const noexcept { return reinterpret_cast<LONG_PTR>(window_.get()); }
    HWND Button() const noexcept { return button_; }

private:
    platform::UniqueWindow window_;
    HWND button_ = nullptr;  // destroyed with its parent
};

// A Quillet made from the DLL, attached to a host window, its events recorded in order.
class QuilletOnWindow : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        ASSERT_TRUE(host_.Handle() && host_.Button());
        quillet_ = Server().Create<_Quillet>(CLSID_Quillet);
        ASSERT_TRUE(quillet_);
        events_ = std::make_unique<testing_support::EventLog>(
            quillet_.Get(), DIID___Quillet,
            std::vector<std::pair<DISPID, std::wstring>>{{BandCloseEventId, L"BandClose"},
                                                         {BandOpenEventId, L"BandOpen"},
                                                         {QuilletClickEventId, L"Click"},
                                                         {HighlightEventId, L"Highlight"},
                                                         {HotKeyPressedEventId, L"HotKeyPressed"}});
        ASSERT_EQ(quillet_->Attach(host_.Value()), S_OK);
    }
    void TearDown() override {
        if (quillet_) quillet_->Detach();
        events_.reset();
        quillet_.Reset();
    }

    HostWindow host_;
    ComPtr<_Quillet> quillet_;
    std::unique_ptr<testing_support::EventLog> events_;
};

// --- pop-up menus worked by keys --------------------------------------------------------

constexpr LONG PopupX = 240, PopupY = 180;
constexpr LONG OpenId = 101, DisabledId = 102, SaveId = 103, MoreId = 104, TidyId = 201, AddedId = 202;

struct OpenBand {
    std::wstring name;
    LONG left = 0, top = 0;
    bool visible = false;
};

// The pop-up "Main": Open, Disabled (disabled), a separator, Save (beginning a
// group), More (opening the sub-band "Extra" with Tidy). Extra's BandOpen
// handler adds the tool Added to it.
class PopupMenuTest : public QuilletOnWindow {
protected:
    void SetUp() override {
        QuilletOnWindow::SetUp();
        main_ = AddBand(quillet_.Get(), L"Main");
        extra_ = AddBand(quillet_.Get(), L"Extra");
        ASSERT_TRUE(main_ && extra_);
        for (const ToolSpec& tool : {ToolSpec{.id = OpenId, .name = L"Open", .caption = L"&Open"},
                                     ToolSpec{.id = DisabledId, .name = L"Disabled", .caption = L"&Disabled",
                                              .enabled = false},
                                     ToolSpec{.id = SaveId, .name = L"Save", .caption = L"Save && &Close",
                                              .beginGroup = true},
                                     ToolSpec{.id = MoreId, .name = L"More", .caption = L"&More", .subBand = L"Extra"}})
            ASSERT_TRUE(AddTool(main_.Get(), tool));
        ASSERT_TRUE(AddTool(extra_.Get(), {.id = TidyId, .name = L"Tidy", .caption = L"&Tidy"}));
        events_->OnEvent(L"BandOpen", [this] { BandOpened(); });
    }

    void BandOpened() {
        const std::wstring& line = events_->Lines().back();
        _Band* band = line == L"BandOpen Main" ? main_.Get() : line == L"BandOpen Extra" ? extra_.Get() : nullptr;
        if (!band) return;
        OpenBand seen{NameOf(band)};
        VARIANT_BOOL visible = VARIANT_FALSE;
        EXPECT_EQ(band->get_Left(&seen.left), S_OK);
        EXPECT_EQ(band->get_Top(&seen.top), S_OK);
        EXPECT_EQ(band->get_Visible(&visible), S_OK);
        seen.visible = visible != VARIANT_FALSE;
        opened_.push_back(seen);
        // From the second opening on, the name is taken: no tool, and no error.
        if (band == extra_.Get()) AddTool(band, {.id = AddedId, .name = L"Added", .caption = L"&Added"});
    }

    // Shows the band at (PopupX, PopupY), works it with the keys and answers the chosen command.
    LONG Popup(_Band* band, std::vector<MenuKey> keys) {
        MenuKeyboard keyboard(std::move(keys));
        LONG command = -1;
        EXPECT_EQ(band->PopupMenu(PopupX, PopupY, &command), S_OK);
        EXPECT_TRUE(keyboard.Worked()) << "the menu did not come, or did not close on the keys";
        return command;
    }

    // Where the band was while it was open, as its BandOpen handler read it.
    void ExpectShownAtThePoint(const OpenBand& seen, const wchar_t* name) {
        EXPECT_EQ(seen.name, name);
        EXPECT_EQ(seen.left, PopupX);
        EXPECT_EQ(seen.top, PopupY);
        EXPECT_TRUE(seen.visible);
    }

    // A closed pop-up is back at 0, 0 and not shown.
    static void ExpectClosed(_Band* band) {
        LONG left = -1, top = -1;
        VARIANT_BOOL visible = VARIANT_TRUE;
        EXPECT_EQ(band->get_Left(&left), S_OK);
        EXPECT_EQ(band->get_Top(&top), S_OK);
        EXPECT_EQ(band->get_Visible(&visible), S_OK);
        EXPECT_EQ(left, 0);
        EXPECT_EQ(top, 0);
        EXPECT_EQ(visible, VARIANT_FALSE);
    }

    ComPtr<_Band> main_, extra_;
    std::vector<OpenBand> opened_;
};

}  // namespace

TEST_F(PopupMenuTest, ChosenWithArrowKeysAndEnter) {
    // Down passes over the disabled tool and skips the group's separator.
    EXPECT_EQ(Popup(main_.Get(), {KeyDown(VK_DOWN), KeyDown(VK_DOWN), KeyDown(VK_DOWN), KeyDown(VK_RETURN)}), SaveId);
    // The menu has closed by the time PopupMenu reports the choice.
    EXPECT_EQ(events_->Lines(), (Lines{L"BandOpen Main", L"Highlight Open", L"Highlight Disabled", L"Highlight Save",
                                       L"BandClose Main", L"Click Save"}));
    ASSERT_EQ(opened_.size(), 1u);
    ExpectShownAtThePoint(opened_[0], L"Main");
    ExpectClosed(main_.Get());
}

TEST_F(PopupMenuTest, ChosenByAcceleratorLetters) {
    // "Save && &Close", after the separator, is chosen by its C in any case.
    // (Wine matches the letters of owner-drawn items itself and ends the menu
    // on a disabled item's letter, so that case is not typed here.)
    EXPECT_EQ(Popup(main_.Get(), {Typed(L'c')}), SaveId);
    EXPECT_EQ(events_->Count(L"Click"), 1u);
    EXPECT_EQ(events_->Lines().back(), L"Click Save");
    EXPECT_EQ(events_->Count(L"BandClose Main"), 1u);
    ExpectClosed(main_.Get());
}

TEST_F(PopupMenuTest, DismissedWithEscapeAgainAndAgain) {
    for (int round = 1; round <= 2; ++round) {
        events_->Clear();
        opened_.clear();
        EXPECT_EQ(Popup(main_.Get(), {KeyDown(VK_DOWN), KeyDown(VK_ESCAPE)}), 0) << "round " << round;
        EXPECT_EQ(events_->Lines(), (Lines{L"BandOpen Main", L"Highlight Open", L"BandClose Main"})) << "round " << round;
        ASSERT_EQ(opened_.size(), 1u);
        ExpectShownAtThePoint(opened_[0], L"Main");
        ExpectClosed(main_.Get());
    }
}

TEST_F(PopupMenuTest, SubBandShowsWhatItsHandlerAdds) {
    // M opens the sub-band, whose handler adds a tool; A chooses that tool.
    EXPECT_EQ(Popup(main_.Get(), {Typed(L'm'), Typed(L'a')}), AddedId);
    EXPECT_EQ(events_->Lines(), (Lines{L"BandOpen Main", L"Highlight More", L"BandOpen Extra", L"Highlight Tidy",
                                       L"Highlight Added", L"BandClose Extra", L"BandClose Main", L"Click Added"}));
    ExpectClosed(main_.Get());

    // Released with the menu it was part of, the sub-band shows by itself as
    // any band does: shown while open, closed after.
    events_->Clear();
    opened_.clear();
    EXPECT_EQ(Popup(extra_.Get(), {KeyDown(VK_ESCAPE)}), 0);
    EXPECT_EQ(events_->Lines(), (Lines{L"BandOpen Extra", L"BandClose Extra"}));
    ASSERT_EQ(opened_.size(), 1u);
    ExpectShownAtThePoint(opened_[0], L"Extra");
    ExpectClosed(extra_.Get());
}

// --- commands and shortcuts ------------------------------------------------------------

namespace {
constexpr LONG HelpId = 301, ViewId = 302, GridId = 312, UnseenId = 321;
constexpr LONG ShiftBit = 1, CtrlBit = 2, AltBit = 4;
}  // namespace

TEST_F(QuilletOnWindow, CommandsAndShortcutsReachToolsOfShownBandsOnly) {
    // The band never shown comes first, so that only skipping it keeps its tool from answering.
    auto unseen = AddBand(quillet_.Get(), L"Unseen");
    auto bar = AddBand(quillet_.Get(), L"Bar", qlBandMenuBar);
    auto view = AddBand(quillet_.Get(), L"View");
    ASSERT_TRUE(bar && view && unseen);
    AddTool(bar.Get(), {.id = HelpId, .name = L"Help", .caption = L"&Help"});
    AddTool(bar.Get(), {.id = ViewId, .name = L"ViewMenu", .caption = L"&View", .subBand = L"View"});
    AddTool(view.Get(), {.id = ZoomId, .name = L"Zoom", .caption = L"&Zoom", .shortcut = L"Ctrl+Shift+F5"});
    auto grid = AddTool(view.Get(), {.id = GridId, .name = L"Grid", .caption = L"&Grid", .shortcut = L"alt+x",
                                     .enabled = false});
    AddTool(unseen.Get(), {.id = ZoomId, .name = L"Never", .caption = L"&Never", .shortcut = L"Ctrl+Shift+F5"});
    AddTool(unseen.Get(), {.id = UnseenId, .name = L"Nowhere", .caption = L"No&where"});
    ASSERT_TRUE(grid);
    ASSERT_EQ(quillet_->SetMenuBar(Bstr(L"Bar").get()), S_OK);
    EXPECT_NE(::GetMenu(host_.Handle()), nullptr);

    // A click on the child button, whose control ID is Zoom's, is the button's own command.
    ::SendMessageW(host_.Button(), BM_CLICK, 0, 0);
    EXPECT_EQ(g_host.commands, 1) << "the button's click did not reach the window";
    EXPECT_EQ(events_->Count(L"Click"), 0u);
    // Menu commands (no control), and commands the window sends itself, reach the tool.
    ::SendMessageW(host_.Handle(), WM_COMMAND, MAKEWPARAM(ZoomId, 0), 0);
    ::SendMessageW(host_.Handle(), WM_COMMAND, MAKEWPARAM(HelpId, 0), host_.Value());
    // A band that is not shown takes no command.
    ::SendMessageW(host_.Handle(), WM_COMMAND, MAKEWPARAM(UnseenId, 0), 0);
    EXPECT_EQ(events_->Lines(), (Lines{L"Click Zoom", L"Click Help"}));
    EXPECT_EQ(g_host.commands, 4) << "every command goes on to the window's own procedure";

    // Shortcuts: the shown Zoom, not the unseen band's tool with the same
    // keys; the disabled Grid once its band's handler has enabled it.
    events_->Clear();
    events_->OnEvent(L"BandOpen", [grid] { EXPECT_EQ(grid->put_Enabled(VARIANT_TRUE), S_OK); });
    VARIANT_BOOL handled = VARIANT_FALSE;
    EXPECT_EQ(quillet_->OnKeyDown(VK_F5, CtrlBit | ShiftBit, &handled), S_OK);
    EXPECT_EQ(handled, VARIANT_TRUE);
    EXPECT_EQ(quillet_->OnKeyDown('X', AltBit, &handled), S_OK);
    EXPECT_EQ(handled, VARIANT_TRUE);
    // The shift state must be the shortcut's own.
    EXPECT_EQ(quillet_->OnKeyUp('X', CtrlBit, &handled), S_OK);
    EXPECT_EQ(handled, VARIANT_FALSE);
    EXPECT_EQ(events_->Lines(), (Lines{L"Click Zoom", L"BandOpen View", L"Click Grid"}));
}

// --- hot keys ----------------------------------------------------------------------------

namespace {

constexpr UINT HotKey = VK_F11;
constexpr auto HotKeyModifiers = static_cast<QLHotKeyModifiers>(qlHotkeyModifierCtrl | qlHotkeyModifierShift);
const std::wstring HotKeyCombination = L"ctrl+shift+F11";  // as xdotool names it

std::wstring Pressed(LONG id) {
    return L"HotKeyPressed " + std::to_wstring(id) + L" " + std::to_wstring(HotKey) + L" " +
           std::to_wstring(HotKeyModifiers);
}

}  // namespace

TEST_F(QuilletOnWindow, HotKeyPressedUntilCleared) {
    LONG id = 0;
    ASSERT_EQ(quillet_->SetHotKey(HotKey, HotKeyModifiers, &id), S_OK);
    ASSERT_NE(id, 0);
    ASSERT_TRUE(PressKeys(host_.Handle(), HotKeyCombination));
    ASSERT_TRUE(WaitUntil([&] { return events_->Count(L"HotKeyPressed") > 0; })) << "the hot key never arrived";
    EXPECT_EQ(events_->Lines(), Lines{Pressed(id)});
    // The key's release comes after the hot key; the next press is told apart by it.
    ASSERT_TRUE(WaitUntil([] { return g_host.keyReleases[HotKey] == 1; }));

    // Cleared, the combination is an ordinary key press of the window again.
    EXPECT_EQ(quillet_->ClearHotKey(id), S_OK);
    ASSERT_TRUE(PressKeys(host_.Handle(), HotKeyCombination));
    ASSERT_TRUE(WaitUntil([] { return g_host.keyReleases[HotKey] == 2; })) << "the second press never arrived";
    EXPECT_EQ(events_->Lines(), Lines{Pressed(id)});
}

TEST_F(QuilletOnWindow, HotKeyHeldByAnotherProgramIsRefused) {
    HotKeyHolder holder(HotKey, HotKeyModifiers);
    ASSERT_TRUE(holder.Held()) << "the other program has no hot key";

    LONG id = -1;
    EXPECT_EQ(quillet_->SetHotKey(HotKey, HotKeyModifiers, &id), S_OK);
    EXPECT_EQ(id, 0);

    // Once the other program has gone, the combination is free for this one.
    holder.Release();
    EXPECT_TRUE(WaitUntil([&] { return SUCCEEDED(quillet_->SetHotKey(HotKey, HotKeyModifiers, &id)) && id != 0; }));
    EXPECT_EQ(quillet_->ClearHotKey(id), S_OK);
}

TEST_F(ServerTest, HotKeysAndPopupsNeedAnAttachedWindow) {
    auto quillet = Server().Create<_Quillet>(CLSID_Quillet);
    ASSERT_TRUE(quillet);
    LONG id = -1;
    const platform::Error hotKey = FailureOf(quillet->SetHotKey(HotKey, HotKeyModifiers, &id));
    EXPECT_EQ(hotKey.Number(), platform::errors::InvalidProcedureCall);
    EXPECT_EQ(hotKey.Source(), L"Quillet.SetHotKey");

    auto band = AddBand(quillet.Get(), L"Main");
    ASSERT_TRUE(band);
    AddTool(band.Get(), {.id = OpenId, .name = L"Open", .caption = L"&Open"});
    LONG command = -1;
    const platform::Error popup = FailureOf(band->PopupMenu(PopupX, PopupY, &command));
    EXPECT_EQ(popup.Number(), platform::errors::InvalidProcedureCall);
    EXPECT_EQ(popup.Source(), L"Band.PopupMenu");
    VARIANT_BOOL visible = VARIANT_TRUE;
    EXPECT_EQ(band->get_Visible(&visible), S_OK);
    EXPECT_EQ(visible, VARIANT_FALSE);
}
