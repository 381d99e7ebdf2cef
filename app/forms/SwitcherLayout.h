#pragma once
// Where the switcher puts things: a grid of cells for a number of windows
// (fewer windows than columns sit in the middle), the caption box under it,
// the window's size, and the selection with the row the grid is scrolled to.
// Positions are 1-based window positions; selection 0 is Cancel. Nothing here
// touches a window, so the switcher's geometry and steps can be worked out
// without one.
#include <windows.h>

#include <cstdint>

class SwitcherLayout {
public:
    // Sizes in pixels at the window's DPI.
    struct Metrics {
        int cell = 0, icon = 0, iconInset = 0, gridMargin = 0, suspendedFrame = 0;
        int captionGap = 0, captionHeight = 0, captionImageLeft = 0, captionImageTop = 0;
        int captionTextLeft = 0, captionTextRight = 0, cancelShift = 0;
        int extraWidth = 0, extraHeight = 0;

        // The switcher's sizes at 96 DPI scaled to `dpi`.
        static Metrics AtDpi(UINT dpi) noexcept;
    };

    SwitcherLayout() = default;
    // `count` windows in at most `rows` rows of `columns` cells; `frame` is
    // the width and height of the window's frame on each side.
    SwitcherLayout(int32_t count, int32_t columns, int32_t rows, bool showCancel, const Metrics& metrics,
                   SIZE frame) noexcept;

    const Metrics& Sizes() const noexcept { return metrics_; }
    SIZE WindowSize() const noexcept { return windowSize_; }
    // The window's top-left corner for it to sit in the middle of a screen
    // of this size.
    POINT CentredOn(SIZE screen) const noexcept;
    const RECT& Grid() const noexcept { return grid_; }
    const RECT& Caption() const noexcept { return caption_; }
    const RECT& CaptionText() const noexcept { return captionText_; }
    // Where "Cancel" is written while it is selected.
    RECT CancelText() const noexcept;
    POINT CaptionImage() const noexcept;

    // The first and last positions drawn with the grid scrolled as it is;
    // none drawn when the last is below the first.
    int32_t FirstShown() const noexcept { return firstShown_ + 1; }
    int32_t LastShown() const noexcept;
    // The cell a position is drawn in.
    RECT Cell(int32_t position) const noexcept;
    // The position drawn under the point; 0 for none. The icon area's right
    // and bottom edges belong to no cell, nor does room past the last one.
    int32_t PositionAt(int x, int y) const noexcept;

    int32_t Selection() const noexcept { return selection_; }
    // Selects `value`, wrapping past either end (through Cancel where it is
    // shown), and scrolls the grid by rows until the selection is drawn.
    // True when it scrolled.
    bool Select(int32_t value) noexcept;
    // The window after `current` (before it when `reverse`), round the list.
    bool SelectNextTo(int32_t current, bool reverse) noexcept;

private:
    Metrics metrics_{};
    int32_t count_ = 0;
    int32_t columns_ = 0;
    int32_t rows_ = 0;
    int32_t visibleColumns_ = 0;
    int32_t maxCells_ = 0;
    bool showCancel_ = false;
    int32_t firstShown_ = 0;
    int32_t selection_ = 1;
    RECT grid_{}, iconArea_{}, caption_{}, captionText_{};
    SIZE windowSize_{};
};
