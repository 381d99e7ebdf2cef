// Tracking by window events, in-process: the hook module's filter and sink
// table, the application switching its hook with Enabled and EditMode, the
// program's own tray icon, clicks on tray icons, the record that gives hidden
// windows back after a crash, and exit requests that arrive while busy.
#include <windows.h>
#include <shellapi.h>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "ComClient.h"
#include "EventLog.h"
#include "ExceptionLogReader.h"
#include "FakeTray.h"
#include "RecoveryModule.h"
#include "ScratchRegistry.h"
#include "TrackingFixture.h"
#include "WinEventModule.h"

using namespace testing_support;
using namespace tracking_test;

namespace {

const std::wstring RecoveryKey = L"Software\\Pelkin!\\Recovery";
// Events of each kind no tracking needs, raised by the other program.
constexpr int NoiseRounds = 50;

// Remembers every event its hook passes on.
struct EventRecorder : IWinEvent {
    std::vector<std::pair<DWORD, HWND>> seen;
    void WinEventProc(DWORD eventId, HWND hWnd) override { seen.emplace_back(eventId, hWnd); }
    bool Saw(DWORD eventId, HWND hWnd) const {
        for (const auto& event : seen) {
            if (event == std::make_pair(eventId, hWnd)) return true;
        }
        return false;
    }
};

void Deliver(HWINEVENTHOOK hook, DWORD eventId, HWND window, LONG idObject = OBJID_WINDOW, LONG idChild = CHILDID_SELF) {
    WinEventProc(hook, eventId, window, idObject, idChild, 0, 0);
}

std::wstring RecordOf(HWND window) { return ReadValue(HKEY_CURRENT_USER, RecoveryKey, WindowKey(window)).text; }

}  // namespace

class WinEventModuleTest : public ::testing::Test {
protected:
    TestWindowProgram testwin_;
};

TEST_F(WinEventModuleTest, OnlyWholeWindowEventsOfTheTrackedKindsReachTheReceiverAndEveryAncestor) {
    auto recorder = std::make_shared<EventRecorder>();
    HWINEVENTHOOK hook = WinEventSetHook(recorder, TrackedEventRanges);
    ASSERT_NE(hook, nullptr);
    EXPECT_EQ(WinEventHookCount(), 1u);

    // Real events from the other program. Each window made shows itself,
    // and what happens to a child window reaches the child first, then its
    // parent.
    HWND parent = testwin_.Create(L"Event parent");
    HWND child = testwin_.Create(TestWindowSpec{L"Event child", TestWindowKind::Child, L"", true, parent});
    ASSERT_TRUE(WaitUntil([&] { return recorder->Saw(EVENT_OBJECT_SHOW, child); }));
    const std::vector<std::pair<DWORD, HWND>> shown{
        {EVENT_OBJECT_SHOW, parent}, {EVENT_OBJECT_SHOW, child}, {EVENT_OBJECT_SHOW, parent}};
    EXPECT_EQ(recorder->seen, shown);
    recorder->seen.clear();
    ASSERT_TRUE(testwin_.Retitle(child, L"Event child renamed"));
    ASSERT_TRUE(WaitUntil([&] { return recorder->Saw(EVENT_OBJECT_NAMECHANGE, parent); }));
    const std::vector<std::pair<DWORD, HWND>> chain{{EVENT_OBJECT_NAMECHANGE, child}, {EVENT_OBJECT_NAMECHANGE, parent}};
    EXPECT_EQ(recorder->seen, chain);

    recorder->seen.clear();
    for (DWORD accepted : {EVENT_SYSTEM_MINIMIZESTART, EVENT_SYSTEM_MINIMIZEEND, EVENT_OBJECT_DESTROY,
                           EVENT_OBJECT_SHOW, EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_NAMECHANGE})
        Deliver(hook, accepted, parent);
    EXPECT_EQ(recorder->seen.size(), 6u);
    recorder->seen.clear();
    Deliver(hook, EVENT_OBJECT_LOCATIONCHANGE, parent);
    Deliver(hook, EVENT_OBJECT_CREATE, parent);
    Deliver(hook, EVENT_OBJECT_HIDE, parent);
    // The pointer and the caret show themselves all the time.
    Deliver(hook, EVENT_OBJECT_SHOW, parent, OBJID_CURSOR);
    Deliver(hook, EVENT_OBJECT_SHOW, parent, OBJID_CARET);
    Deliver(hook, EVENT_SYSTEM_FOREGROUND, parent);
    Deliver(hook, EVENT_OBJECT_NAMECHANGE, parent, OBJID_CLIENT);
    Deliver(hook, EVENT_OBJECT_NAMECHANGE, parent, OBJID_WINDOW, 1);
    Deliver(hook, EVENT_OBJECT_NAMECHANGE, nullptr);
    EXPECT_TRUE(recorder->seen.empty());

    // A second hook has its own receiver; clearing the first keeps it.
    auto other = std::make_shared<EventRecorder>();
    HWINEVENTHOOK second = WinEventSetHook(other, TrackedEventRanges);
    ASSERT_NE(second, nullptr);
    WinEventClearHook(hook);
    EXPECT_EQ(recorder.use_count(), 1) << "the cleared hook lets its receiver go";
    EXPECT_EQ(WinEventHookCount(), 1u);
    Deliver(hook, EVENT_OBJECT_NAMECHANGE, parent);
    Deliver(second, EVENT_OBJECT_NAMECHANGE, parent);
    EXPECT_TRUE(recorder->seen.empty()) << "an event of a cleared hook is dropped";
    EXPECT_EQ(other->seen.size(), 1u);
    WinEventClearHook(second);
    WinEventClearHook(nullptr);
    EXPECT_EQ(WinEventHookCount(), 0u);
}

