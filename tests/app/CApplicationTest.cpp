// The option model and the start-up and teardown of the application object,
// in-process, against a scratch registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "AutoStartModule.h"
#include "CApplication.h"
#include "Dialogs.h"
#include "FakeTray.h"
#include "Process.h"
#include "ErrorModule.h"
#include "ExceptionLog.h"
#include "Guard.h"
#include "MainModule.h"
#include "WindowLists.h"
#include "WindowModule.h"
#include "ScratchRegistry.h"
#include "Strings.h"
#include "frmMain.h"

#include <shellapi.h>

using namespace testing_support;

namespace {

const std::wstring ProgramKey = L"Software\\Pelkin!";
const std::wstring OptionsKey = ProgramKey + L"\\Options";
const std::wstring ConfirmationKey = OptionsKey + L"\\Confirmation";
const std::wstring MouseKey = OptionsKey + L"\\Mouse";
const std::wstring MenusKey = OptionsKey + L"\\Menus";
const std::wstring SwitcherKey = ProgramKey + L"\\Switcher";
const std::wstring RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct EventLog : IApplicationEvents {
    std::vector<std::wstring> seen;
    void EnableChange(bool enabled) override { seen.push_back(L"EnableChange " + std::to_wstring(enabled)); }
    void IntervalChange(int32_t interval) override { seen.push_back(L"IntervalChange " + std::to_wstring(interval)); }
    void MenuOptionsChange(bool ownerDraw, int32_t highlight) override {
        seen.push_back(L"MenuOptionsChange " + std::to_wstring(ownerDraw) + L" " + std::to_wstring(highlight));
    }
};

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream file(platform::Narrow(path), std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

class CApplicationTest : public ::testing::Test {
protected:
    // Starts the application the way the program does, through its main window.
    std::shared_ptr<CApplication> Start() {
        form_ = std::make_unique<frmMain>();
        started_ = form_->Initialize();
        return TheApp;
    }

    void TearDown() override {
        if (form_) form_->Close(frmMain::UnloadMode::WindowsShutdown);
        form_.reset();
        TheApp.reset();
    }

    ScratchRegistry registry_;
    std::unique_ptr<frmMain> form_;
    bool started_ = true;
};

TEST_F(CApplicationTest, EmptyKeyLoadsEveryDefault) {
    auto app = Start();
    ASSERT_TRUE(app);
    EXPECT_FALSE(started_) << "no rule could be loaded";
    EXPECT_EQ(MessageTimeout, 500);
    EXPECT_EQ(IconCacheRefreshInterval, 100);
    EXPECT_FALSE(app->Enabled()) << "runs disabled without rules";
    EXPECT_FALSE(app->EditMode());
    EXPECT_EQ(app->HideIcon(), 0);
    EXPECT_EQ(app->AutoStart(), 0);
    EXPECT_EQ(app->Interval(), 20);
    EXPECT_TRUE(app->WizardStyle());
    EXPECT_TRUE(app->RuleOptions(SearchTopLevelWindowsOnly));
    EXPECT_FALSE(app->RuleOptions(SearchUnwatchedWindowsOnly));
    EXPECT_TRUE(app->RuleOptions(SearchVisibleWindowsOnly));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(app->Confirmations(i)) << i;
    const int32_t mainDefaults[] = {0, 1, 2, 0};
    const int32_t windowDefaults[] = {1, 0, 2, 0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(app->MouseOptionsMain(i), mainDefaults[i]) << i;
        EXPECT_EQ(app->MouseOptionsWindow(i), windowDefaults[i]) << i;
    }
    EXPECT_TRUE(app->Switcher());
    EXPECT_EQ(app->SwitcherHotkey(), 9);
    EXPECT_EQ(app->SwitcherHotkeyModifiers(), 2);
    EXPECT_TRUE(app->SwitcherOptions(SwitcherAltTabMode));
    EXPECT_TRUE(app->SwitcherOptions(SwitcherShowCancel));
    EXPECT_EQ(app->WindowTitleLength(), 0);
    EXPECT_TRUE(app->MenuBanner());
    EXPECT_EQ(app->MenuHighlight(), 1);
    EXPECT_TRUE(app->MenuOwnerDraw());
    const bool menuDefaults[] = {true, false, true, true};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(app->MenuOptions(i), menuDefaults[i]) << i;
    EXPECT_EQ(app->Version(), L"1.5 (Build 0337)");

    // The main window's images and what the application takes from them.
    EXPECT_EQ(app->WindowIconBase(), 6);
    EXPECT_EQ(form_->ImageIndex(L"windows"), 0);
    EXPECT_EQ(form_->ImageIndex(L"PKSmallDisabled"), 5);
    EXPECT_EQ(form_->ImageIndex(L"Missing"), -1);
    EXPECT_NE(app->EnabledIcon(), nullptr);
    EXPECT_NE(app->DisabledIcon(), nullptr);
    EXPECT_NE(app->DefaultWindowIcon(), nullptr);
    EXPECT_EQ(MainWindowHandle, form_->hWnd());
    wchar_t caption[64] = {};
    ::GetWindowTextW(form_->hWnd(), caption, 64);
    EXPECT_STREQ(caption, L"Pelkin!Main");
    EXPECT_FALSE(::IsWindowVisible(form_->hWnd()));
}

// Draws one image of the main window's list over white and reports how many
// pixels it covered and how colourful they are.
struct ImageStats {
    int covered = 0;
    int saturated = 0;
};
ImageStats DrawImage(HIMAGELIST images, int index) {
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    platform::WindowDC screen(nullptr);
    platform::UniqueMemoryDC dc(::CreateCompatibleDC(screen.get()));
    platform::UniqueGdiObject<HBITMAP> bitmap(::CreateCompatibleBitmap(screen.get(), cx, cy));
    HGDIOBJ old = ::SelectObject(dc.get(), bitmap.get());
    RECT all{0, 0, cx, cy};
    ::FillRect(dc.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ImageList_Draw(images, index, dc.get(), 0, 0, ILD_NORMAL);
    ImageStats stats;
    for (int y = 0; y < cy; ++y) {
        for (int x = 0; x < cx; ++x) {
            COLORREF c = ::GetPixel(dc.get(), x, y);
            const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
            if (c != RGB(255, 255, 255)) ++stats.covered;
            if (std::max({r, g, b}) - std::min({r, g, b}) > 80) ++stats.saturated;
        }
    }
    ::SelectObject(dc.get(), old);
    return stats;
}

TEST_F(CApplicationTest, MainWindowImagesAreRealPictures) {
    ASSERT_TRUE(Start());
    HIMAGELIST images = form_->imlIcons();
    ASSERT_EQ(ImageList_GetImageCount(images), 6);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, ::GetSystemMetrics(SM_CXSMICON));
    for (const wchar_t* key : {L"Windows", L"Setup", L"Refresh", L"Default", L"PKSmall", L"PKSmallDisabled"}) {
        const ImageStats stats = DrawImage(images, form_->ImageIndex(key));
        EXPECT_GT(stats.covered, cx * cy / 4) << platform::Narrow(key);
        EXPECT_LT(stats.covered, cx * cy) << platform::Narrow(key) << " has no transparent background";
    }
    // The disabled picture is the enabled one greyed out.
    EXPECT_GT(DrawImage(images, form_->ImageIndex(L"PKSmall")).saturated, cx * cy / 8);
    EXPECT_EQ(DrawImage(images, form_->ImageIndex(L"PKSmallDisabled")).saturated, 0);
}

TEST_F(CApplicationTest, LoadsTextAndNumberValues) {
    WriteText(HKEY_CURRENT_USER, OptionsKey, L"TimeOut", L"250");
    WriteNumber(HKEY_CURRENT_USER, OptionsKey, L"Icon Cache Refresh Interval", 7);
    WriteNumber(HKEY_CURRENT_USER, OptionsKey, L"Hide Icon", 2);
    WriteText(HKEY_CURRENT_USER, OptionsKey, L"AutoStart", L"1");
    WriteText(HKEY_CURRENT_USER, OptionsKey, L"Windows Refresh Interval", L"654");
    WriteText(HKEY_CURRENT_USER, OptionsKey, L"Wizard Style", L"0");
    WriteText(HKEY_CURRENT_USER, OptionsKey, L"Search Unwatched Windows Only", L"1");
    WriteNumber(HKEY_CURRENT_USER, OptionsKey, L"Search Visible Windows Only", 0);
    WriteText(HKEY_CURRENT_USER, ConfirmationKey, L"Delete", L"False");
    WriteText(HKEY_CURRENT_USER, ConfirmationKey, L"Exit", L"true");
    WriteText(HKEY_CURRENT_USER, MouseKey, L"Main Right Double Click", L"5");
    WriteNumber(HKEY_CURRENT_USER, MouseKey, L"Window Left Single Click", 3);
    WriteText(HKEY_CURRENT_USER, SwitcherKey, L"Enabled", L"False");
    WriteText(HKEY_CURRENT_USER, SwitcherKey, L"Hotkey", L"112");
    WriteNumber(HKEY_CURRENT_USER, SwitcherKey, L"Hotkey Modifier", 5);
    WriteText(HKEY_CURRENT_USER, SwitcherKey, L"Show Cancel", L"0");
    WriteText(HKEY_CURRENT_USER, MenusKey, L"Window Title Length", L"-1");
    WriteText(HKEY_CURRENT_USER, MenusKey, L"Banner", L"False");
    WriteNumber(HKEY_CURRENT_USER, MenusKey, L"Highlight", 2);
    WriteText(HKEY_CURRENT_USER, MenusKey, L"Owner Draw", L"0");
    WriteText(HKEY_CURRENT_USER, MenusKey, L"Ignored Windows", L"True");

    auto app = Start();
    ASSERT_TRUE(app);
    EXPECT_EQ(MessageTimeout, 250);
    EXPECT_EQ(IconCacheRefreshInterval, 7);
    EXPECT_EQ(app->HideIcon(), 2);
    EXPECT_EQ(app->AutoStart(), 1);
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, RunKey, L"Pelkin!").exists) << "loading does not rewrite autostart";
    EXPECT_EQ(app->Interval(), 654);
    EXPECT_FALSE(app->WizardStyle());
    EXPECT_TRUE(app->RuleOptions(SearchUnwatchedWindowsOnly));
    EXPECT_FALSE(app->RuleOptions(SearchVisibleWindowsOnly));
    EXPECT_FALSE(app->Confirmations(ConfirmDelete));
    EXPECT_TRUE(app->Confirmations(ConfirmExit));
    EXPECT_EQ(app->MouseOptionsMain(RightDoubleClick), 5);
    EXPECT_EQ(app->MouseOptionsWindow(LeftSingleClick), 3);
    EXPECT_FALSE(app->Switcher());
    EXPECT_EQ(app->SwitcherHotkey(), 112);
    EXPECT_EQ(app->SwitcherHotkeyModifiers(), 5);
    EXPECT_FALSE(app->SwitcherOptions(SwitcherShowCancel));
    EXPECT_EQ(app->WindowTitleLength(), 0) << "a negative stored length loads as 0";
    EXPECT_FALSE(app->MenuBanner());
    EXPECT_EQ(app->MenuHighlight(), 2);
    EXPECT_FALSE(app->MenuOwnerDraw());
    EXPECT_TRUE(app->MenuOptions(MenuIgnoredWindows));
}

