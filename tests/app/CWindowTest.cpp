// Every action applied to and lifted from a real window of another program,
// the show toggles, auto-hide, and windows that hang or go away.
#include <chrono>

#include "ExceptionLogReader.h"
#include "Handles.h"
#include "Strings.h"
#include "WindowModule.h"

#include "TrackingFixture.h"

using namespace testing_support;
using namespace tracking_test;

namespace {

bool Restored(HWND window) {
    return WaitUntil([&] { return !::IsIconic(window) && ::IsWindowVisible(window); });
}

BYTE LayeredAlpha(HWND window) {
    BYTE alpha = 0;
    DWORD flags = 0;
    COLORREF key = 0;
    ::GetLayeredWindowAttributes(window, &key, &alpha, &flags);
    return alpha;
}

}  // namespace

class CWindowTest : public TrackingTest {};

TEST_F(CWindowTest, HideInTrayAlwaysTogglesBetweenHiddenAndShownKeepingItsIcon) {
    AddRule(L"Tray me", ActionHideInTray, CriteriaAlways);
    HWND window = testwin_.Create(L"Tray me please");
    auto wrapper = Offer(window);
    ASSERT_TRUE(wrapper);
    EXPECT_TRUE(Invisible(window));
    EXPECT_TRUE(HasTrayIcon(window));
    EXPECT_EQ(TrayTip(window), L"Tray me please");
    EXPECT_EQ((std::vector<std::wstring>{L"Add", L"Change"}), events_.seen);

    // A click shows it: lifted, still tracked, the icon stays.
    wrapper->ExecuteAction(true);
    EXPECT_TRUE(wrapper->Suspended());
    EXPECT_TRUE(Visible(window));
    EXPECT_TRUE(Tracked(window));
    EXPECT_TRUE(HasTrayIcon(window));
    // A refresh leaves a shown window alone, but keeps its icon up to date.
    testwin_.Retitle(window, L"Tray me again");
    wrapper->Refresh(false, false);
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(TrayTip(window), L"Tray me again");

    // The next click hides it again.
    wrapper->ExecuteAction(true);
    EXPECT_FALSE(wrapper->Suspended());
    EXPECT_TRUE(Invisible(window));
    EXPECT_TRUE(HasTrayIcon(window));

    // Deleting shows it and ends tracking, announced.
    events_.seen.clear();
    wrapper->Delete();
    EXPECT_TRUE(Visible(window));
    EXPECT_FALSE(Tracked(window));
    EXPECT_FALSE(HasTrayIcon(window));
    EXPECT_EQ((std::vector<std::wstring>{L"Remove"}), events_.seen);
}

TEST_F(CWindowTest, OnMinimizeOnlyEndsTrackingWhenShownAndTakesTheWindowAgainWhenMinimized) {
    AddRule(L"Minimize me", ActionHideInTray, CriteriaOnMinimize);
    HWND window = testwin_.Create(L"Minimize me");
    EXPECT_FALSE(Offer(window)) << "a restored window does not match";

    testwin_.Minimize(window);
    auto wrapper = Offer(window);
    ASSERT_TRUE(wrapper);
    EXPECT_TRUE(Invisible(window));
    EXPECT_TRUE(HasTrayIcon(window));

    wrapper->ExecuteAction(true);
    EXPECT_TRUE(Restored(window));
    EXPECT_FALSE(Tracked(window));
    EXPECT_FALSE(HasTrayIcon(window));
    EXPECT_EQ(L"Remove", events_.seen.back());

    testwin_.Minimize(window);
    auto again = Offer(window);
    ASSERT_TRUE(again);
    EXPECT_NE(again, wrapper) << "a new wrapper for the new minimizing";
    EXPECT_TRUE(Invisible(window));
}

TEST_F(CWindowTest, HideHidesWithoutAnIconAndDeleteShowsTheWindowAgain) {
    AddRule(L"Hide me", ActionHide, CriteriaAlways);
    HWND window = testwin_.Create(L"Hide me");
    auto wrapper = Offer(window);
    ASSERT_TRUE(wrapper);
    EXPECT_TRUE(Invisible(window));
    EXPECT_FALSE(HasTrayIcon(window));
    wrapper->Delete();
    EXPECT_TRUE(Visible(window));
    EXPECT_FALSE(Tracked(window));
}