TEST_F(WinEventModuleTest, TheOtherProgramWakesTheHookOnlyForTheEventsItHandlesAndTheHookGoesWhole) {
    auto recorder = std::make_shared<EventRecorder>();
    HWINEVENTHOOK hook = WinEventSetHook(recorder, TrackedEventRanges);
    ASSERT_NE(hook, nullptr);
    EXPECT_EQ(WinEventHookCount(), 1u) << "the ranges are one hook to their caller";

    // Besides what tracking handles, the other program's window is made
    // (Wine raises EVENT_OBJECT_CREATE), hidden, moved and focused: none of
    // that so much as calls the hook.
    const uint64_t callsBefore = WinEventCallbackCount();
    HWND window = testwin_.Create(L"Ranged");
    ASSERT_TRUE(testwin_.Hide(window));
    ASSERT_EQ(testwin_.Announce(NoiseRounds, EVENT_OBJECT_LOCATIONCHANGE), NoiseRounds);
    ASSERT_EQ(testwin_.Announce(NoiseRounds, EVENT_OBJECT_FOCUS), NoiseRounds);
    ASSERT_TRUE(testwin_.Show(window));
    ASSERT_TRUE(testwin_.Minimize(window));
    ASSERT_TRUE(testwin_.Restore(window));
    ASSERT_TRUE(testwin_.Retitle(window, L"Ranged, renamed"));
    ASSERT_TRUE(testwin_.Destroy(window));
    ASSERT_TRUE(WaitUntil([&] { return recorder->Saw(EVENT_OBJECT_DESTROY, window); }));
    const std::vector<std::pair<DWORD, HWND>> handled{
        {EVENT_OBJECT_SHOW, window},        {EVENT_OBJECT_SHOW, window},       {EVENT_SYSTEM_MINIMIZESTART, window},
        {EVENT_OBJECT_STATECHANGE, window}, {EVENT_SYSTEM_MINIMIZEEND, window}, {EVENT_OBJECT_STATECHANGE, window},
        {EVENT_OBJECT_NAMECHANGE, window},  {EVENT_OBJECT_DESTROY, window}};
    EXPECT_EQ(recorder->seen, handled);
    EXPECT_EQ(WinEventCallbackCount() - callsBefore, handled.size());

    // A range the system refuses takes back the ranges hooked before it: the
    // one retitle below calls the hook once, not also through a left-over.
    auto refused = std::make_shared<EventRecorder>();
    const std::array<WinEventRange, 2> badSecond{
        {{EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE}, {EVENT_OBJECT_SHOW, EVENT_OBJECT_DESTROY}}};
    EXPECT_EQ(WinEventSetHook(refused, badSecond), nullptr);
    EXPECT_EQ(refused.use_count(), 1) << "a refused hook keeps no receiver";
    EXPECT_EQ(WinEventHookCount(), 1u);
    HWND other = testwin_.Create(L"Ranged other");
    ASSERT_TRUE(WaitUntil([&] { return recorder->Saw(EVENT_OBJECT_SHOW, other); }));
    recorder->seen.clear();
    const uint64_t callsBeforeRetitle = WinEventCallbackCount();
    ASSERT_TRUE(testwin_.Retitle(other, L"Ranged other, renamed"));
    ASSERT_TRUE(WaitUntil([&] { return recorder->Saw(EVENT_OBJECT_NAMECHANGE, other); }));
    EXPECT_EQ(WinEventCallbackCount() - callsBeforeRetitle, 1u);

    // Cleared, no range is left hooked.
    WinEventClearHook(hook);
    EXPECT_EQ(WinEventHookCount(), 0u);
    EXPECT_EQ(recorder.use_count(), 1);
    auto witness = std::make_shared<EventRecorder>();
    HWINEVENTHOOK witnessHook = WinEventSetHook(witness, EVENT_OBJECT_DESTROY, EVENT_OBJECT_DESTROY);
    ASSERT_NE(witnessHook, nullptr);
    const uint64_t callsAfterClear = WinEventCallbackCount();
    ASSERT_TRUE(testwin_.Retitle(other, L"Ranged other, cleared"));
    ASSERT_TRUE(testwin_.Destroy(other));
    ASSERT_TRUE(WaitUntil([&] { return witness->Saw(EVENT_OBJECT_DESTROY, other); }));
    EXPECT_EQ(WinEventCallbackCount() - callsAfterClear, 1u) << "only the witness's destroy";
    WinEventClearHook(witnessHook);
}

