#include "Gdi.h"

#include "Error.h"

namespace platform {

namespace {

constexpr WORD TrueColorBits = 32;

HBITMAP MakeBitmap(HDC reference, int width, int height, PixelFormat format, DWORD** pixels) {
    if (format == PixelFormat::TopDown32) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // negative: rows run top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = TrueColorBits;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = ::CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        *pixels = static_cast<DWORD*>(bits);
        return bitmap;
    }
    // A new memory context holds a 1 x 1 monochrome bitmap: the bitmap must
    // be made compatible with the context it is meant for, not with that one.
    WindowDC screen(nullptr);
    return ::CreateCompatibleBitmap(reference ? reference : screen.get(), width, height);
}

}  // namespace

void FillSolid(HDC dc, const RECT& area, COLORREF colour) noexcept {
    UniqueBrush brush(::CreateSolidBrush(colour));
    if (brush) ::FillRect(dc, &area, brush.get());
}

namespace {
// TRIVERTEX channels are 16-bit: the 8-bit value sits in the high byte.
constexpr int ChannelShift = 8;
TRIVERTEX Vertex(LONG x, LONG y, COLORREF colour) noexcept {
    TRIVERTEX vertex{};
    vertex.x = x;
    vertex.y = y;
    vertex.Red = static_cast<COLOR16>(GetRValue(colour) << ChannelShift);
    vertex.Green = static_cast<COLOR16>(GetGValue(colour) << ChannelShift);
    vertex.Blue = static_cast<COLOR16>(GetBValue(colour) << ChannelShift);
    return vertex;
}
}  // namespace

void FillGradient(HDC dc, const RECT& area, COLORREF first, COLORREF second, bool vertical) noexcept {
    TRIVERTEX corners[] = {Vertex(area.left, area.top, first), Vertex(area.right, area.bottom, second)};
    GRADIENT_RECT span{0, 1};
    ::GradientFill(dc, corners, ARRAYSIZE(corners), &span, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

UniqueMemoryDC CompatibleDC(HWND window) {
    WindowDC reference(window);
    UniqueMemoryDC dc(::CreateCompatibleDC(reference.get()));
    if (!dc) Raise(errors::OutOfMemory, L"CompatibleDC");
    return dc;
}

MemoryBitmap::MemoryBitmap(HDC reference, int width, int height, PixelFormat format)
    : width_(width), height_(height) {
    if (width <= 0 || height <= 0) Raise(errors::InvalidProcedureCall, L"MemoryBitmap");
    dc_.reset(::CreateCompatibleDC(reference));
    if (!dc_) Raise(errors::OutOfMemory, L"MemoryBitmap");
    bitmap_.reset(MakeBitmap(reference, width, height, format, &pixels_));
    if (!bitmap_) Raise(errors::OutOfMemory, L"MemoryBitmap");
    original_ = ::SelectObject(dc_.get(), bitmap_.get());
}

MemoryBitmap::~MemoryBitmap() { Unselect(); }

HBITMAP MemoryBitmap::Unselect() noexcept {
    if (original_) ::SelectObject(dc_.get(), original_);
    original_ = nullptr;
    return bitmap_.get();
}

COLORREF MemoryBitmap::PixelAt(int x, int y) const noexcept {
    if (!pixels_ || x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    // Drawing may still be queued in GDI's batch.
    ::GdiFlush();
    const DWORD bgr = pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
    return RGB(GetBValue(bgr), GetGValue(bgr), GetRValue(bgr));
}

}  // namespace platform
