// What the program survives, as a user meets it: the shell's tray going away
// and coming back with every icon, and windows of another program that stop
// answering while the menus and a full scan still come at once.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "FakeTray.h"
#include "MenuKeyboard.h"
#include "ProgramFixture.h"
#include "TestWindows.h"
#include "WineTray.h"

using namespace testing_support;
using namespace program_test;

namespace {

constexpr int LeftButton = 1;
constexpr int RightButton = 3;
constexpr int HungWindowCount = 10;
// The tray component's windows: one of them owns the program's tray icons.
constexpr wchar_t TrayOwnerClass[] = L"frmSubclass";
constexpr UINT ProgramIconId = 0;
// The message the tray component has the shell report mouse events with.
constexpr UINT TrayCallbackMessage = WM_USER + 101;
constexpr wchar_t MenuWindowClass[] = L"#32768";
// Enough Escapes for the two levels open here, with keys lost on the way.
constexpr int MostEscapes = 8;
constexpr DWORD EscapeTakenMs = 2000;

// What a window gets to answer ("TimeOut"), stored: a program that waited
// that long for each of the hung windows in turn would still be waiting
// when they answer again.
constexpr DWORD MessageTimeoutMs = 500;
// Longer than the one wait the program gives a program that stopped
// answering, however many windows it has; shorter than a wait for each
// window in turn, and than the five seconds after which the system itself
// calls a window hung and stops waiting on it: the program may not lean on
// that. What is not to stall is to be done while the windows still hang.
constexpr DWORD HangMs = 4000;
static_assert(HangMs < HungWindowCount * MessageTimeoutMs);

// A window's tray icon has the window's handle as its ID.
UINT TrayId(HWND window) { return static_cast<UINT>(reinterpret_cast<uintptr_t>(window)); }
bool Visible(HWND window) { return ::IsWindowVisible(window) != FALSE; }

// Titles differ from run to run, so that a tip names one icon only.
std::wstring Unique(const std::wstring& title) {
    static int made = 0;
    return title + L" " + std::to_wstring(::GetCurrentProcessId()) + L"." + std::to_wstring(++made);
}

// Every window whose title holds the text goes to the tray, always.
StoredRule TrayRule(const std::wstring& title) {
    StoredRule rule;
    rule.name = rule.title = title;
    rule.action = 0;
    rule.criteria = 1;
    return rule;
}

// The thread's visible menu windows: the main menu and its open sub-menus.
int ShownMenuCount(DWORD thread) {
    int count = 0;
    for (HWND window = ::FindWindowExW(nullptr, nullptr, MenuWindowClass, nullptr); window;
         window = ::FindWindowExW(nullptr, window, MenuWindowClass, nullptr)) {
        if (::GetWindowThreadProcessId(window, nullptr) == thread && ::IsWindowVisible(window)) ++count;
    }
    return count;
}

// No shell to take an icon: a stand-in where the shell's notification
// functions look first, refusing every request.
class AbsentShell {
public:
    AbsentShell() { stand_.Accept(false); }

    bool AskedToAdd() const {
        const auto& requests = stand_.Requests();
        return std::find(requests.begin(), requests.end(), static_cast<DWORD>(NIM_ADD)) != requests.end();
    }

private:
    FakeTray stand_;
};

bool AllShown(const std::vector<std::wstring>& tips) {
    for (const auto& tip : tips) {
        if (!FindTrayIcon(tip)) return false;
    }
    return true;
}

class ResilienceProgramTest : public ProgramFixture {
protected:
    void Start() {
        ProgramFixture::Start();
        menuThread_ = ::GetWindowThreadProcessId(main_, nullptr);
    }

    HWND Open(const std::wstring& title) {
        HWND window = testwin_.Create(title);
        EXPECT_NE(window, nullptr) << "testwin made no window";
        return window;
    }

    bool Trayed(HWND window) const {
        return !Visible(window) && ProcessHasTrayIcon(program_->Id(), TrayOwnerClass, TrayId(window));
    }
    HWND IconOwner() const { return TrayIconOwner(program_->Id(), TrayOwnerClass, ProgramIconId); }

