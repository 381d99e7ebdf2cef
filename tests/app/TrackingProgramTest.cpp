// Window tracking as a user meets it: rules stored beforehand, the program
// started, and the windows of another program (testwin) taken at start-up,
// through the window-event hook, and given back by a click on their tray icon
// in Wine's own tray window with the real pointer.
#include <memory>
#include <optional>
#include <string>

#include "ProgramFixture.h"
#include "TestWindows.h"
#include "WineTray.h"

using namespace testing_support;
using namespace program_test;

namespace {

// A rule's stored action and criteria.
enum RuleAction : DWORD { HideInTray = 0, Hide = 1, OnTop = 2, Transparency = 3, Close = 5, BringToFront = 6 };
enum RuleCriteria : DWORD { OnMinimizeOnly = 0, Always = 1 };
// The stored search option that makes a rule's texts patterns.
constexpr DWORD PatternSearch = 4;

// The stored "Hide Icon" option.
constexpr wchar_t HideIconOption[] = L"Hide Icon";
constexpr wchar_t IconHiddenWhileTrayed[] = L"1";
constexpr wchar_t IconNeverShown[] = L"2";

// The tray component's windows: one of them owns the program's tray icons.
constexpr wchar_t TrayOwnerClass[] = L"frmSubclass";
constexpr UINT ProgramIconId = 0;
constexpr DWORD FadedAlpha = 77;
constexpr UINT AnswerTimeoutMs = DefaultTimeoutMs;

// A window's tray icon has the window's handle as its ID.
UINT TrayId(HWND window) { return static_cast<UINT>(reinterpret_cast<uintptr_t>(window)); }

LONG_PTR ExtendedStyle(HWND window) { return ::GetWindowLongPtrW(window, GWL_EXSTYLE); }
bool Visible(HWND window) { return ::IsWindowVisible(window) != FALSE; }

std::optional<BYTE> Alpha(HWND window) {
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!::GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA)) return std::nullopt;
    return alpha;
}

// Window titles differ from test to test and from run to run, so that a tip
// names one icon whatever else the tray shows.
std::wstring Unique(const std::wstring& title) {
    static int made = 0;
    return title + L" " + std::to_wstring(::GetCurrentProcessId()) + L"." + std::to_wstring(++made);
}

StoredRule Rule(const std::wstring& title, DWORD action, DWORD criteria = Always) {
    StoredRule rule;
    rule.name = title;
    rule.title = title;
    rule.action = action;
    rule.criteria = criteria;
    rule.alpha = FadedAlpha;
    return rule;
}

}  // namespace

class TrackingProgramTest : public ProgramFixture {
protected:
    // Once true, the program has handled the window events raised so far at
    // least up to its next wait for another program, and testwin has made the
    // changes asked of its windows. Hook events and sent messages share one
    // queue of the program's thread, which may answer ours while it waits on
    // another window or on the shell: by then a window it takes is hidden, and
    // its next tray request is in the shell's queue ahead of the test's
    // questions. testwin answers a command after the changes queued before it.
    bool EventsHandled(HWND window) {
        DWORD_PTR result = 0;
        return ::SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, AnswerTimeoutMs, &result) &&
               testwin_.CloseRequests(window) >= 0;
    }

    bool HasIcon(HWND window) const { return ProcessHasTrayIcon(program_->Id(), TrayOwnerClass, TrayId(window)); }
    bool HasProgramIcon() const { return ProcessHasTrayIcon(program_->Id(), TrayOwnerClass, ProgramIconId); }
    bool Trayed(HWND window) const { return !Visible(window) && HasIcon(window); }
    bool Untouched(HWND window) const {
        return Visible(window) && !HasIcon(window) && !(ExtendedStyle(window) & (WS_EX_TOPMOST | WS_EX_LAYERED));
    }
    bool WaitTrayed(HWND window) const { return WaitUntil([&] { return Trayed(window); }); }

    // The icon that Wine's tray shows with this tip, once it is there.
    static HWND ShownIcon(const std::wstring& tip) {
        HWND icon = nullptr;
        WaitUntil([&] { return (icon = FindTrayIcon(tip)) != nullptr; });
        return icon;
    }

    HWND Open(const std::wstring& title) {
        HWND window = testwin_.Create(title);
        EXPECT_NE(window, nullptr) << "testwin made no window";
        return window;
    }

    TestWindowProgram testwin_;
};

