#include "TrayStripLayout.h"

#include <algorithm>

#include "Window.h"

namespace {

// Sizes at 96 DPI.
constexpr int ClientHeight96 = 38;
constexpr int StripHeight96 = 16;
constexpr int PinSize96 = 16;
constexpr int PinBottom96 = 15;
constexpr int TitleLeft96 = 4;
constexpr int TitleRise96 = 2;
constexpr int IconsInset96 = 3;
constexpr int IconsRightInset96 = 2;
constexpr int SlotWidth96 = 18;
constexpr int IconSize96 = 16;
constexpr int MinRowWidth96 = 90;
constexpr int RowPadding96 = 4;
constexpr int CloseButtonInset96 = 2;

}  // namespace

TrayStripLayout::TrayStripLayout(int windows, UINT dpi) noexcept : windows_(windows), dpi_(dpi) {
    // The row is worked out at 96 DPI and scaled as a whole.
    const int width = Scale(std::max(windows_ * SlotWidth96, MinRowWidth96) + RowPadding96);
    const int height = Scale(ClientHeight96);
    client_ = RECT{0, 0, width, height};
    strip_ = RECT{0, Scale(StripHeight96), width, height};
    pin_ = RECT{width - Scale(PinSize96), 0, width, Scale(PinBottom96)};
    title_ = RECT{Scale(TitleLeft96), -Scale(TitleRise96), pin_.left - Scale(1), Scale(StripHeight96)};
    icons_ = RECT{Scale(IconsInset96), strip_.top + Scale(IconsInset96), strip_.right - Scale(IconsRightInset96),
                  strip_.bottom - Scale(IconsInset96)};
}

int TrayStripLayout::Scale(int size96) const noexcept { return platform::ScaleForDpi(size96, dpi_); }

RECT TrayStripLayout::CloseButton() const noexcept {
    return RECT{pin_.left + Scale(CloseButtonInset96), pin_.top + Scale(CloseButtonInset96), pin_.right, pin_.bottom};
}

int TrayStripLayout::PinUnit() const noexcept { return std::max(1, Scale(PinSize96) / PinSize96); }

int TrayStripLayout::IconSize() const noexcept { return Scale(IconSize96); }

RECT TrayStripLayout::Slot(int position) const noexcept {
    const int left = icons_.left + (position - 1) * Scale(SlotWidth96);
    return RECT{left, icons_.top, left + Scale(SlotWidth96), icons_.bottom};
}

int TrayStripLayout::PositionAt(int x, int y) const noexcept {
    const bool inside = x >= icons_.left && x <= icons_.right && y >= icons_.top && y <= icons_.bottom;
    if (!inside) return 0;
    const int slot = Scale(SlotWidth96);
    const int offset = x - icons_.left;
    const int position = offset / slot + (offset % slot > 0 ? 1 : 0);
    return position >= 1 && position <= windows_ ? position : 0;
}

POINT TrayStripLayout::KeptInside(POINT topLeft, SIZE size, const RECT& workArea) noexcept {
    return POINT{std::clamp<LONG>(topLeft.x, workArea.left, std::max(workArea.left, workArea.right - size.cx)),
                 std::clamp<LONG>(topLeft.y, workArea.top, std::max(workArea.top, workArea.bottom - size.cy))};
}