TEST_F(CWindowTest, OnTopIsAppliedOnceAndLiftedByDeleteEvenWhenTheWindowWasTopmostAlready) {
    AddRule(L"Keep on top", ActionOnTop, CriteriaAlways);
    HWND window = testwin_.Create(L"Keep on top");
    auto wrapper = Offer(window);
    ASSERT_TRUE(wrapper);
    EXPECT_TRUE(WaitUntil([&] { return (ExtendedStyle(window) & WS_EX_TOPMOST) != 0; }));
    EXPECT_TRUE(::IsWindowVisible(window));

    // Shown by the user, the window is no longer kept on top; shown again, it is.
    wrapper->ExecuteAction(true);
    EXPECT_TRUE(WaitUntil([&] { return (ExtendedStyle(window) & WS_EX_TOPMOST) == 0; }));
    wrapper->ExecuteAction(true);
    EXPECT_TRUE(WaitUntil([&] { return (ExtendedStyle(window) & WS_EX_TOPMOST) != 0; }));
    wrapper->Delete();
    EXPECT_TRUE(WaitUntil([&] { return (ExtendedStyle(window) & WS_EX_TOPMOST) == 0; }));

    // A window that is topmost by itself is left as it is, until Delete.
    HWND topmost = testwin_.Create(L"Keep on top too");
    ::SetWindowPos(topmost, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_TRUE(WaitUntil([&] { return (ExtendedStyle(topmost) & WS_EX_TOPMOST) != 0; }));
    auto already = Offer(topmost);
    ASSERT_TRUE(already);
    EXPECT_TRUE(ExtendedStyle(topmost) & WS_EX_TOPMOST);
    already->Delete();
    EXPECT_TRUE(WaitUntil([&] { return (ExtendedStyle(topmost) & WS_EX_TOPMOST) == 0; }));
}

TEST_F(CWindowTest, TransparencySetsTheRulesOpacityButKeepsAnOpacityTheWindowHas) {
    AddRule(L"See through", ActionTransparency, CriteriaAlways, 0, 100);
    HWND window = testwin_.Create(L"See through");
    auto wrapper = Offer(window);
    ASSERT_TRUE(wrapper);
    EXPECT_TRUE(ExtendedStyle(window) & WS_EX_LAYERED);
    EXPECT_EQ(LayeredAlpha(window), 100);
    EXPECT_TRUE(::IsWindowVisible(window));
    wrapper->Delete();
    EXPECT_FALSE(ExtendedStyle(window) & WS_EX_LAYERED);

    HWND layered = testwin_.Create(L"See through already");
    ::SetWindowLongPtrW(layered, GWL_EXSTYLE, ExtendedStyle(layered) | WS_EX_LAYERED);
    ::SetLayeredWindowAttributes(layered, 0, 200, LWA_ALPHA);
    auto already = Offer(layered);
    ASSERT_TRUE(already);
    EXPECT_EQ(LayeredAlpha(layered), 200);
    already->Delete();
    EXPECT_FALSE(ExtendedStyle(layered) & WS_EX_LAYERED);
}

TEST_F(CWindowTest, CloseAsksAgainAtEveryRefreshUntilTheWindowGoes) {
    AddRule(L"Close me", ActionClose, CriteriaAlways);
    HWND stubborn = testwin_.Create(L"Close me, I have unsaved work");
    testwin_.RefuseClose(stubborn, true);
    auto wrapper = Offer(stubborn);
    ASSERT_TRUE(wrapper);
    EXPECT_TRUE(WaitUntil([&] { return testwin_.CloseRequests(stubborn) == 1; }));
    wrapper->Refresh(false, false);
    wrapper->Refresh(false, false);
    EXPECT_TRUE(WaitUntil([&] { return testwin_.CloseRequests(stubborn) == 3; }));
    EXPECT_TRUE(::IsWindow(stubborn));

    HWND willing = testwin_.Create(L"Close me now");
    auto gone = Offer(willing);
    ASSERT_TRUE(gone);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(willing); }));
    // The next refresh finds it gone and ends tracking.
    gone->Refresh(false, false);
    EXPECT_FALSE(Tracked(willing));
}

