#include "BannerImage.h"

#include <algorithm>

#include "GradientModule.h"
#include "ToolDrawing.h"

namespace {

// Image-list icons have a fixed size, whatever the DPI.
constexpr int IconSize = 16;
// The icon's top above the strip's foot, and where the caption starts with
// and without an icon (at 96 DPI).
constexpr int IconRise = 18;
constexpr int CaptionRiseOverIcon = 22;
constexpr int CaptionRise = 4;

}  // namespace

BannerImage::BannerImage(const BannerArt& art, SIZE size, HIMAGELIST imageList, HFONT captionFont, UINT dpi)
    : strip_(nullptr, size.cx, size.cy) {
    const RECT whole = strip_.Bounds();
    GradientModule::Gradient(strip_.dc(), whole, art.topColor, art.bottomColor,
                             GradientModule::GradientDirection::TopToBottom);
    const bool withIcon = art.icon > 0;
    if (withIcon) DrawIcon(art, imageList, dpi);
    const int rise = ToolDrawing::Scale(withIcon ? CaptionRiseOverIcon : CaptionRise, dpi);
    if (!art.caption.empty() && captionFont) DrawCaption(art, Height() - rise, captionFont);
}

void BannerImage::DrawIcon(const BannerArt& art, HIMAGELIST imageList, UINT dpi) noexcept {
    ::ImageList_Draw(imageList, art.icon - 1, strip_.dc(), (Width() - IconSize) / 2,
                     Height() - ToolDrawing::Scale(IconRise, dpi), ILD_TRANSPARENT);
}

void BannerImage::DrawCaption(const BannerArt& art, int startY, HFONT font) noexcept {
    HDC dc = strip_.dc();
    platform::SelectScope selected(dc, font);
    ::SetTextColor(dc, art.foreColor);
    ::SetBkMode(dc, TRANSPARENT);
    ::TextOutW(dc, art.textOffset, startY, art.caption.c_str(), static_cast<int>(art.caption.size()));
}

void BannerImage::Slice(HDC dc, int top, int bottom) const noexcept {
    // Only rows the strip has: a band taller than the one it was rendered
    // for leaves the rest to the caller.
    const int first = std::max(top, 0);
    const int last = std::min(bottom, Height());
    if (first < last) ::BitBlt(dc, 0, first - top, Width(), last - first, strip_.dc(), 0, first, SRCCOPY);
}
