#include "GradientModule.h"

#include <ole2.h>

#include "Gdi.h"

namespace GradientModule {

void Gradient(HDC dc, const RECT& area, COLORREF first, COLORREF second, GradientDirection direction) noexcept {
    platform::FillGradient(dc, area, first, second, direction == GradientDirection::TopToBottom);
}

COLORREF TranslateColor(OLE_COLOR color) noexcept {
    COLORREF rgb = 0;
    return SUCCEEDED(::OleTranslateColor(color, nullptr, &rgb)) ? rgb : CLR_INVALID;
}

}  // namespace GradientModule