TEST_F(CWindowTest, BringToFrontActsOncePerWrapperUntilAResetRefresh) {
    AddRule(L"Front", ActionBringToFront, CriteriaAlways);
    HWND other = testwin_.Create(L"Somebody else");
    HWND window = testwin_.Create(L"Front and centre");
    auto wrapper = Offer(window);
    ASSERT_TRUE(wrapper);
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window; }));
    EXPECT_TRUE(wrapper->Suspended());

    ::SetForegroundWindow(other);
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == other; }));
    wrapper->Refresh(false, false);
    EXPECT_EQ(::GetForegroundWindow(), other) << "done once already";

    wrapper->Refresh(true, false);
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window; }));
}

TEST_F(CWindowTest, AutoHideTakesTheIconAwaySilentlyAndLeavesAPlainHiddenWindow) {
    AddRule(L"Fade", ActionHideInTray, CriteriaAlways, 1);
    HWND window = testwin_.Create(L"Fade away");
    auto wrapper = Offer(window);
    ASSERT_TRUE(wrapper);
    EXPECT_TRUE(wrapper->CountdownRunning());
    EXPECT_TRUE(HasTrayIcon(window));
    events_.seen.clear();

    ASSERT_TRUE(WaitUntil([&] { return wrapper->Hidden(); }, 5000));
    EXPECT_FALSE(HasTrayIcon(window));
    EXPECT_TRUE(events_.seen.empty()) << "no WindowRemove for an auto-hidden window";
    EXPECT_EQ(wrapper->Action(), ActionHide);
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_TRUE(Tracked(window));

    wrapper->Delete();
    EXPECT_TRUE(Visible(window));
    EXPECT_FALSE(Tracked(window));
}

TEST_F(CWindowTest, ShowingStopsTheCountdownAndOnlyATrayedWindowWithADelayHasOne) {
    AddRule(L"Countdown", ActionHideInTray, CriteriaAlways, 30);
    AddRule(L"Plain hide", ActionHide, CriteriaAlways, 30);
    HWND counted = testwin_.Create(L"Countdown");
    HWND plain = testwin_.Create(L"Plain hide");
    auto wrapper = Offer(counted);
    ASSERT_TRUE(wrapper);
    EXPECT_TRUE(wrapper->CountdownRunning());
    auto uncounted = Offer(plain);
    ASSERT_TRUE(uncounted);
    EXPECT_FALSE(uncounted->CountdownRunning());

    wrapper->ExecuteAction(true);
    EXPECT_FALSE(wrapper->CountdownRunning()) << "stopped while the user has the window";
    // Hiding it again by a click does not restart it, a reset refresh does.
    wrapper->ExecuteAction(true);
    EXPECT_FALSE(wrapper->CountdownRunning());
    wrapper->Refresh(true, false);
    EXPECT_TRUE(wrapper->CountdownRunning());
}

TEST_F(CWindowTest, RefreshLetsGoOfAWindowThatNoLongerMatchesOrIsGone) {
    AddRule(L"Watched", ActionHideInTray, CriteriaAlways);
    HWND renamed = testwin_.Create(L"Watched window");
    HWND destroyed = testwin_.Create(L"Watched too");
    auto first = Offer(renamed);
    auto second = Offer(destroyed);
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(Invisible(renamed));

    testwin_.Retitle(renamed, L"Something else");
    first->Refresh(false, false);
    EXPECT_FALSE(Tracked(renamed));
    EXPECT_FALSE(HasTrayIcon(renamed));
    EXPECT_TRUE(Visible(renamed)) << "released windows are shown again";

    // Gone between two calls: every entry point copes and ends tracking.
    testwin_.Destroy(destroyed);
    second->ExecuteAction(true);
    EXPECT_FALSE(Tracked(destroyed));
    EXPECT_FALSE(HasTrayIcon(destroyed));
    second->Refresh(false, false);
    second->Show();
    second->Delete();
    EXPECT_EQ(second->Status(), WindowNotResponding);
    EXPECT_EQ(second->Title(), L"");
    EXPECT_EQ(second->IconHandle(0, false), nullptr);
}