TEST_F(TrackingProgramTest, AnAlwaysRuleTraysWindowsAtStartUpAndThroughTheHookAndDropsThemWhenDestroyed) {
    StoreRule(Rule(L"Trayed always", HideInTray), 1);
    const std::wstring earlyTitle = Unique(L"Trayed always, open before");
    HWND early = Open(earlyTitle);
    HWND bystander = Open(Unique(L"Bystander"));
    Start();

    // The full pass of the start-up.
    EXPECT_TRUE(HasIcon(early)) << "the start-up was over before the pass took the window";
    EXPECT_TRUE(WaitTrayed(early));
    EXPECT_NE(ShownIcon(earlyTitle), nullptr) << "the icon's tip is the window's title";
    EXPECT_TRUE(Untouched(bystander));

    // After the start-up only the hook sees windows: one made with its final
    // title and then shown raises nothing but the show (testwin raises it
    // under Wine, as Windows would).
    HWND later = testwin_.Create(TestWindowSpec{Unique(L"Trayed always, opened later"), TestWindowKind::Plain, L"",
                                                true, nullptr, false});
    ASSERT_NE(later, nullptr);
    ASSERT_TRUE(EventsHandled(later));
    EXPECT_FALSE(HasIcon(later)) << "made hidden, there is nothing to take yet";
    ASSERT_TRUE(testwin_.Show(later));
    EXPECT_TRUE(WaitTrayed(later));

    const std::wstring retitled = Unique(L"Bystander now Trayed always");
    ASSERT_TRUE(testwin_.Retitle(bystander, retitled));
    EXPECT_TRUE(WaitTrayed(bystander));
    EXPECT_NE(ShownIcon(retitled), nullptr);

    ASSERT_TRUE(testwin_.Destroy(early));
    EXPECT_TRUE(WaitUntil([&] { return !HasIcon(early); }));
    EXPECT_EQ(FindTrayIcon(earlyTitle), nullptr);
    EXPECT_TRUE(HasIcon(later) && HasIcon(bystander)) << "only the destroyed window's icon goes";
}

TEST_F(TrackingProgramTest, AnOnMinimizeRuleTraysAMinimizedWindowAndAClickOnItsIconGivesItBackForGood) {
    // The window's icon is then the program's only one.
    StoreOption(L"Options", HideIconOption, IconNeverShown);
    StoreRule(Rule(L"Trayed when minimized", HideInTray, OnMinimizeOnly), 1);
    const std::wstring title = Unique(L"Trayed when minimized");
    HWND window = Open(title);
    Start();
    EXPECT_TRUE(Untouched(window)) << "a window that is not minimized stays";

    ASSERT_TRUE(testwin_.Minimize(window));
    ASSERT_TRUE(WaitTrayed(window));
    HWND icon = ShownIcon(title);
    ASSERT_NE(icon, nullptr);
    ASSERT_TRUE(ClickProgramTrayIcon(icon));
    EXPECT_TRUE(WaitUntil([&] { return Visible(window) && !::IsIconic(window) && !HasIcon(window); }));

    // Given back, it is no longer tracked: minimized again, it is taken anew
    // (tracking left in force would bring the icon back but leave the window
    // on screen).
    ASSERT_TRUE(testwin_.Minimize(window));
    EXPECT_TRUE(WaitTrayed(window));
    EXPECT_NE(ShownIcon(title), nullptr);
}