    // Whether the program answers, while testwin's windows still hang.
    bool AnswersDuringTheHang() const {
        const DWORD left = testwin_.HangLeftMs();
        DWORD_PTR result = 0;
        return left > 0 && ::SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, left, &result) != 0;
    }

    // A right click on the program's icon, as the shell reports it; the
    // main menu it opens, once shown within the limit.
    HWND RightClickProgramIcon(HWND owner, DWORD limitMs = DefaultTimeoutMs) {
        HWND menu = nullptr;
        if (!ReportTrayClick(owner, ProgramIconId, TrayCallbackMessage, RightButton)) return nullptr;
        WaitUntil([&] { return (menu = ShownMenu(menuThread_)) != nullptr; }, limitMs);
        return menu;
    }

    // Escape closes one level; the key goes to the innermost menu's window,
    // and only once the level is gone is the next key sent. A key the menu
    // loop never got (posted to a menu window just as it went) is sent again.
    void CloseMenus() {
        for (int tries = 0; tries < MostEscapes && ShownMenuCount(menuThread_) > 0; ++tries) {
            const int open = ShownMenuCount(menuThread_);
            ::PostMessageW(ShownMenu(menuThread_), WM_KEYDOWN, VK_ESCAPE, 0);
            WaitUntil([&] { return ShownMenuCount(menuThread_) < open; }, EscapeTakenMs);
        }
        EXPECT_EQ(ShownMenuCount(menuThread_), 0) << "a menu stayed open";
    }

    TestWindowProgram testwin_;
    DWORD menuThread_ = 0;
};

TEST_F(ResilienceProgramTest, WhenTheTrayComesBackEveryIconIsBackAndEachWindowComesBackByItsIcon) {
    const std::wstring rule = Unique(L"Resilient tray");
    StoreRule(TrayRule(rule), 1);
    const std::vector<std::wstring> titles = {rule + L" first", rule + L" second", rule + L" while away"};
    HWND first = Open(titles[0]);
    HWND second = Open(titles[1]);
    Start();
    ASSERT_TRUE(WaitUntil([&] { return AllShown({Title, titles[0], titles[1]}); })) << "the icons were never shown";
    HWND owner = IconOwner();
    ASSERT_NE(owner, nullptr);

    // The shell goes and takes its icons with it; while it is away every
    // request to it fails, as when there is no tray at all.
    for (UINT id : {ProgramIconId, TrayId(first), TrayId(second)}) ASSERT_TRUE(DropTrayIcon(owner, id));
    HWND later = nullptr;
    {
        AbsentShell absent;
        later = Open(titles[2]);
        ASSERT_TRUE(WaitUntil([&] { return !Visible(later) && absent.AskedToAdd(); }))
            << "the window was not trayed while the tray was away";
        EXPECT_FALSE(AllShown({Title}));
    }

    // The shell is back and says so, as a restarted shell does.
    AnnounceTaskbarCreated();
    EXPECT_TRUE(WaitUntil([&] { return AllShown({Title, titles[0], titles[1], titles[2]}); }))
        << "not every icon came back with the tray";

    // Nothing is lost: a click on each window's icon gives the window back.
    for (size_t i = 0; i < titles.size(); ++i) {
        HWND window = i == 0 ? first : i == 1 ? second : later;
        HWND icon = FindTrayIcon(titles[i]);
        ASSERT_NE(icon, nullptr);
        ASSERT_TRUE(ClickProgramTrayIcon(icon, LeftButton));
        EXPECT_TRUE(WaitUntil([&] { return Visible(window); })) << "no way back for the window " << i;
    }
}