TEST_F(CApplicationTest, UnreadableValueEndsLoadingWithOneLogEntry) {
    const std::wstring logPath = ProgramExceptionLog().Path();
    ::DeleteFileW(logPath.c_str());
    WriteText(HKEY_CURRENT_USER, OptionsKey, L"TimeOut", L"321");
    const BYTE binary[] = {1, 2, 3};
    WriteRaw(HKEY_CURRENT_USER, OptionsKey, L"Hide Icon", REG_BINARY, binary, sizeof binary);
    WriteText(HKEY_CURRENT_USER, OptionsKey, L"Windows Refresh Interval", L"99");

    auto app = Start();
    ASSERT_TRUE(app);
    EXPECT_FALSE(started_);
    EXPECT_EQ(MessageTimeout, 321) << "values before the bad one are loaded";
    EXPECT_EQ(app->Interval(), 20) << "values after it keep their defaults";

    const std::string log = ReadFileBytes(logPath);
    const std::string entryTail =
        "\r\n\tException Occurred:\r\n\t\tValue: 13\r\n\t\tDescription: Type mismatch\r\n"
        "\t\tSource: CApplication.Initialize\r\n\r\n";
    ASSERT_GE(log.size(), entryTail.size()) << log;
    EXPECT_EQ(log.substr(log.size() - entryTail.size()), entryTail) << log;
    EXPECT_EQ(log.find("Exception Occurred"), log.rfind("Exception Occurred")) << "exactly one entry";
    EXPECT_NE(log.find("] Pelkin! v1.5 (Build 0337)\r\n"), std::string::npos);
    ::DeleteFileW(logPath.c_str());
}

