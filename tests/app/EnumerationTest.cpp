// Which windows the tracking step, the switcher list and the task list take,
// the rule views over the registry, and the small window utilities.
#include <algorithm>

#include "CWindows.h"
#include "ScratchRegistry.h"
#include "TrackingFixture.h"

using namespace testing_support;
using namespace tracking_test;

namespace {

bool Listed(const std::vector<std::shared_ptr<CWindow>>& list, HWND window) {
    return std::any_of(list.begin(), list.end(), [&](const auto& wrapper) { return wrapper->hWnd() == window; });
}

}  // namespace

class EnumerationTest : public TrackingTest {};

TEST_F(EnumerationTest, TheTrackingStepTakesOnlyWindowsTheSearchOptionsAllow) {
    AddRule(L"Scan", ActionIgnore, CriteriaAlways);
    HWND plain = testwin_.Create(L"Scan plain");
    HWND hidden = testwin_.Create(TestWindowSpec{L"Scan hidden", TestWindowKind::Plain, L"", true, nullptr, false});
    HWND parent = testwin_.Create(L"Parent of nothing");
    HWND child = testwin_.Create(TestWindowSpec{L"Scan child", TestWindowKind::Child, L"", true, parent});
    HWND owned = testwin_.Create(TestWindowSpec{L"Scan owned", TestWindowKind::OwnedPopup, L"", true, parent});
    OwnWindow own(L"Scan mine");
    OwnWindow ownedByMain(L"Scan owned by the main window", MainWindowHandle);

    TheApp->Tracker().OfferAll();
    TheApp->Tracker().Offer(child, false);
    TheApp->Tracker().Offer(own.get(), false);
    EXPECT_TRUE(Tracked(plain));
    EXPECT_FALSE(Tracked(hidden)) << "invisible windows are not matched";
    EXPECT_FALSE(Tracked(child)) << "windows with a parent are not matched";
    EXPECT_FALSE(Tracked(owned)) << "an owned pop-up has its owner as parent";
    EXPECT_FALSE(Tracked(own.get())) << "the program's own windows are never matched";
    EXPECT_FALSE(Tracked(ownedByMain.get()));
    EXPECT_FALSE(Tracked(MainWindowHandle));

    app_->SetRuleOptions(SearchVisibleWindowsOnly, false);
    app_->SetRuleOptions(SearchTopLevelWindowsOnly, false);
    TheApp->Tracker().Offer(hidden, false);
    TheApp->Tracker().Offer(child, false);
    TheApp->Tracker().Offer(own.get(), false);
    EXPECT_TRUE(Tracked(hidden));
    EXPECT_TRUE(Tracked(child));
    EXPECT_FALSE(Tracked(own.get()));
    // With "top level only" on again, a tracked child is let go at its next refresh.
    app_->SetRuleOptions(SearchTopLevelWindowsOnly, true);
    TheApp->Tracker().Find(WindowKey(child))->Refresh(false, false);
    EXPECT_FALSE(Tracked(child));
}

TEST_F(EnumerationTest, AWindowTheRulesTurnedAwayIsAskedAgainOnceItsTitleOrTheRulesChange) {
    auto rule = AddRule(L"Remembered", ActionHide, CriteriaAlways);
    AddRule(L"Minimizable", ActionHide, CriteriaOnMinimize);
    HWND retitled = testwin_.Create(L"Elsewhere one");
    HWND forNewRule = testwin_.Create(L"Elsewhere two");
    HWND forEditedRule = testwin_.Create(L"Elsewhere three");
    HWND destroyed = testwin_.Create(L"Elsewhere four");
    HWND minimizable = testwin_.Create(L"Minimizable later");
    TheApp->Tracker().ForgetPassedOverWindows();
    for (HWND window : {retitled, forNewRule, forEditedRule, destroyed, minimizable}) EXPECT_FALSE(Offer(window));
    // Turned away by its state, not its text: not remembered.
    EXPECT_EQ(TheApp->Tracker().PassedOverWindowCount(), 4u);
    ASSERT_TRUE(testwin_.Minimize(minimizable));
    ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(minimizable) != FALSE; }));
    EXPECT_TRUE(Offer(minimizable));

    // No event needed: the title read tells a retitled window.
    ASSERT_TRUE(testwin_.Retitle(retitled, L"Remembered one"));
    EXPECT_TRUE(Offer(retitled));
    // Destroyed once tracked, it goes from the list too.
    ASSERT_TRUE(testwin_.Destroy(retitled));
    TheApp->Tracker().Offer(retitled, true);
    EXPECT_FALSE(Tracked(retitled));
    EXPECT_EQ(TheApp->Tracker().PassedOverWindowCount(), 3u);
    // A rule added, or one whose title changes, may take what none did.
    EXPECT_FALSE(Offer(forNewRule));
    AddRule(L"Elsewhere two", ActionHide, CriteriaAlways);
    EXPECT_TRUE(Offer(forNewRule));
    EXPECT_FALSE(Offer(forEditedRule));
    rule->SetTitle(L"three");
    EXPECT_TRUE(Offer(forEditedRule));

    // A destroyed window is forgotten with its handle.
    EXPECT_FALSE(Offer(destroyed));
    EXPECT_EQ(TheApp->Tracker().PassedOverWindowCount(), 1u);
    ASSERT_TRUE(testwin_.Destroy(destroyed));
    TheApp->Tracker().Offer(destroyed, true);
    EXPECT_EQ(TheApp->Tracker().PassedOverWindowCount(), 0u);
}

