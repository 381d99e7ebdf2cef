// Tests of frmRuleInspector.
#include <gtest/gtest.h>