TEST_F(CApplicationTest, SavingWritesEveryOptionAsTextInItsPlace) {
    auto app = Start();
    ASSERT_TRUE(app);
    app->SetHideIcon(1);
    app->SetInterval(37);
    app->SetWizardStyle(false);
    app->SetConfirmations(ConfirmSaveOnExit, false);
    app->SetMouseOptionsMain(LeftDoubleClick, 4);
    app->SetMouseOptionsWindow(RightDoubleClick, 6);
    app->SetRuleOptions(SearchTopLevelWindowsOnly, false);
    app->SetSwitcherHotkey(113);
    app->SetSwitcherHotkeyModifiers(1);
    app->SetSwitcherOptions(SwitcherAltTabMode, false);
    app->SetWindowTitleLength(40);
    app->SetMenuHighlight(0);
    app->SetMenuOwnerDraw(false);
    app->SetMenuBanner(false);
    app->SetMenuOptions(MenuWindowsSubMenu, false);
    app->SaveOptions();

    struct Expected {
        std::wstring key, name, text;
    };
    const Expected expected[] = {
        {OptionsKey, L"Hide Icon", L"1"},
        {OptionsKey, L"AutoStart", L"0"},
        {OptionsKey, L"Windows Refresh Interval", L"37"},
        {OptionsKey, L"Wizard Style", L"False"},
        {OptionsKey, L"Search Top Level Windows Only", L"False"},
        {OptionsKey, L"Search Unwatched Windows Only", L"False"},
        {OptionsKey, L"Search Visible Windows Only", L"True"},
        {ConfirmationKey, L"Delete", L"True"},
        {ConfirmationKey, L"Exit", L"True"},
        {ConfirmationKey, L"Save on Exit", L"False"},
        {MouseKey, L"Main Left Single Click", L"0"},
        {MouseKey, L"Main Left Double Click", L"4"},
        {MouseKey, L"Main Right Single Click", L"2"},
        {MouseKey, L"Main Right Double Click", L"0"},
        {MouseKey, L"Window Left Single Click", L"1"},
        {MouseKey, L"Window Left Double Click", L"0"},
        {MouseKey, L"Window Right Single Click", L"2"},
        {MouseKey, L"Window Right Double Click", L"6"},
        {SwitcherKey, L"Enabled", L"True"},
        {SwitcherKey, L"Hotkey", L"113"},
        {SwitcherKey, L"Hotkey Modifier", L"1"},
        {SwitcherKey, L"Alt+Tab Mode", L"False"},
        {SwitcherKey, L"Show Cancel", L"True"},
        {MenusKey, L"Window Title Length", L"40"},
        {MenusKey, L"Banner", L"False"},
        {MenusKey, L"Highlight", L"0"},
        {MenusKey, L"Owner Draw", L"False"},
        {MenusKey, L"Window Titles", L"True"},
        {MenusKey, L"Ignored Windows", L"False"},
        {MenusKey, L"Pelkin! sub-menu", L"True"},
        {MenusKey, L"Windows sub-menu", L"False"},
    };
    for (const auto& value : expected) {
        SCOPED_TRACE(value.name);
        auto stored = ReadValue(HKEY_CURRENT_USER, value.key, value.name);
        EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(stored.text, value.text);
    }
    // Never written by saving: the two read-only values and the root flag.
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, OptionsKey, L"TimeOut").exists);
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, OptionsKey, L"Icon Cache Refresh Interval").exists);
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, ProgramKey, L"Enabled").exists);

    // Teardown stores the flag, once, however often it runs.
    app->Dispose();
    app->Dispose();
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, ProgramKey, L"Enabled").text, L"False");
}