TEST_F(TrackingProgramTest, AWindowOpenedWhileTheProgramRunsIsTakenAsItShowsUnlessItsRuleWaitsForAMinimize) {
    StoreRule(Rule(L"Opened and hidden", Hide), 1);
    StoreRule(Rule(L"Opened and trayed when minimized", HideInTray, OnMinimizeOnly), 2);
    Start();

    // Made visible at once, as most programs make their main window.
    HWND hidden = Open(Unique(L"Opened and hidden"));
    EXPECT_TRUE(WaitUntil([&] { return !Visible(hidden); }));
    EXPECT_FALSE(HasIcon(hidden));

    const std::wstring title = Unique(L"Opened and trayed when minimized");
    HWND minimizable = Open(title);
    ASSERT_TRUE(EventsHandled(minimizable));
    EXPECT_TRUE(Untouched(minimizable)) << "shown, not minimized";
    ASSERT_TRUE(testwin_.Minimize(minimizable));
    EXPECT_TRUE(WaitTrayed(minimizable));
    EXPECT_NE(ShownIcon(title), nullptr);
    EXPECT_FALSE(Visible(hidden)) << "still hidden";
}

TEST_F(TrackingProgramTest, EveryOtherActionOfARuleIsAppliedToItsWindow) {
    StoreRule(Rule(L"Hidden by a rule", Hide), 1);
    StoreRule(Rule(L"Kept on top by a rule", OnTop), 2);
    StoreRule(Rule(L"Faded by a rule", Transparency), 3);
    StoreRule(Rule(L"Closed by a rule", Close), 4);
    StoreRule(Rule(L"Brought to front by a rule", BringToFront), 5);
    HWND hidden = Open(Unique(L"Hidden by a rule"));
    HWND onTop = Open(Unique(L"Kept on top by a rule"));
    HWND faded = Open(Unique(L"Faded by a rule"));
    HWND closed = Open(Unique(L"Closed by a rule"));
    HWND front = Open(Unique(L"Brought to front by a rule"));
    HWND cover = Open(Unique(L"In front before the start"));
    ASSERT_TRUE(::SetForegroundWindow(cover));
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == cover; }));
    Start();

    EXPECT_TRUE(WaitUntil([&] { return !Visible(hidden); }));
    EXPECT_TRUE(WaitUntil([&] { return (ExtendedStyle(onTop) & WS_EX_TOPMOST) != 0; }));
    // Layered first, then given its opacity: the opacity is what to wait for.
    EXPECT_TRUE(WaitUntil([&] { return (ExtendedStyle(faded) & WS_EX_LAYERED) != 0 && Alpha(faded) == FadedAlpha; }))
        << "alpha " << static_cast<int>(Alpha(faded).value_or(0));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(closed); }));
    EXPECT_GE(testwin_.CloseRequests(closed), 1);
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == front; }));
    for (HWND window : {hidden, onTop, faded, front}) EXPECT_FALSE(HasIcon(window)) << "only hide in tray makes an icon";
    EXPECT_TRUE(Visible(onTop) && Visible(faded) && Visible(front));
}

TEST_F(TrackingProgramTest, HideIconWhileTrayedShowsTheProgramsIconOnlyWhileNoWindowIsTrayed) {
    StoreOption(L"Options", HideIconOption, IconHiddenWhileTrayed);
    StoreRule(Rule(L"Trayed in turn", HideInTray, OnMinimizeOnly), 1);
    const std::wstring firstTitle = Unique(L"Trayed in turn, first");
    HWND first = Open(firstTitle);
    HWND second = Open(Unique(L"Trayed in turn, second"));
    Start();
    EXPECT_TRUE(WaitUntil([&] { return HasProgramIcon(); }));

    ASSERT_TRUE(testwin_.Minimize(first));
    EXPECT_TRUE(WaitUntil([&] { return Trayed(first) && !HasProgramIcon(); }));
    ASSERT_TRUE(testwin_.Minimize(second));
    EXPECT_TRUE(WaitTrayed(second));
    ASSERT_TRUE(EventsHandled(second));
    EXPECT_FALSE(HasProgramIcon());

    // Restored by a click while another window stays in the tray.
    HWND icon = ShownIcon(firstTitle);
    ASSERT_NE(icon, nullptr);
    ASSERT_TRUE(ClickProgramTrayIcon(icon));
    EXPECT_TRUE(WaitUntil([&] { return Visible(first) && !HasIcon(first); }));
    ASSERT_TRUE(EventsHandled(first));
    EXPECT_FALSE(HasProgramIcon()) << "a window is still in the tray";

    // The last one goes with its window.
    ASSERT_TRUE(testwin_.Destroy(second));
    EXPECT_TRUE(WaitUntil([&] { return !HasIcon(second) && HasProgramIcon(); }));
}

