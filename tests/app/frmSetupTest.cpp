// Tests of frmSetup.
#include <gtest/gtest.h>
