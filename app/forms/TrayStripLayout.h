#pragma once
// Where the Tray Manager puts things: a title line with the pin at its right
// end, and under it the sunken strip with one slot per trayed window, sized
// for a number of windows at a DPI. Slots are 1-based positions. Nothing
// here touches a window, so the strip's geometry can be worked out without
// one.
#include <windows.h>

class TrayStripLayout {
public:
    TrayStripLayout() = default;
    TrayStripLayout(int windows, UINT dpi) noexcept;

    // The client area's size; the window's outer size is the form's frame
    // around it.
    SIZE ClientSize() const noexcept { return SIZE{client_.right, client_.bottom}; }
    const RECT& Client() const noexcept { return client_; }
    const RECT& Strip() const noexcept { return strip_; }
    const RECT& Pin() const noexcept { return pin_; }
    const RECT& Title() const noexcept { return title_; }
    // The pinned form's close button, in the pin's place.
    RECT CloseButton() const noexcept;
    // The pin is drawn on a grid of this many pixels to its unit.
    int PinUnit() const noexcept;
    int IconSize() const noexcept;
    // The slot of a position; its icon is drawn at its top-left corner.
    RECT Slot(int position) const noexcept;
    // The position of the slot under the point, 0 for none. The slots' area
    // takes in its right and bottom edges, and a slot takes in its right
    // edge rather than its left: the first slot's left edge is no slot's.
    int PositionAt(int x, int y) const noexcept;

    // The top-left corner that puts a window of `size` as near to `topLeft`
    // as it can be while inside `workArea`.
    static POINT KeptInside(POINT topLeft, SIZE size, const RECT& workArea) noexcept;

private:
    int Scale(int size96) const noexcept;

    int windows_ = 0;
    UINT dpi_ = 96;
    RECT client_{}, strip_{}, pin_{}, title_{}, icons_{};
};