TEST_F(WinEventModuleTest, EventsThatArriveWhileTheProgramIsBusyWaitForItAndRepeatsCollapse) {
    auto recorder = std::make_shared<EventRecorder>();
    HWINEVENTHOOK hook = WinEventSetHook(recorder, TrackedEventRanges);
    ASSERT_NE(hook, nullptr);
    HWND first = testwin_.Create(L"Busy first");
    HWND second = testwin_.Create(L"Busy second");
    ASSERT_TRUE(WaitUntil([&] { return recorder->Saw(EVENT_OBJECT_SHOW, second); }));
    recorder->seen.clear();
    {
        BusyScope outer;
        {
            BusyScope inner;
            Deliver(hook, EVENT_OBJECT_NAMECHANGE, first);
            Deliver(hook, EVENT_SYSTEM_MINIMIZESTART, second);
            Deliver(hook, EVENT_OBJECT_NAMECHANGE, first);
        }
        Deliver(hook, EVENT_OBJECT_DESTROY, first);
        EXPECT_TRUE(recorder->seen.empty()) << "nothing reaches the receiver under busy work";
    }
    const std::vector<std::pair<DWORD, HWND>> inOrder{
        {EVENT_OBJECT_NAMECHANGE, first}, {EVENT_SYSTEM_MINIMIZESTART, second}, {EVENT_OBJECT_DESTROY, first}};
    EXPECT_EQ(recorder->seen, inOrder);
    recorder->seen.clear();
    Deliver(hook, EVENT_OBJECT_NAMECHANGE, first);
    EXPECT_EQ(recorder->seen.size(), 1u) << "delivered at once when idle, also a repeat of an earlier one";
    WinEventClearHook(hook);
}