TEST_F(CWindowTest, AHungWindowNeverHoldsUpTheCaller) {
    AddRule(L"Hung", ActionHideInTray, CriteriaAlways);
    HWND window = testwin_.Create(L"Hung window");
    auto wrapper = Offer(window);
    ASSERT_TRUE(wrapper);
    EXPECT_EQ(wrapper->Status(), WindowRunning);

    constexpr DWORD HangMs = 4000;
    ASSERT_TRUE(testwin_.Hang(HangMs));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(wrapper->Status(), WindowNotResponding);
    EXPECT_EQ(wrapper->IconHandle(0, false), nullptr);
    wrapper->ExecuteAction(true);
    wrapper->Refresh(true, false);
    wrapper->Delete();
    const auto waited = std::chrono::steady_clock::now() - start;
    // Each question to the window is given up after the message time-out;
    // none waits for the hang to end.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count(), HangMs);
    EXPECT_FALSE(Tracked(window));
}

TEST_F(CWindowTest, AChangeAHungWindowWouldWaitOnIsMadeOnceItAnswersAndARefusedOneIsSaidOnce) {
    AddRule(L"Fade while hung", ActionTransparency, CriteriaAlways);
    AddRule(L"Top while hung", ActionOnTop, CriteriaAlways);
    HWND faded = testwin_.Create(L"Fade while hung");
    HWND topmost = testwin_.Create(L"Top while hung");
    constexpr DWORD HangMs = 4000;
    ASSERT_TRUE(testwin_.Hang(HangMs));
    auto fading = Offer(faded);
    auto onTop = Offer(topmost);
    ASSERT_TRUE(fading && onTop);
    // The style is left for later and the move posted: neither waited for the hang.
    ASSERT_GT(testwin_.HangLeftMs(), 0u) << "the changes waited for the hung window";
    EXPECT_EQ(fading->Outcome(), ActionOutcome::NotResponding);
    EXPECT_EQ(ExtendedStyle(faded) & WS_EX_LAYERED, 0);
    EXPECT_TRUE(WaitUntil([&] { return (ExtendedStyle(faded) & WS_EX_LAYERED) != 0; }))
        << "the transparency was never made once the window answered";
    EXPECT_TRUE(WaitUntil([&] { return (ExtendedStyle(topmost) & WS_EX_TOPMOST) != 0; }));
    EXPECT_EQ(LayeredAlpha(faded), 128);
    EXPECT_EQ(fading->Outcome(), ActionOutcome::Taken);
    EXPECT_EQ(onTop->Outcome(), ActionOutcome::Taken);

    // A window whose program will not have it on top: a refusal, said once
    // in the log however often the window is tried again.
    AddRule(L"Refuses the top", ActionOnTop, CriteriaAlways);
    HWND refusing = testwin_.Create(L"Refuses the top");
    ASSERT_TRUE(testwin_.Guard(refusing, true));
    ExceptionLogMark mark;
    auto refused = Offer(refusing);
    ASSERT_TRUE(refused);
    ASSERT_TRUE(WaitUntil([&] { return refused->Outcome() == ActionOutcome::Refused; }));
    for (int scan = 0; scan < 3; ++scan) {
        refused->Refresh(false, false);
        WaitUntil([&] { return WaitingWindowCount() == 0; });
    }
    EXPECT_EQ(refused->Outcome(), ActionOutcome::Refused);
    const auto logged = mark.Appended();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].source, L"CWindow.ExecuteAction");
    EXPECT_NE(logged[0].description.find(L"Refuses the top"), std::wstring::npos);

    // A window that stays on the screen keeps no tray icon.
    AddRule(L"Refuses the tray", ActionHideInTray, CriteriaAlways);
    HWND staying = testwin_.Create(L"Refuses the tray");
    ASSERT_TRUE(testwin_.Guard(staying, true));
    auto kept = Offer(staying);
    ASSERT_TRUE(kept);
    ASSERT_TRUE(WaitUntil([&] { return kept->Outcome() == ActionOutcome::Refused; }));
    EXPECT_TRUE(::IsWindowVisible(staying));
    EXPECT_FALSE(HasTrayIcon(staying));
    kept->Refresh(false, false);
    EXPECT_FALSE(HasTrayIcon(staying)) << "a scan gives a refusing window no icon";
    // Once it lets itself be hidden, it is held like any other.
    ASSERT_TRUE(testwin_.Guard(staying, false));
    kept->Refresh(false, false);
    EXPECT_TRUE(WaitUntil([&] { return kept->Outcome() == ActionOutcome::Taken && HasTrayIcon(staying); }));
    EXPECT_TRUE(Invisible(staying));
}