TEST_F(TrackingProgramTest, SwitchedOffTheProgramShowsItsIconAndTakesNoWindow) {
    StoreOption(L"", L"Enabled", L"False");
    StoreRule(Rule(L"Left alone", HideInTray), 1);
    HWND before = Open(Unique(L"Left alone, open before"));
    Start();
    EXPECT_TRUE(WaitUntil([&] { return HasProgramIcon(); }));
    EXPECT_NE(ShownIcon(DisabledTitle), nullptr);
    // The start-up is over, so a pass over the windows would have been made
    // and any hide it asked for would have arrived by now.
    ASSERT_TRUE(EventsHandled(before));
    EXPECT_TRUE(Untouched(before));

    // What the hook would act on, had the program installed it.
    HWND later = Open(Unique(L"Untitled"));
    ASSERT_TRUE(testwin_.Retitle(later, Unique(L"Left alone, retitled later")));
    ASSERT_TRUE(testwin_.Minimize(later));
    ASSERT_TRUE(EventsHandled(later));
    EXPECT_TRUE(Visible(later));
    EXPECT_FALSE(HasIcon(later));
}

TEST_F(TrackingProgramTest, RulesNamingAProgramTakeOnlyThatProgramsWindowsWhateverTheirTitles) {
    const std::wstring fadedTitle = Unique(L"Faded testwin");
    const std::wstring refusedTitle = Unique(L"Hidden only in notepad");
    // By the full path, as a pattern; by a title and another program; by the
    // file name alone, in other letter case than the file's.
    StoredRule faded = Rule(fadedTitle, Transparency);
    faded.searchMask = PatternSearch;
    StoreRule(faded, 1);
    StoreRule(Rule(refusedTitle, Hide), 2);
    StoredRule anyTitle = Rule(L"Every testwin window when minimized", HideInTray, OnMinimizeOnly);
    anyTitle.title.clear();
    StoreRule(anyTitle, 3);
    const std::wstring rules = ProgramKey + L"\\Rules\\";
    WriteText(HKEY_CURRENT_USER, rules + faded.name, L"Program", L"*\\TestWin.e?e");
    WriteText(HKEY_CURRENT_USER, rules + refusedTitle, L"Program", L"notepad.exe");
    WriteText(HKEY_CURRENT_USER, rules + anyTitle.name, L"Program", L"TESTWIN.EXE");
    HWND fadedWindow = Open(fadedTitle);
    HWND refused = Open(refusedTitle);
    HWND untitled = Open(L"");
    Start();

    EXPECT_TRUE(WaitUntil([&] { return (ExtendedStyle(fadedWindow) & WS_EX_LAYERED) != 0; }));
    ASSERT_TRUE(EventsHandled(refused));
    EXPECT_TRUE(Untouched(refused)) << "its title matches, its program does not";
    EXPECT_TRUE(Untouched(untitled)) << "taken by its program once it is minimized";

    // The same rules through the hook, for windows of whatever title.
    ASSERT_TRUE(testwin_.Minimize(untitled));
    EXPECT_TRUE(WaitTrayed(untitled));
    ASSERT_TRUE(testwin_.Minimize(refused));
    EXPECT_TRUE(WaitTrayed(refused)) << "the program rule after it takes the window the title rule refused";
    HWND later = Open(Unique(L"Opened later, any title"));
    ASSERT_TRUE(testwin_.Minimize(later));
    EXPECT_TRUE(WaitTrayed(later));
}