TEST_F(CApplicationTest, SettersKeepTheirBoundsAndRaiseTheirEvents) {
    CApplication app;
    EventLog events;
    app.Events().Add(&events);

    app.SetInterval(654);
    app.SetInterval(1);
    for (int32_t invalid : {655, 0, -3}) {
        try {
            app.SetInterval(invalid);
            ADD_FAILURE() << invalid << " was accepted";
        } catch (const platform::Error& e) {
            EXPECT_EQ(e.Number(), 380);
            EXPECT_EQ(e.Source(), L"CApplication.Interval");
        }
    }
    EXPECT_EQ(app.Interval(), 1);

    app.SetWindowTitleLength(12);
    app.SetWindowTitleLength(-1);
    EXPECT_EQ(app.WindowTitleLength(), 12);

    app.SetMenuHighlight(2);
    app.SetMenuOwnerDraw(false);
    EXPECT_EQ(events.seen, (std::vector<std::wstring>{L"IntervalChange 654", L"IntervalChange 1",
                                                      L"MenuOptionsChange 1 2", L"MenuOptionsChange 0 2"}));

    try {
        app.SetMouseOptionsMain(4, 1);
        ADD_FAILURE() << "index 4 was accepted";
    } catch (const platform::Error& e) {
        EXPECT_EQ(e.Number(), 9);
    }
    app.Events().Remove(&events);
}