TEST_F(CWindowTest, AProcessRunsAboveThisOneWhenItsTokenSaysSoOrCannotBeRead) {
    EXPECT_FALSE(RunsAboveThisProcess(::GetCurrentProcess()));
    HWND window = testwin_.Create(L"Same level");
    EXPECT_FALSE(WindowRunsElevated(window)) << "a program of the same user at the same level";
    // A process whose token cannot be opened is as closed to this one as a
    // process run as administrator. Wine opens every token a process asks
    // for, so the handle here is one no token can come from.
    platform::UniqueKernelHandle noProcess(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(noProcess);
    EXPECT_TRUE(RunsAboveThisProcess(noProcess.get()));
}

TEST_F(CWindowTest, TitlesAndClassesAreReadWholeFromTheWindow) {
    const std::wstring longTitle = L"Документ — " + std::wstring(300, L'x') + L" 終わり";
    HWND window = testwin_.Create(TestWindowSpec{longTitle, TestWindowKind::Plain, L"Класс окна"});
    auto wrapper = CWindow::Create(nullptr, window, WindowSettings{});
    EXPECT_EQ(wrapper->Title(), longTitle);
    EXPECT_EQ(wrapper->Class(), L"Класс окна");

    // The title of the window's last active pop-up, for a window showing a dialog.
    HWND dialog = testwin_.Create(TestWindowSpec{L"Save changes?", TestWindowKind::OwnedPopup, L"", true, window});
    ::SetForegroundWindow(dialog);
    ASSERT_TRUE(WaitUntil([&] { return ::GetLastActivePopup(window) == dialog; }));
    EXPECT_EQ(wrapper->Title(true), L"Save changes?");
    EXPECT_EQ(wrapper->Title(false), longTitle);
}

TEST_F(CWindowTest, IconsComeFromTheWindowItsClassItsOwnerOrItsProgramFile) {
    // Windows of this process answer icon questions on every platform.
    HICON classBig = ::LoadIconW(nullptr, IDI_APPLICATION);
    HICON classSmall = ::LoadIconW(nullptr, IDI_WARNING);
    HICON ownSmall = ::LoadIconW(nullptr, IDI_INFORMATION);
    HICON newer = ::LoadIconW(nullptr, IDI_ERROR);
    WNDCLASSEXW withIcons{};
    withIcons.cbSize = sizeof withIcons;
    withIcons.lpfnWndProc = ::DefWindowProcW;
    withIcons.hInstance = ::GetModuleHandleW(nullptr);
    withIcons.lpszClassName = L"IconTestWithIcons";
    withIcons.hIcon = classBig;
    withIcons.hIconSm = classSmall;
    ::RegisterClassExW(&withIcons);
    WNDCLASSEXW withoutIcons = withIcons;
    withoutIcons.lpszClassName = L"IconTestWithoutIcons";
    withoutIcons.hIcon = withoutIcons.hIconSm = nullptr;
    ::RegisterClassExW(&withoutIcons);
    auto make = [](const wchar_t* windowClass, HWND owner) {
        return platform::UniqueWindow(::CreateWindowExW(0, windowClass, L"icons", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50,
                                                        owner, nullptr, ::GetModuleHandleW(nullptr), nullptr));
    };
    auto iconic = make(withIcons.lpszClassName, nullptr);
    auto plain = make(withoutIcons.lpszClassName, nullptr);
    auto owned = make(withoutIcons.lpszClassName, iconic.get());

    auto wrapper = CWindow::Create(nullptr, iconic.get(), WindowSettings{});
    EXPECT_EQ(wrapper->IconHandle(0, false), classSmall);
    EXPECT_EQ(wrapper->IconHandle(1, false), classBig);
    EXPECT_EQ(wrapper->IconHandle(2, false), nullptr);
    ::SendMessageW(iconic.get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ownSmall));
    EXPECT_EQ(wrapper->IconHandle(0, false), ownSmall) << "the window's own icon before its class's";

    // Refreshes reuse the small icon a number of times before asking again.
    IconCacheRefreshInterval = 2;
    ::SendMessageW(iconic.get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(newer));
    EXPECT_EQ(wrapper->IconHandle(0, true), ownSmall);
    EXPECT_EQ(wrapper->IconHandle(0, true), ownSmall);
    EXPECT_EQ(wrapper->IconHandle(0, true), newer);

    // No icon of its own: its owner's, else its program file's.
    EXPECT_EQ(CWindow::Create(nullptr, owned.get(), WindowSettings{})->IconHandle(1, false), classBig);
    HICON program = CWindow::Create(nullptr, plain.get(), WindowSettings{})->IconHandle(1, false);
    EXPECT_NE(program, nullptr);
    EXPECT_NE(program, classBig);

    // Another program's window: whatever the platform tells us, an icon.
    HWND foreign = testwin_.Create(L"Foreign icons");
    auto foreignWrapper = CWindow::Create(nullptr, foreign, WindowSettings{});
    EXPECT_NE(foreignWrapper->IconHandle(0, false), nullptr);
    EXPECT_NE(foreignWrapper->IconHandle(1, false), nullptr);
}

