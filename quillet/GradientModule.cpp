#include "GradientModule.h"

#include <ole2.h>

namespace GradientModule {

namespace {

// TRIVERTEX channels are 16-bit: the 8-bit value sits in the high byte.
constexpr int ChannelShift = 8;

COLOR16 Channel(BYTE value) noexcept { return static_cast<COLOR16>(value << ChannelShift); }

TRIVERTEX Vertex(LONG x, LONG y, COLORREF color) noexcept {
    TRIVERTEX vertex{};
    vertex.x = x;
    vertex.y = y;
    vertex.Red = Channel(GetRValue(color));
    vertex.Green = Channel(GetGValue(color));
    vertex.Blue = Channel(GetBValue(color));
    return vertex;
}

}  // namespace

void Gradient(HDC dc, const RECT& area, COLORREF first, COLORREF second, GradientDirection direction) noexcept {
    TRIVERTEX corners[] = {Vertex(area.left, area.top, first), Vertex(area.right, area.bottom, second)};
    GRADIENT_RECT span{0, 1};
    const ULONG mode = direction == GradientDirection::LeftToRight ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V;
    ::GradientFill(dc, corners, ARRAYSIZE(corners), &span, 1, mode);
}

COLORREF TranslateColor(OLE_COLOR color) noexcept {
    COLORREF rgb = 0;
    return SUCCEEDED(::OleTranslateColor(color, nullptr, &rgb)) ? rgb : CLR_INVALID;
}

}  // namespace GradientModule