class WinEventTest : public TrackingTest {
protected:
    // The program's own tray icon has ID 0.
    bool HasProgramIcon() const { return HasTrayIcon(nullptr); }

    // Calls the tray component's event as the component does.
    void FireTrayEvent(DISPID id, std::vector<LONG> arguments) {
        ASSERT_EQ(S_OK, testing_support::FireEvent(app_->KestrixEvents(), id, arguments));
    }
    static LONG IdOf(HWND window) { return static_cast<LONG>(reinterpret_cast<intptr_t>(window)); }

    // A window trayed by an "On Minimize Only" rule.
    HWND TrayedWindow(const std::wstring& title) {
        HWND window = testwin_.Create(title);
        EXPECT_TRUE(testwin_.Minimize(window));
        EXPECT_TRUE(WaitUntil([&] { return HasTrayIcon(window) && !::IsWindowVisible(window); }));
        return window;
    }
};

TEST_F(WinEventTest, TheHookTakesWindowsByTheirEventsOnlyWhileEnabledAndOutOfEditMode) {
    AddRule(L"Hooked", ActionHideInTray, CriteriaAlways);
    AddRule(L"Minimizable", ActionHideInTray, CriteriaOnMinimize);
    EXPECT_FALSE(app_->Tracking());
    app_->SetEnabled(true);
    ASSERT_TRUE(app_->Tracking());

    HWND renamed = testwin_.Create(L"Untitled");
    HWND minimized = testwin_.Create(L"Minimizable window");
    ASSERT_TRUE(testwin_.Retitle(renamed, L"Hooked one"));
    ASSERT_TRUE(testwin_.Minimize(minimized));
    EXPECT_TRUE(WaitUntil([&] { return Tracked(renamed) && HasTrayIcon(renamed) && Tracked(minimized); }));
    EXPECT_TRUE(Invisible(renamed));
    EXPECT_EQ(TrayTip(renamed), L"Hooked one");
    ASSERT_TRUE(testwin_.Destroy(renamed));
    EXPECT_TRUE(WaitUntil([&] { return !Tracked(renamed) && !HasTrayIcon(renamed); }));

    // Events for the program's own windows change nothing, whatever delivers them.
    OwnWindow own(L"Hooked mine");
    HWINEVENTHOOK direct = WinEventSetHook(app_->Tracker().shared_from_this(), TrackedEventRanges);
    ASSERT_NE(direct, nullptr);
    Deliver(direct, EVENT_OBJECT_NAMECHANGE, own.get());
    Deliver(direct, EVENT_OBJECT_NAMECHANGE, MainWindowHandle);
    WinEventClearHook(direct);
    EXPECT_FALSE(Tracked(own.get()));
    EXPECT_FALSE(Tracked(MainWindowHandle));
    EXPECT_TRUE(::IsWindowVisible(own.get()));

    // Switched off: no hook, trayed windows keep their icons, new ones are left alone.
    auto witness = std::make_shared<EventRecorder>();
    HWINEVENTHOOK witnessHook = WinEventSetHook(witness, TrackedEventRanges);
    app_->SetEnabled(false);
    EXPECT_FALSE(app_->Tracking());
    EXPECT_EQ(TrayTip(nullptr), L"Pelkin! (Disabled)");
    EXPECT_TRUE(HasTrayIcon(minimized));
    HWND later = testwin_.Create(L"Untitled later");
    ASSERT_TRUE(testwin_.Retitle(later, L"Hooked two"));
    ASSERT_TRUE(WaitUntil([&] { return witness->Saw(EVENT_OBJECT_NAMECHANGE, later); }));
    EXPECT_FALSE(Tracked(later));
    // Switched on: the full pass takes it at once.
    app_->SetEnabled(true);
    EXPECT_TRUE(Tracked(later));
    EXPECT_EQ(TrayTip(nullptr), L"Pelkin!");

    // Edit mode is off for tracking too; leaving it rescans.
    app_->SetEditMode(true);
    EXPECT_FALSE(app_->Tracking());
    HWND edited = testwin_.Create(L"Untitled edited");
    ASSERT_TRUE(testwin_.Retitle(edited, L"Hooked three"));
    ASSERT_TRUE(WaitUntil([&] { return witness->Saw(EVENT_OBJECT_NAMECHANGE, edited); }));
    EXPECT_FALSE(Tracked(edited));
    app_->SetEditMode(false);
    EXPECT_TRUE(Tracked(edited));
    EXPECT_TRUE(app_->Tracking());

    // A rule-list refresh keeps the one hook.
    app_->RefreshWindows(false);
    EXPECT_TRUE(app_->Tracking());
    EXPECT_EQ(WinEventHookCount(), 2u) << "the application's and the witness's";
    WinEventClearHook(witnessHook);
}

