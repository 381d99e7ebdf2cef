#pragma once
// The component's generated interface header. Its default arguments hand a
// string literal to a BSTR parameter, which GCC warns about.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wwrite-strings"
#endif
#include "KestrixLib.h"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