TEST_F(EnumerationTest, KnownWindowsAreRefreshedOrReleasedAndTheReleaseOfAStrangerChangesNothing) {
    AddRule(L"Known", ActionHide, CriteriaAlways);
    HWND window = testwin_.Create(L"Known window");
    HWND stranger = testwin_.Create(L"Stranger");
    ASSERT_TRUE(Offer(window));
    ASSERT_TRUE(Invisible(window));
    // Hidden by us, the window is still refreshed although invisible windows
    // are not matched anew.
    testwin_.Retitle(window, L"Renamed");
    app_->SetRuleOptions(SearchUnwatchedWindowsOnly, true);
    TheApp->Tracker().Offer(window, false);
    EXPECT_TRUE(Tracked(window)) << "unwatched windows only: a tracked window is left alone";
    app_->SetRuleOptions(SearchUnwatchedWindowsOnly, false);
    TheApp->Tracker().Offer(window, false);
    EXPECT_FALSE(Tracked(window)) << "refreshed, and no longer matching";
    EXPECT_TRUE(Visible(window));

    testwin_.Retitle(window, L"Known again");
    ASSERT_TRUE(Offer(window));
    events_.seen.clear();
    TheApp->Tracker().Offer(stranger, true);
    EXPECT_TRUE(events_.seen.empty());
    TheApp->Tracker().Offer(window, true);
    EXPECT_FALSE(Tracked(window));
    EXPECT_EQ((std::vector<std::wstring>{L"Remove"}), events_.seen);
}

TEST_F(EnumerationTest, TheFirstMatchingEnabledRuleTakesTheWindowAndItsViewSeesOnlyItsOwn) {
    auto disabled = AddRule(L"Order", ActionHide, CriteriaAlways);
    disabled->SetEnabled(false);
    auto first = AddRule(L"Order", ActionIgnore, CriteriaAlways);
    auto second = AddRule(L"Order", ActionHide, CriteriaAlways);
    auto other = AddRule(L"Different", ActionIgnore, CriteriaAlways);
    HWND a = testwin_.Create(L"Order A");
    HWND b = testwin_.Create(L"Order B");
    HWND c = testwin_.Create(L"Different C");
    for (HWND window : {a, b, c}) ASSERT_TRUE(Offer(window));

    EXPECT_EQ(TheApp->Tracker().Find(WindowKey(a))->Parent(), first);
    EXPECT_EQ(TheApp->Tracker().At(1)->hWnd(), a);
    EXPECT_EQ(TheApp->Tracker().At(3)->hWnd(), c);
    EXPECT_EQ(TheApp->Tracker().At(4), nullptr);
    EXPECT_EQ(TheApp->Tracker().At(0), nullptr);
    EXPECT_EQ(TheApp->Tracker().Find(L"not a handle"), nullptr);
    // Item answers for any tracked window, whichever rule has it.
    EXPECT_EQ(second->Windows().Item(c)->Parent(), other);

    first->Windows().RemoveAll();
    EXPECT_FALSE(Tracked(a));
    EXPECT_FALSE(Tracked(b));
    EXPECT_TRUE(Tracked(c));
    other->Windows().Remove(c);
    EXPECT_FALSE(Tracked(c));
    EXPECT_EQ(app_->Windows().Count(), 0);
}

