#pragma once
// Colour ramps and host colours for the menu drawing.
#include <windows.h>
#include <olectl.h>

namespace GradientModule {

enum class GradientDirection {
    LeftToRight = 0,
    TopToBottom = 1,
};

// Fills `area` with a linear ramp from `first` (left or top) to `second`.
void Gradient(HDC dc, const RECT& area, COLORREF first, COLORREF second, GradientDirection direction) noexcept;

// A host colour (RGB or a system-colour reference) as RGB; one the system
// cannot translate is -1 (CLR_INVALID).
COLORREF TranslateColor(OLE_COLOR color) noexcept;

}  // namespace GradientModule
