// The switcher's grid worked out without a window, at 96 DPI in a frame of
// 3 pixels: where the cells and the caption go, how the selection wraps and
// scrolls the grid by rows, and which cell a point falls in.
#include <gtest/gtest.h>

#include <windows.h>

#include "SwitcherLayout.h"

namespace {

constexpr SIZE Frame{3, 3};
constexpr int32_t Columns = 7, Rows = 3;

SwitcherLayout Grid(int32_t windows, bool showCancel = false) {
    return SwitcherLayout(windows, Columns, Rows, showCancel, SwitcherLayout::Metrics::AtDpi(96), Frame);
}

bool operator==(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }
bool operator==(const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; }

}  // namespace

TEST(SwitcherLayoutTest, OneRowSitsInTheMiddleUnderTheCaptionAndTheWindowIsCentred) {
    const SwitcherLayout layout = Grid(3);
    EXPECT_TRUE(layout.Grid() == (RECT{4, 4, 298, 46}));
    EXPECT_EQ(layout.WindowSize().cx, 308);
    EXPECT_EQ(layout.WindowSize().cy, 86);
    // Four empty columns: two on either side.
    EXPECT_TRUE(layout.Cell(1) == (RECT{88, 4, 130, 46}));
    EXPECT_TRUE(layout.Cell(3) == (RECT{172, 4, 214, 46}));
    EXPECT_EQ(layout.LastShown(), 3);
    EXPECT_TRUE(layout.Caption() == (RECT{4, 51, 298, 76}));
    EXPECT_TRUE(layout.CaptionText() == (RECT{26, 51, 295, 76}));
    EXPECT_TRUE(layout.CancelText() == (RECT{7, 51, 276, 76}));
    // Half a pixel goes to the even side.
    EXPECT_TRUE(layout.CentredOn(SIZE{1280, 1024}) == (POINT{486, 469}));
    EXPECT_TRUE(layout.CentredOn(SIZE{1283, 1025}) == (POINT{488, 470}));
}

TEST(SwitcherLayoutTest, WindowsWrapIntoRowsAndTheSelectionScrollsTheGridByRows) {
    const SwitcherLayout two = Grid(10);
    EXPECT_EQ(two.WindowSize().cy, 2 * 42 + 4 + 6 + 34);
    EXPECT_TRUE(two.Cell(8) == (RECT{4, 46, 46, 88})) << "the eighth starts the second row";

    SwitcherLayout layout = Grid(40);
    EXPECT_EQ(layout.Grid().bottom, Rows * 42 + 4) << "never more rows than the setting";
    EXPECT_EQ(layout.LastShown(), 21);
    EXPECT_TRUE(layout.Select(22));
    EXPECT_EQ(layout.FirstShown(), 8);
    EXPECT_TRUE(layout.Cell(22) == (RECT{4, 88, 46, 130})) << "scrolled in on the last row";
    EXPECT_FALSE(layout.Select(28));
    EXPECT_TRUE(layout.Select(40));
    EXPECT_EQ(layout.FirstShown(), 22);
    EXPECT_EQ(layout.LastShown(), 40);
    // Past the end the selection comes round to the first, scrolled back up.
    EXPECT_TRUE(layout.Select(41));
    EXPECT_EQ(layout.Selection(), 1);
    EXPECT_EQ(layout.FirstShown(), 1);
}

TEST(SwitcherLayoutTest, TheSelectionWrapsAtBothEndsThroughCancelWhereItIsShown) {
    SwitcherLayout plain = Grid(3);
    plain.Select(4);
    EXPECT_EQ(plain.Selection(), 1);
    plain.Select(0);
    EXPECT_EQ(plain.Selection(), 3);
    plain.SelectNextTo(3, false);
    EXPECT_EQ(plain.Selection(), 1);
    plain.SelectNextTo(1, true);
    EXPECT_EQ(plain.Selection(), 3);

    SwitcherLayout cancel = Grid(25, true);
    cancel.Select(26);
    EXPECT_EQ(cancel.Selection(), 0);
    cancel.Select(-1);
    EXPECT_EQ(cancel.Selection(), 25);
    // Cancel is drawn in the caption: the grid stays where it is.
    EXPECT_FALSE(cancel.Select(0));
    EXPECT_EQ(cancel.FirstShown(), 8);
}

TEST(SwitcherLayoutTest, APointPicksTheCellDrawnUnderItAndNoneOnTheEdgesOrPastTheLast) {
    const SwitcherLayout row = Grid(3);
    EXPECT_EQ(row.PositionAt(88, 4), 1);
    EXPECT_EQ(row.PositionAt(129, 45), 1);
    EXPECT_EQ(row.PositionAt(130, 20), 2) << "a line between cells is the next one's";
    EXPECT_EQ(row.PositionAt(87, 20), 0) << "the empty columns";
    EXPECT_EQ(row.PositionAt(214, 20), 0) << "the right edge";
    EXPECT_EQ(row.PositionAt(100, 46), 0) << "the bottom edge";

    SwitcherLayout scrolled = Grid(25);
    EXPECT_EQ(scrolled.PositionAt(25, 129), 15);
    scrolled.Select(22);
    EXPECT_EQ(scrolled.PositionAt(25, 109), 22);
    EXPECT_EQ(scrolled.PositionAt(4 + 4 * 42 + 1, 109), 0) << "room past the last window";
}
