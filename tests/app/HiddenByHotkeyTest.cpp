// The window the hide hot key takes: the foreground window of another program,
// tracked under no rule of the list; it stays in the tray through window
// events and a new set of options, comes back with "Restore all" as it was,
// and a restore from the tray ends its tracking. The program's own windows
// are never taken.
#include "TrackingFixture.h"

using namespace tracking_test;
using testing_support::WaitUntil;

namespace {

// Long enough for the options to be applied before the other program wakes.
constexpr DWORD BusyMs = 1000;

class HiddenByHotkeyTest : public TrackingTest {
protected:
    bool MakeForeground(HWND window) {
        ::SetForegroundWindow(window);
        return WaitUntil([&] { return ::GetForegroundWindow() == window; });
    }
    bool Trayed(HWND window) { return Invisible(window) && Tracked(window) && HasTrayIcon(window); }
};

TEST_F(HiddenByHotkeyTest, TheFrontWindowStaysInTheTrayUntilRestoredAndTheProgramsOwnAreNeverTaken) {
    AddRule(L"Ruled", ActionHideInTray, CriteriaAlways);
    HWND ruled = testwin_.Create(L"Ruled");
    HWND front = testwin_.Create(L"Front");
    ASSERT_TRUE(ruled && front);
    // Switched on, the full pass takes the rule's window.
    app_->SetEnabled(true);
    ASSERT_TRUE(Trayed(ruled));

    ASSERT_TRUE(MakeForeground(front));
    ASSERT_TRUE(app_->HideActiveWindow());
    ASSERT_TRUE(Trayed(front));
    EXPECT_EQ(TrayTip(front), L"Front");
    ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(front) != FALSE; }));
    // A window event about it, and options applied while the other program
    // is too busy to show the windows they give back, leave both where they are.
    Offer(front);
    ASSERT_TRUE(testwin_.Hang(BusyMs));
    app_->SaveOptions();
    EXPECT_TRUE(Trayed(front)) << "the new options let the window go";
    EXPECT_TRUE(Trayed(ruled)) << "the rule took its window again";

    OwnWindow own(L"Own");
    ASSERT_TRUE(MakeForeground(own.get()));
    EXPECT_FALSE(app_->HideActiveWindow());
    EXPECT_TRUE(::IsWindowVisible(own.get()));

    // Restore all: both back and let go, the hot key's window no longer minimized.
    app_->RestoreAllWindows();
    EXPECT_TRUE(Visible(front));
    EXPECT_TRUE(WaitUntil([&] { return !::IsIconic(front); }));
    EXPECT_TRUE(Visible(ruled));
    EXPECT_FALSE(Tracked(front) || HasTrayIcon(front) || Tracked(ruled) || HasTrayIcon(ruled));

    // Restored from its tray icon, it is let go as well.
    ASSERT_TRUE(MakeForeground(front));
    ASSERT_TRUE(app_->HideActiveWindow());
    ASSERT_TRUE(Trayed(front));
    ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(front) != FALSE; }));
    TheApp->Tracker().Find(WindowKey(front))->ExecuteAction(true);
    EXPECT_TRUE(Visible(front));
    EXPECT_FALSE(Tracked(front) || HasTrayIcon(front));
}

}  // namespace