TEST_F(CWindowTest, AShownDisplayOnlyWrapperActivatesTheWindowAndTracksNothing) {
    HWND window = testwin_.Create(TestWindowSpec{L"Just show me", TestWindowKind::Plain, L"", true, nullptr, false});
    auto wrapper = CWindow::Create(nullptr, window, WindowSettings{});
    wrapper->Show();
    EXPECT_TRUE(Visible(window));
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window; }));
    EXPECT_FALSE(Tracked(window));
    EXPECT_TRUE(events_.seen.empty());
}

TEST_F(CWindowTest, AWindowsProgramIsItsProcesssImageKeptUntilTheProcessEnds) {
    HWND window = testwin_.Create(L"Whose window am I");
    const std::wstring path = CWindow::ProgramPath(window);
    EXPECT_TRUE(platform::EqualsNoCase(CWindow::ProgramFileName(path), L"testwin.exe")) << platform::Narrow(path);
    EXPECT_NE(path.find(L'\\'), std::wstring::npos) << "the full path";
    OwnWindow own(L"One of ours");
    EXPECT_TRUE(platform::EqualsNoCase(CWindow::ProgramFileName(CWindow::ProgramPath(own.get())), L"app_tests.exe"));
    EXPECT_EQ(CWindow::ProgramPath(nullptr), L"");

    // Another run of the same program is another process; once it has ended,
    // the next process met lets its entry go.
    const size_t known = CWindow::KnownProgramCount();
    HWND gone = nullptr;
    {
        TestWindowProgram shortLived;
        gone = shortLived.Create(L"Soon gone");
        EXPECT_EQ(CWindow::ProgramPath(gone), path);
        EXPECT_EQ(CWindow::KnownProgramCount(), known + 1);
    }
    EXPECT_EQ(CWindow::ProgramPath(gone), L"") << "a window that is gone has no program";
    TestWindowProgram next;
    EXPECT_EQ(CWindow::ProgramPath(next.Create(L"Next")), path);
    EXPECT_EQ(CWindow::KnownProgramCount(), known + 1) << "the ended process is no longer held";
}
