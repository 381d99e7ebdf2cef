// The program's classes are tested as the program runs them: every test
// starts with error trapping on and the program's log (PKException.txt
// beside the test program) as the failure logger, whatever an earlier test
// left set. A test reads what it logged with ExceptionLogReader.h.
#include <gtest/gtest.h>

#include "ErrorModule.h"
#include "Guard.h"

namespace {

class ProgramLog : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        platform::SetErrorTrapping(true);
        InstallErrorLog();
    }
};

const bool installed = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new ProgramLog);
    return true;
}();

}  // namespace