TEST_F(EnumerationTest, RemovingARuleReleasesEveryWindowItTracked) {
    AddRule(L"Release", ActionHideInTray, CriteriaAlways);
    AddRule(L"Stay", ActionHideInTray, CriteriaAlways);
    HWND first = testwin_.Create(L"Release one");
    HWND second = testwin_.Create(L"Release two");
    HWND kept = testwin_.Create(L"Stay here");
    for (HWND window : {first, second, kept}) ASSERT_TRUE(Offer(window));

    app_->Rules().Remove(std::wstring(L"Rule 1"));
    for (HWND window : {first, second}) {
        EXPECT_FALSE(Tracked(window));
        EXPECT_FALSE(HasTrayIcon(window));
        EXPECT_TRUE(Visible(window));
    }
    EXPECT_TRUE(Tracked(kept));
    EXPECT_TRUE(HasTrayIcon(kept));
}

TEST_F(EnumerationTest, TheSwitcherOffersWhatTheTaskSwitcherWould) {
    HWND plain = testwin_.Create(L"Switch plain");
    HWND tool = testwin_.Create(TestWindowSpec{L"Switch tool", TestWindowKind::Tool});
    HWND app = testwin_.Create(TestWindowSpec{L"Switch app", TestWindowKind::App});
    HWND bare = testwin_.Create(TestWindowSpec{L"Switch bare", TestWindowKind::Bare});
    HWND ownedShown = testwin_.Create(TestWindowSpec{L"Switch owned", TestWindowKind::OwnedPopup, L"", true, plain});
    HWND hiddenOwner = testwin_.Create(TestWindowSpec{L"Switch hidden owner", TestWindowKind::Plain, L"", true, nullptr, false});
    HWND ownedHidden =
        testwin_.Create(TestWindowSpec{L"Switch owned by hidden", TestWindowKind::OwnedPopup, L"", true, hiddenOwner});
    HWND disabled = testwin_.Create(TestWindowSpec{L"Switch disabled", TestWindowKind::Plain, L"", true, nullptr, true, true});
    HWND invisible = testwin_.Create(TestWindowSpec{L"Switch invisible", TestWindowKind::Plain, L"", true, nullptr, false});

    const auto& list = ListAltTabWindows();
    EXPECT_TRUE(Listed(list, plain));
    EXPECT_FALSE(Listed(list, tool));
    EXPECT_TRUE(Listed(list, app)) << "an app window is offered even as a tool window without a caption";
    EXPECT_FALSE(Listed(list, bare));
    EXPECT_FALSE(Listed(list, ownedShown)) << "its owner stands for it";
    EXPECT_TRUE(Listed(list, ownedHidden));
    EXPECT_FALSE(Listed(list, disabled));
    EXPECT_FALSE(Listed(list, invisible));
    EXPECT_EQ(&list, &DisplayWindows());
    for (const auto& wrapper : list) {
        EXPECT_EQ(wrapper->Action(), ActionNone);
        EXPECT_EQ(wrapper->Criteria(), CriteriaNone);
        EXPECT_EQ(wrapper->Alpha(), 128);
        EXPECT_EQ(wrapper->Parent(), nullptr);
    }
    EXPECT_EQ(app_->Windows().Count(), 0) << "display-only wrappers are never registered";
}

TEST_F(EnumerationTest, TheTaskListHoldsVisibleUnownedTitledWindowsButNeverTheDesktop) {
    HWND plain = testwin_.Create(L"Task plain");
    HWND untitled = testwin_.Create(L"");
    HWND owned = testwin_.Create(TestWindowSpec{L"Task owned", TestWindowKind::OwnedPopup, L"", true, plain});
    HWND invisible = testwin_.Create(TestWindowSpec{L"Task invisible", TestWindowKind::Plain, L"", true, nullptr, false});
    HWND tool = testwin_.Create(TestWindowSpec{L"Task tool", TestWindowKind::Tool});
    HWND desktop = testwin_.Create(TestWindowSpec{L"Program Manager", TestWindowKind::Plain, L"Progman"});

    const auto& list = ListTaskWindows();
    EXPECT_TRUE(Listed(list, plain));
    EXPECT_TRUE(Listed(list, tool));
    EXPECT_FALSE(Listed(list, untitled));
    EXPECT_FALSE(Listed(list, owned));
    EXPECT_FALSE(Listed(list, invisible));
    EXPECT_FALSE(Listed(list, desktop));
    // The two lists share one variable: only the one built last is there.
    ListAltTabWindows();
    EXPECT_FALSE(Listed(DisplayWindows(), tool));
}

