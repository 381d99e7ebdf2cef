#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "Guard.h"

namespace {

// number, description, module, procedure
using Logged = std::vector<std::wstring>;
std::vector<Logged> g_logged;

void RecordFailure(const platform::Error& failure, std::wstring_view module, std::wstring_view procedure) {
    g_logged.push_back({std::to_wstring(failure.Number()), failure.Description(), std::wstring(module),
                        std::wstring(procedure)});
}

// Trapping on with a recording logger; back to the harness's trapping and
// logger afterwards.
class GuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_logged.clear();
        previous_ = platform::SetFailureLogger(RecordFailure);
        platform::SetErrorTrapping(true);
    }
    void TearDown() override {
        platform::SetErrorTrapping(true);
        platform::SetFailureLogger(previous_);
    }
    platform::FailureLogger previous_ = nullptr;
};

}  // namespace

TEST_F(GuardTest, TrappedFailuresAreLoggedAndAnswerTheDefault) {
    EXPECT_EQ(platform::Guard(L"frmMain", L"Form_Load", [] { return 5; }), 5);
    EXPECT_TRUE(g_logged.empty());

    EXPECT_EQ(platform::Guard(L"CRegistry", L"GetSetting",
                              []() -> int { platform::Raise(platform::errors::TypeMismatch, L"CRegistry.GetSetting"); }),
              0);
    EXPECT_EQ(platform::Guard(L"MainModule", L"Main", []() -> std::wstring { throw std::bad_alloc(); }), L"");
    EXPECT_FALSE(platform::Guard(L"TrayIcon", L"Refresh", []() -> bool { throw std::runtime_error("disk on fire"); }));
    platform::Guard(L"HotKey", L"Register", [] {
        platform::Raise(platform::errors::ComponentCode(0x1A6), L"Already registered", L"HotKey.Register");
    });
    platform::Guard(L"frmMain", L"Timer", [] { throw 42; });

    ASSERT_EQ(g_logged.size(), 5u);
    EXPECT_EQ(g_logged[0], (Logged{L"13", L"Type mismatch", L"CRegistry", L"GetSetting"}));
    EXPECT_EQ(g_logged[1], (Logged{L"7", L"Out of memory", L"MainModule", L"Main"}));
    EXPECT_EQ(g_logged[2][1], L"disk on fire");
    EXPECT_EQ(g_logged[2][3], L"Refresh");
    EXPECT_EQ(g_logged[3][0], std::to_wstring(static_cast<int32_t>(0x800401A6u)));
    EXPECT_EQ(g_logged[3][1], L"Already registered");
    EXPECT_NE(g_logged[4][0], L"0");  // even a thrown non-exception is logged with a number

    // A logger that fails, or none at all, must not let the failure out.
    platform::SetFailureLogger([](const platform::Error&, std::wstring_view, std::wstring_view) {
        throw std::runtime_error("the log itself failed");
    });
    EXPECT_EQ(platform::Guard(L"m", L"p", []() -> int { throw std::runtime_error("x"); }), 0);
    platform::SetFailureLogger(nullptr);
    EXPECT_EQ(platform::Guard(L"m", L"p", []() -> int { throw std::runtime_error("x"); }), 0);
}

TEST_F(GuardTest, WithTrappingOffTheFailureReachesTheCallerUnlogged) {
    platform::SetErrorTrapping(false);
    try {
        platform::Guard(L"CRegistry", L"SaveSetting",
                        [] { platform::Raise(platform::errors::TypeMismatch, L"CRegistry.SaveSetting"); });
        ADD_FAILURE() << "the failure did not reach the caller";
    } catch (const platform::Error& e) {
        EXPECT_EQ(e.Number(), platform::errors::TypeMismatch);
        EXPECT_EQ(e.Source(), L"CRegistry.SaveSetting");
    }
    EXPECT_THROW(platform::Guard(L"m", L"p", []() -> int { throw std::bad_alloc(); }), std::bad_alloc);
    EXPECT_THROW(platform::Guard(L"m", L"p", [] { throw std::runtime_error("x"); }), std::runtime_error);
    EXPECT_EQ(platform::Guard(L"m", L"p", [] { return std::wstring(L"ok"); }), L"ok");
    EXPECT_TRUE(g_logged.empty());

    // A boundary with no caller keeps its failure whatever the flag says.
    EXPECT_EQ(platform::Guard(L"frmMain", L"WindowProc", platform::Trap::Always,
                              []() -> int { platform::Raise(platform::errors::TypeMismatch, L"frmMain.WindowProc"); }),
              0);
    ASSERT_EQ(g_logged.size(), 1u);
    EXPECT_EQ(g_logged[0], (Logged{L"13", L"Type mismatch", L"frmMain", L"WindowProc"}));
}

// A logger whose own work meets a guard does not log into itself: the
// failure inside the log is dropped, and the outer one logged once.
TEST_F(GuardTest, TheLogNeverRecursesIntoLogging) {
    platform::SetFailureLogger([](const platform::Error& failure, std::wstring_view module, std::wstring_view procedure) {
        RecordFailure(failure, module, procedure);
        platform::Guard(L"ErrorModule", L"LogError", platform::Trap::Always,
                        [] { platform::Raise(platform::errors::InternalError, L"ErrorModule.LogError"); });
    });
    platform::Guard(L"CWindow", L"moTimer_Timer", platform::Trap::Always,
                    [] { platform::Raise(platform::errors::TypeMismatch, L"CWindow.AutoHide"); });
    ASSERT_EQ(g_logged.size(), 1u);
    EXPECT_EQ(g_logged[0], (Logged{L"13", L"Type mismatch", L"CWindow", L"moTimer_Timer"}));
    // Logging is open again once the entry is written.
    platform::Guard(L"CWindow", L"moTimer_Timer", platform::Trap::Always, [] { throw std::bad_alloc(); });
    EXPECT_EQ(g_logged.size(), 2u);
}

// Teardown steps go on after a failure whatever the trapping flag says, and
// leave a trace; only the documented silent lookups leave none.
TEST_F(GuardTest, SkippedStepsAreLoggedAndIgnoredLookupsAnswerTheirDefault) {
    for (bool trapping : {true, false}) {
        SCOPED_TRACE(trapping ? "trapping on" : "trapping off");
        g_logged.clear();
        platform::SetErrorTrapping(trapping);
        std::vector<int> ran;
        platform::SkipFailure(L"CApplication", L"Dispose", [&] {
            ran.push_back(1);
            platform::Raise(platform::errors::TypeMismatch, L"CApplication.Dispose");
        });
        platform::SkipFailure(L"CApplication", L"Dispose", [&] { ran.push_back(2); });
        EXPECT_EQ(ran, (std::vector<int>{1, 2}));
        ASSERT_EQ(g_logged.size(), 1u);
        EXPECT_EQ(g_logged[0], (Logged{L"13", L"Type mismatch", L"CApplication", L"Dispose"}));

        EXPECT_EQ(platform::Guard(L"m", L"Lookup", platform::Trap::Silently,
                                  []() -> int { throw std::runtime_error("absent"); }),
                  0);
        EXPECT_EQ(platform::Guard(L"m", L"Lookup", platform::Trap::Silently, [] { return std::wstring(L"found"); }),
                  L"found");
        EXPECT_EQ(g_logged.size(), 1u) << "a silent lookup is not logged";
    }
}