TEST_F(CApplicationTest, EnablingWithoutRulesIsRefusedWithAMessage) {
    CApplication app;
    EventLog events;
    app.Events().Add(&events);
    auto answer = AnswerDialog(L"Pelkin!", IDOK, ::GetCurrentProcessId());
    app.SetEnabled(true);
    EXPECT_EQ(answer.get(), L"At least one rule must be added for correct operation.");
    EXPECT_FALSE(app.Enabled());
    EXPECT_EQ(events.seen, std::vector<std::wstring>{L"EnableChange 0"});
    app.Events().Remove(&events);
}

TEST_F(CApplicationTest, AutoStartKeepsExactlyOneValueInTheChosenHive) {
    CApplication app;
    const std::wstring command = L"\"" + platform::ModuleFolder() + L"\\Pelkin.exe\"";
    auto inUser = [&] { return ReadValue(HKEY_CURRENT_USER, RunKey, L"Pelkin!"); };
    auto inMachine = [&] { return ReadValue(HKEY_LOCAL_MACHINE, RunKey, L"Pelkin!"); };

    app.SetAutoStart(AutoStartCurrentUser);
    EXPECT_EQ(inUser().text, command);
    EXPECT_EQ(inUser().type, static_cast<DWORD>(REG_SZ));
    EXPECT_FALSE(inMachine().exists);

    app.SetAutoStart(AutoStartAllUsers);
    EXPECT_FALSE(inUser().exists);
    EXPECT_EQ(inMachine().text, command);
    EXPECT_EQ(app.AutoStart(), AutoStartAllUsers);

    app.SetAutoStart(7);  // stored, nothing touched
    EXPECT_EQ(app.AutoStart(), 7);
    EXPECT_TRUE(inMachine().exists);

    app.SetAutoStart(AutoStartNever);
    EXPECT_FALSE(inUser().exists);
    EXPECT_FALSE(inMachine().exists);
}

