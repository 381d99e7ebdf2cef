#include "SwitcherLayout.h"

#include <algorithm>
#include <cmath>

#include "Window.h"

namespace {

// Sizes at 96 DPI.
constexpr int Cell96 = 42;
constexpr int Icon96 = 32;
constexpr int IconInset96 = 5;
constexpr int GridMargin96 = 4;
constexpr int SuspendedFrame96 = 3;
constexpr int CaptionGap96 = 5;
constexpr int CaptionHeight96 = 25;
constexpr int CaptionImageLeft96 = 3;
constexpr int CaptionImageTop96 = 5;
constexpr int CaptionTextLeft96 = 22;
constexpr int CaptionTextRight96 = 3;
constexpr int CancelShift96 = 19;
constexpr int ExtraWidth96 = 4;
constexpr int ExtraHeight96 = 34;

// Halves go to the even neighbour, as the rest of the program rounds.
int CentredOrigin(int available, int size) {
    return static_cast<int>(std::nearbyint(static_cast<double>(available - size) / 2.0));
}

}  // namespace

SwitcherLayout::Metrics SwitcherLayout::Metrics::AtDpi(UINT dpi) noexcept {
    const auto scale = [dpi](int size96) { return platform::ScaleForDpi(size96, dpi); };
    return Metrics{scale(Cell96),           scale(Icon96),             scale(IconInset96),
                   scale(GridMargin96),     scale(SuspendedFrame96),   scale(CaptionGap96),
                   scale(CaptionHeight96),  scale(CaptionImageLeft96), scale(CaptionImageTop96),
                   scale(CaptionTextLeft96), scale(CaptionTextRight96), scale(CancelShift96),
                   scale(ExtraWidth96),     scale(ExtraHeight96)};
}

SwitcherLayout::SwitcherLayout(int32_t count, int32_t columns, int32_t rows, bool showCancel, const Metrics& metrics,
                               SIZE frame) noexcept
    : metrics_(metrics), count_(count), columns_(columns), rows_(rows), showCancel_(showCancel) {
    visibleColumns_ = std::min(count_, columns_);
    maxCells_ = columns_ * rows_;
    const int32_t rowsUsed = columns_ > 0 ? std::min((count_ + columns_ - 1) / columns_, rows_) : 0;
    const int cell = metrics_.cell;
    const int margin = metrics_.gridMargin;
    grid_ = RECT{margin, margin, columns_ * cell + margin, rowsUsed * cell + margin};
    windowSize_.cx = grid_.right + 2 * frame.cx + metrics_.extraWidth;
    windowSize_.cy = grid_.bottom + 2 * frame.cy + metrics_.extraHeight;
    // Fewer windows than columns: the icons sit in the middle.
    const int offset = (columns_ - visibleColumns_) * cell / 2 + margin;
    iconArea_ = RECT{offset, grid_.top, grid_.right - offset, grid_.bottom};
    caption_ = RECT{grid_.left, grid_.bottom + metrics_.captionGap, grid_.right,
                    grid_.bottom + metrics_.captionGap + metrics_.captionHeight};
    captionText_ = RECT{caption_.left + metrics_.captionTextLeft, caption_.top,
                        caption_.right - metrics_.captionTextRight, caption_.bottom};
}

POINT SwitcherLayout::CentredOn(SIZE screen) const noexcept {
    return POINT{CentredOrigin(screen.cx, windowSize_.cx), CentredOrigin(screen.cy, windowSize_.cy)};
}

RECT SwitcherLayout::CancelText() const noexcept {
    RECT cancel = captionText_;
    ::OffsetRect(&cancel, -metrics_.cancelShift, 0);
    return cancel;
}

POINT SwitcherLayout::CaptionImage() const noexcept {
    return POINT{caption_.left + metrics_.captionImageLeft, caption_.top + metrics_.captionImageTop};
}

int32_t SwitcherLayout::LastShown() const noexcept { return std::min(firstShown_ + maxCells_, count_); }

RECT SwitcherLayout::Cell(int32_t position) const noexcept {
    const int32_t shown = position - 1 - firstShown_;
    const int columns = std::max(visibleColumns_, 1);
    const int left = iconArea_.left + (shown % columns) * metrics_.cell;
    const int top = iconArea_.top + (shown / columns) * metrics_.cell;
    return RECT{left, top, left + metrics_.cell, top + metrics_.cell};
}

int32_t SwitcherLayout::PositionAt(int x, int y) const noexcept {
    const POINT point{x, y};
    if (!::PtInRect(&iconArea_, point) || metrics_.cell <= 0) return 0;
    const int32_t column = (x - iconArea_.left) / metrics_.cell;
    const int32_t row = (y - iconArea_.top) / metrics_.cell;
    if (column >= visibleColumns_ || row >= rows_) return 0;
    const int32_t position = firstShown_ + column + 1 + row * visibleColumns_;
    return position <= LastShown() ? position : 0;
}

bool SwitcherLayout::Select(int32_t value) noexcept {
    const int32_t least = showCancel_ ? 0 : 1;
    if (value > count_) value = least;
    if (value < least) value = count_;
    selection_ = value;
    // A layout without columns has no rows to scroll by.
    if (columns_ <= 0) return false;
    if (selection_ > firstShown_ + maxCells_) {
        while (selection_ > firstShown_ + maxCells_) firstShown_ += columns_;
        return true;
    }
    if (selection_ != 0 && selection_ <= firstShown_) {
        while (selection_ <= firstShown_) firstShown_ -= columns_;
        return true;
    }
    return false;
}

bool SwitcherLayout::SelectNextTo(int32_t current, bool reverse) noexcept {
    return Select(reverse ? (current > 1 ? current - 1 : count_) : (current < count_ ? current + 1 : 1));
}
