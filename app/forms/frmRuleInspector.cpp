#include "frmRuleInspector.h"