TEST(CApplicationAutoStartTest, RefusedMachineWideValueIsReportedAndNotClaimed) {
    ScratchRegistry registry(ScratchRegistry::MachineHive::ReadOnly);
    CApplication app;
    app.SetAutoStart(AutoStartCurrentUser);
    ASSERT_EQ(app.AutoStart(), AutoStartCurrentUser);

    auto answer = AnswerDialog(L"Pelkin!", IDOK, ::GetCurrentProcessId());
    app.SetAutoStart(AutoStartAllUsers);
    const std::wstring text = answer.get();
    EXPECT_NE(text.find(L"Run for this computer"), std::wstring::npos) << platform::Narrow(text);
    EXPECT_NE(text.find(L"Never run"), std::wstring::npos) << platform::Narrow(text);
    // The user value went before the machine-wide write failed: nothing is in effect.
    EXPECT_EQ(app.AutoStart(), AutoStartNever);
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, RunKey, L"Pelkin!").exists);
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, RunKey, L"Pelkin!").exists);
}

}  // namespace

TEST_F(CApplicationTest, StartUpCreatesTheTrayComponentAndTeardownTakesEveryIconAway) {
    FakeTray tray;
    auto app = Start();
    ASSERT_NE(app, nullptr);
    ASSERT_NE(app->Kestrix(), nullptr);
    ASSERT_NE(app->KestrixEvents(), nullptr);
    platform::Variant noIcon = platform::Variant::FromInt32(0);
    ASSERT_EQ(S_OK, app->Kestrix()->Add(42, noIcon.get(), platform::Bstr(L"a window").get(), VARIANT_TRUE));
    ASSERT_EQ(S_OK, app->Kestrix()->Add(43, noIcon.get(), platform::Bstr(L"another").get(), VARIANT_TRUE));
    // The program's own icon came first, with start-up.
    EXPECT_EQ((std::vector<DWORD>{NIM_ADD, NIM_ADD, NIM_ADD}), tray.Requests());

    app->Dispose();
    EXPECT_EQ(app->Kestrix(), nullptr);
    EXPECT_EQ((std::vector<DWORD>{NIM_ADD, NIM_ADD, NIM_ADD, NIM_DELETE, NIM_DELETE, NIM_DELETE}), tray.Requests());
}

// The program's manifest names the components' classes: they are created
// from the DLLs beside the program without any registration.
TEST(ProgramManifestTest, ActivatesBothComponentsWithoutRegistration) {
    for (const wchar_t* progId : {L"Kestrix.Kestrix", L"Quillet.Quillet"}) {
        CLSID registered{};
        ASSERT_NE(S_OK, ::CLSIDFromProgID(progId, &registered))
            << "the test needs a prefix where the components are not registered";
    }
    const std::wstring program = BesideTests(L"Pelkin.exe");
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = program.c_str();
    context.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE activation = ::CreateActCtxW(&context);
    ASSERT_NE(activation, INVALID_HANDLE_VALUE);
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(::ActivateActCtx(activation, &cookie));
    for (const CLSID* clsid : {&CLSID_Kestrix, &CLSID_TimerEx, &CLSID_Quillet}) {
        platform::ComPtr<IDispatch> object;
        EXPECT_EQ(S_OK, ::CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                           reinterpret_cast<void**>(&object)));
    }
    ::DeactivateActCtx(0, cookie);
    ::ReleaseActCtx(activation);
}
