#pragma once
// The menu component's generated interface header. Its default arguments hand
// a string literal to a BSTR parameter, which GCC warns about.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wwrite-strings"
#endif
#include <olectl.h>

#include "QuilletLib.h"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// DISPIDs of the events of __Quillet, as clients connect to them.
inline constexpr DISPID BandCloseEventId = 1;
inline constexpr DISPID BandOpenEventId = 2;
inline constexpr DISPID QuilletClickEventId = 3;
inline constexpr DISPID CustomDrawEventId = 4;
inline constexpr DISPID CustomMeasureEventId = 5;
inline constexpr DISPID HighlightEventId = 6;
inline constexpr DISPID HotKeyPressedEventId = 7;
