#include "frmSetup.h"