TEST_F(WinEventTest, AWindowIsTakenWhenItShowsUnderAlwaysAndOnlyOnceMinimizedUnderOnMinimize) {
    AddRule(L"Shown always", ActionHideInTray, CriteriaAlways);
    AddRule(L"Shown hidden", ActionHide, CriteriaAlways);
    AddRule(L"Shown minimizable", ActionHideInTray, CriteriaOnMinimize);
    app_->SetEnabled(true);

    // Made hidden with its final title, then shown: the show is the only event.
    HWND minimizable = testwin_.Create(TestWindowSpec{L"Shown minimizable", TestWindowKind::Plain, L"", true, nullptr, false});
    HWND always = testwin_.Create(TestWindowSpec{L"Shown always", TestWindowKind::Plain, L"", true, nullptr, false});
    ASSERT_TRUE(minimizable && always);
    EXPECT_FALSE(Tracked(always)) << "made hidden, nothing to take yet";
    ASSERT_TRUE(testwin_.Show(minimizable));
    ASSERT_TRUE(testwin_.Show(always));
    EXPECT_TRUE(WaitUntil([&] { return Tracked(always) && HasTrayIcon(always); }));
    EXPECT_TRUE(Invisible(always));
    // Its show came first, so it has been handled by now.
    EXPECT_FALSE(Tracked(minimizable));
    EXPECT_TRUE(::IsWindowVisible(minimizable));
    ASSERT_TRUE(testwin_.Minimize(minimizable));
    EXPECT_TRUE(WaitUntil([&] { return Tracked(minimizable) && HasTrayIcon(minimizable); }));

    // A window made visible shows itself as well.
    HWND hidden = testwin_.Create(L"Shown hidden");
    EXPECT_TRUE(WaitUntil([&] { return Tracked(hidden); }));
    EXPECT_TRUE(Invisible(hidden));
    // "Always" means always: shown again by its program, it is hidden again...
    ASSERT_TRUE(testwin_.Show(hidden));
    EXPECT_TRUE(Invisible(hidden));
    // ...unless tracked windows are left as they are.
    app_->SetRuleOptions(SearchUnwatchedWindowsOnly, true);
    ASSERT_TRUE(testwin_.Show(hidden));
    // Events come in order and testwin hides in order: once the window
    // shown after it is hidden, a hide asked for the first would be done.
    HWND barrier = testwin_.Create(L"Shown hidden, later");
    EXPECT_TRUE(WaitUntil([&] { return Tracked(barrier); }));
    EXPECT_TRUE(Invisible(barrier));
    EXPECT_TRUE(::IsWindowVisible(hidden));
    app_->SetRuleOptions(SearchUnwatchedWindowsOnly, false);

    // Shown by the user from the tray, a window stays shown when the show's
    // own event comes back (Windows raises one for every window we show).
    HWINEVENTHOOK direct = WinEventSetHook(app_->Tracker().shared_from_this(), TrackedEventRanges);
    ASSERT_NE(direct, nullptr);
    TheApp->Tracker().Find(WindowKey(always))->ExecuteAction(true);
    ASSERT_TRUE(Visible(always));
    Deliver(direct, EVENT_OBJECT_SHOW, always);
    ASSERT_TRUE(WindowAnswers(always, 5000));
    EXPECT_TRUE(::IsWindowVisible(always));
    EXPECT_TRUE(HasTrayIcon(always)) << "an \"Always\" window keeps its icon while shown";

    // Shows of windows no rule may take change nothing: the program's own,
    // a child control, and a window hidden again before its show was handled.
    OwnWindow own(L"Shown always, mine");
    HWND parent = testwin_.Create(L"Parent of a shown control");
    HWND child = testwin_.Create(TestWindowSpec{L"Shown always control", TestWindowKind::Child, L"", true, parent});
    HWND gone = testwin_.Create(TestWindowSpec{L"Shown always, hidden again", TestWindowKind::Plain, L"", true, nullptr, false});
    ASSERT_TRUE(parent && child && gone);
    for (HWND window : {own.get(), child, gone, MainWindowHandle}) Deliver(direct, EVENT_OBJECT_SHOW, window);
    WinEventClearHook(direct);
    for (HWND window : {own.get(), child, parent, gone, MainWindowHandle}) EXPECT_FALSE(Tracked(window));
    EXPECT_TRUE(::IsWindowVisible(own.get()) && ::IsWindowVisible(child) && ::IsWindowVisible(parent));
    EXPECT_FALSE(HasTrayIcon(gone));
}