TEST(WindowUtilitiesTest, PointsOnEveryEdgeAreInsideAndOpacityOfOwnWindowsComesAndGoes) {
    const RECT rect{10, 20, 30, 40};
    EXPECT_TRUE(IsPointInRect(10, 20, rect));
    EXPECT_TRUE(IsPointInRect(30, 40, rect));
    EXPECT_TRUE(IsPointInRect(20, 30, rect));
    EXPECT_FALSE(IsPointInRect(9, 30, rect));
    EXPECT_FALSE(IsPointInRect(20, 41, rect));

    OwnWindow window(L"Opacity");
    auto layered = [&] { return (::GetWindowLongPtrW(window.get(), GWL_EXSTYLE) & WS_EX_LAYERED) != 0; };
    SetWindowAlpha(window.get(), 255);
    EXPECT_FALSE(layered());
    SetWindowAlpha(window.get(), 90);
    EXPECT_TRUE(layered());
    BYTE alpha = 0;
    ::GetLayeredWindowAttributes(window.get(), nullptr, &alpha, nullptr);
    EXPECT_EQ(alpha, 90);
    SetWindowAlpha(window.get(), 150);
    ::GetLayeredWindowAttributes(window.get(), nullptr, &alpha, nullptr);
    EXPECT_EQ(alpha, 90) << "a layered window keeps its opacity";
    SetWindowAlpha(window.get(), 255);
    EXPECT_FALSE(layered());
}

TEST_F(EnumerationTest, ARuleListRefreshReappliesOrReleasesButWaitsWhileRulesAreBeingEdited) {
    auto first = AddRule(L"Refreshed", ActionHide, CriteriaAlways);
    auto second = AddRule(L"Refreshed", ActionIgnore, CriteriaAlways);
    HWND window = testwin_.Create(L"Refreshed window");
    ASSERT_TRUE(Offer(window));
    ASSERT_TRUE(Invisible(window));
    app_->Rules().Move(std::wstring(L"Rule 2"), MoveUp);
    ASSERT_TRUE(app_->EditMode());

    // While rules are edited nothing is scanned or refreshed.
    HWND later = testwin_.Create(L"Refreshed later");
    app_->SetEnabled(true);
    app_->RefreshWindows(false);
    EXPECT_FALSE(Tracked(later));

    // Leaving edit mode scans every window: the new one goes to the rule now
    // first, the tracked one stays with its own rule and, shown by the user,
    // stays shown.
    TheApp->Tracker().Find(WindowKey(window))->ExecuteAction(true);
    ASSERT_TRUE(Visible(window));
    app_->SetEditMode(false);
    ASSERT_TRUE(Tracked(later));
    EXPECT_EQ(TheApp->Tracker().Find(WindowKey(later))->Parent(), second);
    EXPECT_EQ(TheApp->Tracker().Find(WindowKey(window))->Parent(), first);
    EXPECT_TRUE(::IsWindowVisible(window));

    // A refresh of the list cancels the user's showing.
    app_->RefreshWindows(false);
    EXPECT_TRUE(Invisible(window));

    // A reset releases every window; the pass that follows takes them afresh,
    // by the rules' present order.
    const auto before = TheApp->Tracker().Find(WindowKey(window));
    app_->RefreshWindows(true);
    const auto after = TheApp->Tracker().Find(WindowKey(window));
    ASSERT_TRUE(after);
    EXPECT_NE(after, before);
    EXPECT_EQ(after->Parent(), second);
    // With tracking off, no pass follows.
    app_->SetEnabled(false);
    app_->RefreshWindows(true);
    EXPECT_EQ(app_->Windows().Count(), 0);
    EXPECT_TRUE(Visible(window));
}

TEST_F(EnumerationTest, StoredRulesTakeMatchingWindowsAtStartAndLetThemGoAtTheEnd) {
    Stop();
    const std::wstring key = L"Software\\Pelkin!\\Rules\\Start hidden";
    WriteNumber(HKEY_CURRENT_USER, key, L"Action", ActionHideInTray);
    WriteNumber(HKEY_CURRENT_USER, key, L"Criteria", CriteriaAlways);
    WriteText(HKEY_CURRENT_USER, key, L"Title", L"Hidden from the start");
    WriteNumber(HKEY_CURRENT_USER, key, L"Index", 1);
    WriteText(HKEY_CURRENT_USER, L"Software\\Pelkin!", L"Enabled", L"True");
    HWND window = testwin_.Create(L"Hidden from the start");

    ASSERT_TRUE(Start());
    EXPECT_TRUE(app_->Enabled());
    EXPECT_FALSE(app_->EditMode());
    EXPECT_EQ(app_->RuleCount(), 1);
    EXPECT_TRUE(Invisible(window));
    EXPECT_TRUE(HasTrayIcon(window));

    // Ending the program never leaves a window hidden.
    Stop();
    EXPECT_TRUE(Visible(window));
}
