#pragma once
// Drawing helpers over GDI: owners for fonts, brushes and bitmaps, a memory
// bitmap to compose a picture in before it goes to the screen in one copy,
// and a scope that puts back what a device context had selected.
//
// Declare an object's owner before the scope that selects it: the scope then
// ends first, and the object is never deleted while still selected.
#include <windows.h>

#include "Handles.h"

namespace platform {

using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniquePen = UniqueGdiObject<HPEN>;

// A memory device context compatible with a window's (nullptr: the screen's).
UniqueMemoryDC CompatibleDC(HWND window);

// Fills a rectangle with one colour.
void FillSolid(HDC dc, const RECT& area, COLORREF colour) noexcept;
// Fills a rectangle with a smooth ramp from one colour to the other, in one
// GradientFill: left to right, or top to bottom when `vertical`.
void FillGradient(HDC dc, const RECT& area, COLORREF first, COLORREF second, bool vertical) noexcept;

// Selects an object into a device context for the scope's life; what was
// selected before goes back in at its end. A null object selects nothing.
class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(object ? ::SelectObject(dc, object) : nullptr) {}
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;
    ~SelectScope() {
        if (previous_) ::SelectObject(dc_, previous_);
    }
    // False when the object could not be selected (it is selected elsewhere).
    bool Selected() const noexcept { return previous_ != nullptr; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// How a memory bitmap's pixels are laid out.
enum class PixelFormat {
    Compatible,  // the format of the device context it is made for
    TopDown32,   // a 32-bit DIB section, first row at the top, whose pixels can be read
};

// A memory device context with a bitmap of its own selected into it. The
// context's original bitmap goes back in before either is deleted.
class MemoryBitmap {
public:
    // Compatible with `reference` (nullptr: the screen). Raises when the
    // size is not positive or the system cannot make the bitmap.
    MemoryBitmap(HDC reference, int width, int height, PixelFormat format = PixelFormat::Compatible);
    MemoryBitmap(const MemoryBitmap&) = delete;
    MemoryBitmap& operator=(const MemoryBitmap&) = delete;
    ~MemoryBitmap();

    HDC dc() const noexcept { return dc_.get(); }
    HBITMAP bitmap() const noexcept { return bitmap_.get(); }
    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    RECT Bounds() const noexcept { return RECT{0, 0, width_, height_}; }

    // Takes the bitmap out of the context (the original goes back in) for a
    // function that selects it into a context of its own, as DrawStateW
    // does: a bitmap can be selected into one context only. It stays owned here.
    HBITMAP Unselect() noexcept;

    // One pixel of a TopDown32 bitmap as an RGB value; CLR_INVALID outside
    // the bitmap or for another format.
    COLORREF PixelAt(int x, int y) const noexcept;
    // The pixels of a TopDown32 bitmap, row after row (null for another
    // format); flush GDI before reading what was drawn, and after writing.
    DWORD* Pixels() const noexcept { return pixels_; }

private:
    UniqueMemoryDC dc_;
    UniqueBitmap bitmap_;
    HGDIOBJ original_ = nullptr;
    DWORD* pixels_ = nullptr;
    int width_;
    int height_;
};

}  // namespace platform
