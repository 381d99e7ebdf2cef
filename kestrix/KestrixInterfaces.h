#pragma once
// The component's generated interface header. Its default arguments hand a
// string literal to a BSTR parameter, which GCC warns about.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wwrite-strings"
#endif
#include <olectl.h>

#include "KestrixLib.h"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// DISPIDs of the events of KestrixEvents, as clients connect to them.
inline constexpr DISPID ClickEventId = DISPID_CLICK;
inline constexpr DISPID DblClickEventId = DISPID_DBLCLICK;
inline constexpr DISPID MouseDownEventId = 1;
inline constexpr DISPID MouseMoveEventId = 2;
inline constexpr DISPID MouseUpEventId = 3;
inline constexpr DISPID TaskbarRestartEventId = 4;

// The Button argument of the mouse events.
inline constexpr LONG LeftButton = 1;
inline constexpr LONG RightButton = 2;