TEST_F(WinEventTest, AWindowChangedWhileTheFullPassRunsIsTakenAfterIt) {
    AddRule(L"Gap trayed", ActionHideInTray, CriteriaAlways);
    AddRule(L"Gap late", ActionHide, CriteriaAlways);
    HWND trayed = testwin_.Create(L"Gap trayed");
    // Made later, so above the other: the pass reaches it first, untitled.
    HWND late = testwin_.Create(L"Untitled");
    FakeTray tray;
    bool retitled = false;
    // While the pass waits on the shell for the first window's icon, the
    // other program retitles the window the pass has already gone by.
    tray.OnRequest([&](DWORD request) {
        if (request != NIM_ADD || retitled) return;
        retitled = true;
        testwin_.Retitle(late, L"Gap late");
    });
    app_->SetEnabled(true);
    ASSERT_TRUE(retitled);
    EXPECT_TRUE(Tracked(trayed));
    EXPECT_TRUE(WaitUntil([&] { return Tracked(late); })) << "the event raised during the pass is not lost";
    EXPECT_TRUE(Invisible(late));
}

TEST_F(WinEventTest, TheProgramIconFollowsEnabledAndHideIcon) {
    // No rules: started switched off.
    ASSERT_TRUE(HasProgramIcon());
    EXPECT_EQ(TrayTip(nullptr), L"Pelkin! (Disabled)");
    AddRule(L"Trayed", ActionHideInTray, CriteriaOnMinimize);
    app_->SetEnabled(true);
    EXPECT_EQ(TrayTip(nullptr), L"Pelkin!");

    app_->SetHideIcon(HideIconAlways);
    EXPECT_FALSE(HasProgramIcon());
    app_->SetHideIcon(HideIconWhileTrayed);
    EXPECT_TRUE(HasProgramIcon()) << "no window is in the tray";
    HWND first = TrayedWindow(L"Trayed first");
    EXPECT_FALSE(HasProgramIcon()) << "the first trayed window takes its place";
    HWND second = TrayedWindow(L"Trayed second");
    TheApp->Tracker().Find(WindowKey(first))->ExecuteAction(true);
    EXPECT_FALSE(HasTrayIcon(first));
    EXPECT_FALSE(HasProgramIcon()) << "one window is still in the tray";
    TheApp->Tracker().Find(WindowKey(second))->Delete();
    EXPECT_TRUE(HasProgramIcon()) << "the last one left";

    TrayedWindow(L"Trayed third");
    app_->SetHideIcon(HideIconNever);
    EXPECT_TRUE(HasProgramIcon());
    // An unknown HideIcon value is refused, logged, and the program goes on.
    const ExceptionLogMark log;
    app_->SetHideIcon(7);
    EXPECT_EQ(log.Appended(),
              (std::vector<LoggedFailure>{{L"380", L"Invalid property value", L"CApplication.Refresh"}}));
    EXPECT_TRUE(HasProgramIcon()) << "a refused value changes no icon";
    app_->SetHideIcon(HideIconNever);
}

