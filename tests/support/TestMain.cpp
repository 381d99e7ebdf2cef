// Test programs are console programs with a wide entry point.
#include <gtest/gtest.h>

#include "ComClient.h"
#include "Guard.h"

int wmain(int argc, wchar_t** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Tests create component objects on this thread, as the program does.
    platform::com::ComApartment apartment;
    // Failures reach the tests directly unless a test turns trapping on.
    platform::SetErrorTrapping(false);
    return RUN_ALL_TESTS();
}
