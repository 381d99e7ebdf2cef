// The program's teardown meeting failures while error trapping is off (as
// code that uses the classes without the program's start-up has it): the
// main window's close still ends, every window is given back, and what
// failed is in the log; nothing escapes the window procedure.
#include <string>
#include <vector>

#include "TrackingFixture.h"

using namespace testing_support;
using namespace tracking_test;

namespace {

std::vector<std::wstring> g_logged;

void RecordFailure(const platform::Error& failure, std::wstring_view module, std::wstring_view procedure) {
    g_logged.push_back(std::wstring(module) + L"." + std::wstring(procedure) + L" " + failure.Description());
}

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
    g_logged.clear();
    platform::SetFailureLogger(RecordFailure);
    platform::SetErrorTrapping(false);
    HWND main = form_->hWnd();
    ::SendMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);

    EXPECT_FALSE(::IsWindow(main));
    EXPECT_EQ(TheApp, nullptr);
    EXPECT_EQ(app_->Kestrix(), nullptr);
    EXPECT_EQ(app_->Quillet(), nullptr);
    EXPECT_TRUE(Visible(first)) << "a window the program hid outlives it hidden";
    EXPECT_TRUE(Visible(second)) << "a window the program hid outlives it hidden";
    // Letting the rule's windows go stops at the first failure, which is
    // logged; releasing the rule itself then lets the second go.
    EXPECT_EQ(g_logged, (std::vector<std::wstring>{L"CRules.Clear receiver broke",
                                                    L"CWindows.Class_Terminate receiver broke"}));
    app_->Events().Remove(&failing);
}
