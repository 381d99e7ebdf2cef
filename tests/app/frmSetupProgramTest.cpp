// frmSetup driven from outside, as a user meets it.
#include <gtest/gtest.h>
