// Test programs are console programs with a wide entry point.
#include <gtest/gtest.h>

#include "ComClient.h"
#include "Guard.h"

int wmain(int argc, wchar_t** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Tests create component objects on this thread, as the program does.
    platform::com::ComApartment apartment;
    // Tests run the branch users run: failures are trapped and logged, and a
    // test reads them back from the log (ExceptionLogReader.h).
    platform::SetErrorTrapping(true);
    return RUN_ALL_TESTS();
}