TEST_F(ResilienceProgramTest, TenHungWindowsStallNeitherTheMenusNorAScanNorTheProgram) {
    StoreOption(L"Options", L"TimeOut", std::to_wstring(MessageTimeoutMs));
    const std::wstring rule = Unique(L"Hung");
    StoreRule(TrayRule(rule), 1);
    std::vector<HWND> windows;
    for (int i = 0; i < HungWindowCount; ++i) windows.push_back(Open(rule + L" " + std::to_wstring(i)));
    Start();
    ASSERT_TRUE(WaitUntil([&] {
        return std::all_of(windows.begin(), windows.end(), [&](HWND window) { return Trayed(window); });
    })) << "the windows were never trayed";
    HWND owner = IconOwner();
    ASSERT_NE(owner, nullptr);

    // The main menu, then the Windows menu under it, which lists every
    // hung window with its icon.
    ASSERT_TRUE(testwin_.Hang(HangMs));
    HWND menu = RightClickProgramIcon(owner, testwin_.HangLeftMs());
    ASSERT_NE(menu, nullptr) << "the main menu waited for the hung windows";
    ASSERT_TRUE(::PostMessageW(menu, WM_CHAR, L'w', 0));
    EXPECT_TRUE(WaitUntil([&] { return ShownMenuCount(menuThread_) >= 2; }, testwin_.HangLeftMs()))
        << "the Windows menu waited for the hung windows";
    EXPECT_TRUE(AnswersDuringTheHang());
    CloseMenus();

    // A full scan, once the windows hang afresh: the next click is taken
    // when the scan is over.
    ASSERT_GE(testwin_.CloseRequests(windows.front()), 0) << "testwin did not come back from its hang";
    ASSERT_TRUE(testwin_.Hang(HangMs));
    ASSERT_NE(RightClickProgramIcon(owner), nullptr);
    {
        MenuKeyboard refresh({Typed(L'r')}, menuThread_);
        ASSERT_TRUE(refresh.Worked());
    }
    EXPECT_TRUE(AnswersDuringTheHang()) << "the program stopped answering during the scan";
    EXPECT_NE(RightClickProgramIcon(owner, testwin_.HangLeftMs()), nullptr)
        << "the scan waited for the hung windows";
    CloseMenus();
    EXPECT_TRUE(std::all_of(windows.begin(), windows.end(), [&](HWND window) { return !Visible(window); }))
        << "the scan let a hung window go";
}

TEST_F(ResilienceProgramTest, SwitchedOnWhileItsWindowsHangTheProgramPutsThemOnTopFadesAndTraysThemWithoutWaiting) {
    StoreOption(L"", L"Enabled", L"False");
    StoreOption(L"Options", L"TimeOut", std::to_wstring(MessageTimeoutMs));
    const std::wstring rule = Unique(L"Hung action");
    StoredRule onTop = TrayRule(rule + L" on top");
    onTop.action = 2;
    StoredRule faded = TrayRule(rule + L" faded");
    faded.action = 3;
    faded.alpha = 128;
    StoreRule(onTop, 1);
    StoreRule(faded, 2);
    StoreRule(TrayRule(rule + L" trayed"), 3);
    HWND top = Open(rule + L" on top");
    HWND fade = Open(rule + L" faded");
    HWND tray = Open(rule + L" trayed");
    Start();
    HWND owner = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (owner = IconOwner()) != nullptr; }));

    // "Disable" switches the program back on, and the scan that follows
    // meets three windows that do not answer.
    ASSERT_TRUE(testwin_.Hang(HangMs));
    ASSERT_NE(RightClickProgramIcon(owner, testwin_.HangLeftMs()), nullptr);
    {
        MenuKeyboard enable({Typed(L'd')}, menuThread_);
        ASSERT_TRUE(enable.Worked());
    }
    EXPECT_TRUE(AnswersDuringTheHang()) << "the program waited on a hung window";
    EXPECT_NE(RightClickProgramIcon(owner, testwin_.HangLeftMs()), nullptr) << "the menu waited on a hung window";
    CloseMenus();

    // Each change is made once the windows answer again.
    EXPECT_TRUE(WaitUntil([&] { return (::GetWindowLongPtrW(top, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }))
        << "never put on top";
    EXPECT_TRUE(WaitUntil([&] { return (::GetWindowLongPtrW(fade, GWL_EXSTYLE) & WS_EX_LAYERED) != 0; }))
        << "never made transparent";
    EXPECT_TRUE(WaitUntil([&] { return Trayed(tray); })) << "never trayed";
}

}  // namespace
