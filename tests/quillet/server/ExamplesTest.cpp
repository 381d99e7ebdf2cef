// The scripting examples of the README, run as a reader would run them:
// both components registered for the machine (the only registration Wine's
// script host reads), then each example with the console script host. Each
// example ends with its own "N passed, M failed" line.
#include <gtest/gtest.h>

#include <objbase.h>

#include "ComponentServer.h"

using namespace testing_support;

namespace {

class ScriptExamples : public ::testing::Test {
protected:
    static ComponentDll& Kestrix() {
        static ComponentDll dll(L"Kestrix.dll");
        return dll;
    }
    static ComponentDll& Quillet() {
        static ComponentDll dll(L"Quillet.dll");
        return dll;
    }
    void SetUp() override {
        ASSERT_TRUE(Kestrix().Loaded() && Quillet().Loaded());
        ASSERT_EQ(Kestrix().Install(TRUE, L"machine"), S_OK);
        ASSERT_EQ(Quillet().Install(TRUE, L"machine"), S_OK);
    }
    // Whatever happened, nothing stays registered in the prefix.
    void TearDown() override {
        Quillet().Install(FALSE, L"machine");
        Kestrix().Install(FALSE, L"machine");
    }
};

}  // namespace

TEST_F(ScriptExamples, TheTrayExampleRunsAndPassesItsOwnChecks) {
    EXPECT_GT(RunScriptClient(L"tray.vbs"), 0) << "examples/tray.vbs";
}

TEST_F(ScriptExamples, TheMenuExampleRunsAndPassesItsOwnChecks) {
    EXPECT_GT(RunScriptClient(L"menu.js"), 0) << "examples/menu.js";
}