TEST_F(WinEventTest, ClicksOnTrayIconsRunTheConfiguredActions) {
    AddRule(L"Trayed", ActionHideInTray, CriteriaOnMinimize);
    app_->SetEnabled(true);

    // Defaults: a left click restores at once (no double click to wait for).
    HWND window = TrayedWindow(L"Trayed clicked");
    FireTrayEvent(MouseUpEventId, {IdOf(window), LeftButton, 10, 10});
    EXPECT_TRUE(Visible(window));
    EXPECT_FALSE(HasTrayIcon(window));
    EXPECT_FALSE(Tracked(window)) << "restoring ends an \"On Minimize Only\" window's tracking";

    // With a double-click action too, the release does nothing and the
    // held-back click acts.
    app_->SetMouseOptionsWindow(LeftDoubleClick, WindowIconRestore);
    window = TrayedWindow(L"Trayed double");
    FireTrayEvent(MouseUpEventId, {IdOf(window), LeftButton, 10, 10});
    EXPECT_TRUE(HasTrayIcon(window));
    FireTrayEvent(ClickEventId, {IdOf(window), LeftButton});
    EXPECT_TRUE(Visible(window));
    EXPECT_FALSE(HasTrayIcon(window));

    // The right double click runs its own action; the middle button counts as the left.
    app_->SetMouseOptionsWindow(RightDoubleClick, WindowIconRestore);
    window = TrayedWindow(L"Trayed right");
    FireTrayEvent(DblClickEventId, {IdOf(window), RightButton});
    EXPECT_TRUE(Visible(window));
    window = TrayedWindow(L"Trayed middle");
    FireTrayEvent(DblClickEventId, {IdOf(window), 4});
    EXPECT_TRUE(Visible(window));

    // An icon whose window is not tracked goes instead of acting.
    platform::Variant noIcon = platform::Variant::FromInt32(0);
    ASSERT_EQ(S_OK, app_->Kestrix()->Add(4242, noIcon.get(), platform::Bstr(L"stale").get(), VARIANT_TRUE));
    FireTrayEvent(ClickEventId, {4242, LeftButton});
    EXPECT_FALSE(HasTrayIcon(reinterpret_cast<HWND>(4242)));

    // A window that went away unseen (no hook while editing): passing over
    // its icon lets it go; so does asking for its window menu.
    app_->SetMouseOptionsWindow(RightDoubleClick, WindowIconNotConfigured);
    window = TrayedWindow(L"Trayed vanishing");
    HWND other = TrayedWindow(L"Trayed vanishing too");
    app_->SetEditMode(true);
    ASSERT_TRUE(testwin_.Destroy(window));
    ASSERT_TRUE(testwin_.Destroy(other));
    FireTrayEvent(MouseMoveEventId, {IdOf(window), LeftButton, 10, 10});
    EXPECT_FALSE(Tracked(window));
    EXPECT_FALSE(HasTrayIcon(window));
    FireTrayEvent(MouseUpEventId, {IdOf(other), RightButton, 10, 10});
    EXPECT_FALSE(Tracked(other));
    EXPECT_FALSE(HasTrayIcon(other));
    app_->SetEditMode(false);
}

