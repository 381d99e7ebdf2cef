#pragma once
// A banner's rendered strip: the gradient, the icon at its foot and the
// upright caption, drawn once for a band's height into a memory bitmap that
// the band's items then copy slice by slice.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "Gdi.h"

// What the strip shows, in drawing terms (colours translated, sizes at the DPI).
struct BannerArt {
    std::wstring caption;
    LONG icon = -1;            // 1-based image-list index; 0 or less: none
    COLORREF foreColor = 0;    // the caption's
    COLORREF topColor = 0;     // the gradient's at the top
    COLORREF bottomColor = 0;  // and at the bottom
    int textOffset = 0;        // x of the caption's start point
};

class BannerImage {
public:
    // Renders the strip. `captionFont` may be null: the caption is left out.
    BannerImage(const BannerArt& art, SIZE size, HIMAGELIST imageList, HFONT captionFont, UINT dpi);

    int Width() const noexcept { return strip_.Width(); }
    int Height() const noexcept { return strip_.Height(); }
    // Copies the strip's rows [top, bottom) to (0, 0) of `dc`.
    void Slice(HDC dc, int top, int bottom) const noexcept;

private:
    void DrawIcon(const BannerArt& art, HIMAGELIST imageList, UINT dpi) noexcept;
    void DrawCaption(const BannerArt& art, int startY, HFONT font) noexcept;

    platform::MemoryBitmap strip_;
};
