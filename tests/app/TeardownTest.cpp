// The program's teardown meeting failures: the main window's close still
// ends, every window is given back, and what failed is in the program's log;
// nothing escapes the window procedure.
#include <string>
#include <vector>

#include "ExceptionLogReader.h"
#include "TrackingFixture.h"

using namespace testing_support;
using namespace tracking_test;

namespace {

// A receiver that fails each time a window stops being tracked.
struct FailingReceiver : IApplicationEvents {
    void WindowRemove() override { platform::Raise(platform::errors::InvalidPropertyValue, L"receiver broke", L"Test"); }
};

class TeardownTest : public TrackingTest {};

}  // namespace

TEST_F(TeardownTest, FailuresWhileTheMainWindowClosesAreLoggedAndTheCloseStillEnds) {
    AddRule(L"Teardown", ActionHideInTray, CriteriaAlways);
    HWND first = testwin_.Create(L"Teardown first");
    HWND second = testwin_.Create(L"Teardown second");
    ASSERT_TRUE(Offer(first));
    ASSERT_TRUE(Offer(second));
    ASSERT_TRUE(Invisible(first));
    ASSERT_TRUE(Invisible(second));

    FailingReceiver failing;
    app_->Events().Add(&failing);
    const ExceptionLogMark log;
    HWND main = form_->hWnd();
    ::SendMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);

    EXPECT_FALSE(::IsWindow(main));
    EXPECT_EQ(TheApp, nullptr);
    EXPECT_EQ(app_->Kestrix(), nullptr);
    EXPECT_EQ(app_->Quillet(), nullptr);
    EXPECT_TRUE(Visible(first)) << "a window the program hid outlives it hidden";
    EXPECT_TRUE(Visible(second)) << "a window the program hid outlives it hidden";
    // The program's handler of each window's removal logs the receiver's
    // failure and goes on to the next window.
    EXPECT_EQ(log.Appended(), (std::vector<LoggedFailure>{{L"380", L"receiver broke", L"CApplication.OnWindowRemove"},
                                                           {L"380", L"receiver broke", L"CApplication.OnWindowRemove"}}));
    app_->Events().Remove(&failing);
}