TEST_F(WinEventTest, WindowsWhoseActionIsInForceAreRecordedUntilGivenBack) {
    AddRule(L"Hidden", ActionHide, CriteriaAlways);
    AddRule(L"Clear", ActionTransparency, CriteriaAlways);
    AddRule(L"Left alone", ActionIgnore, CriteriaAlways);
    HWND hidden = testwin_.Create(L"Hidden window");
    HWND clear = testwin_.Create(L"Clear window");
    HWND ignored = testwin_.Create(L"Left alone window");
    const std::wstring process = std::to_wstring(testwin_.ProcessId());
    ASSERT_TRUE(Offer(hidden));
    ASSERT_TRUE(Offer(clear));
    ASSERT_TRUE(Offer(ignored));
    EXPECT_EQ(RecordOf(hidden), std::to_wstring(ActionHide) + L" " + process);
    EXPECT_EQ(RecordOf(clear), std::to_wstring(ActionTransparency) + L" " + process);
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, RecoveryKey, WindowKey(ignored)).exists) << "nothing to give back";

    // The record is volatile, the program's key beside it is not.
    platform::UniqueHKey child;
    EXPECT_EQ(ERROR_CHILD_MUST_BE_VOLATILE,
              ::RegCreateKeyExW(HKEY_CURRENT_USER, (RecoveryKey + L"\\Lasting").c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, child.put(), nullptr));
    EXPECT_TRUE(app_->Rules().Save());

    TheApp->Tracker().Find(WindowKey(hidden))->Delete();
    TheApp->Tracker().Find(WindowKey(clear))->ExecuteAction(true);
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, RecoveryKey, WindowKey(hidden)).exists);
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, RecoveryKey, WindowKey(clear)).exists) << "shown, the action is lifted";
}

TEST_F(WinEventTest, AFollowingStartGivesBackOnlyWindowsStillOfTheirProcess) {
    HWND left = testwin_.Create(L"Left hidden");
    HWND reused = testwin_.Create(L"Handle of another program now");
    HWND layered = testwin_.Create(L"Left transparent");
    ASSERT_TRUE(testwin_.Hide(left));
    ASSERT_TRUE(testwin_.Hide(reused));
    ::SetWindowLongPtrW(layered, GWL_EXSTYLE, ::GetWindowLongPtrW(layered, GWL_EXSTYLE) | WS_EX_LAYERED);
    const std::wstring process = std::to_wstring(testwin_.ProcessId());
    WriteText(HKEY_CURRENT_USER, RecoveryKey, WindowKey(left), L"1 " + process);
    WriteText(HKEY_CURRENT_USER, RecoveryKey, WindowKey(reused), L"0 " + std::to_wstring(testwin_.ProcessId() + 4));
    WriteText(HKEY_CURRENT_USER, RecoveryKey, WindowKey(layered), L"3 " + process);
    WriteText(HKEY_CURRENT_USER, RecoveryKey, L"123456", L"1 " + process);
    WriteText(HKEY_CURRENT_USER, RecoveryKey, L"not a handle", L"1 " + process);
    WriteText(HKEY_CURRENT_USER, RecoveryKey, WindowKey(left) + L"0", L"hidden by someone");
    WriteNumber(HKEY_CURRENT_USER, RecoveryKey, L"77", 1);

    EXPECT_EQ(RestoreRecordedWindows(), 2);
    EXPECT_TRUE(Visible(left));
    EXPECT_FALSE(::GetWindowLongPtrW(layered, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_FALSE(::IsWindowVisible(reused)) << "a window of another process is not ours to show";
    platform::UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER, RecoveryKey.c_str(), 0, KEY_READ, key.put()));
    DWORD values = 1;
    ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr);
    EXPECT_EQ(values, 0u) << "every entry is used up";
}

TEST_F(WinEventTest, AnExitRequestThatArrivesWhileBusyIsCarriedOutAfterwards) {
    HWND main = MainWindowHandle;
    {
        BusyScope busy;
        form_->Close(frmMain::UnloadMode::ControlMenu);
        form_->Close(frmMain::UnloadMode::WindowsShutdown);
        EXPECT_TRUE(::IsWindow(main));
        EXPECT_TRUE(TheApp) << "nothing is torn down under the busy work";
    }
    // Windows shutting down outranks the user's request: no question is asked.
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(main); }));
    EXPECT_FALSE(TheApp);
}
