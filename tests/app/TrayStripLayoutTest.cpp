// The Tray Manager's strip worked out without a window: its size for a
// number of windows at 96 and 144 DPI, which slot a point falls in, and the
// pop-up kept inside the monitor's work area.
#include <gtest/gtest.h>

#include <windows.h>

#include "TrayStripLayout.h"

namespace {

bool operator==(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }
bool operator==(const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; }

}  // namespace

TEST(TrayStripLayoutTest, TheRowHasASlotPerWindowNeverNarrowerThanFiveAndScalesAsAWhole) {
    const TrayStripLayout one(1, 96);
    EXPECT_EQ(one.ClientSize().cx, 94);
    EXPECT_EQ(one.ClientSize().cy, 38);
    EXPECT_TRUE(one.Strip() == (RECT{0, 16, 94, 38}));
    EXPECT_TRUE(one.Pin() == (RECT{78, 0, 94, 15}));
    EXPECT_TRUE(one.CloseButton() == (RECT{80, 2, 94, 15}));
    EXPECT_TRUE(one.Title() == (RECT{4, -2, 77, 16}));
    EXPECT_TRUE(one.Slot(1) == (RECT{3, 19, 21, 35}));
    EXPECT_EQ(TrayStripLayout(6, 96).ClientSize().cx, 6 * 18 + 4);

    // 94 pixels at 96 DPI are 141 at 144, not the sum of the scaled parts.
    const TrayStripLayout dense(1, 144);
    EXPECT_EQ(dense.ClientSize().cx, 141);
    EXPECT_EQ(dense.ClientSize().cy, 57);
    EXPECT_TRUE(dense.Slot(1) == (RECT{5, 29, 32, 52}));
    EXPECT_EQ(dense.IconSize(), 24);
}

TEST(TrayStripLayoutTest, ASlotTakesInItsRightEdgeButTheFirstLeftEdgeAndEmptyRoomAreNoSlots) {
    const TrayStripLayout two(2, 96);
    EXPECT_EQ(two.PositionAt(3, 27), 0) << "the first slot's left edge";
    EXPECT_EQ(two.PositionAt(4, 27), 1);
    EXPECT_EQ(two.PositionAt(21, 27), 1) << "the line between the slots";
    EXPECT_EQ(two.PositionAt(22, 27), 2);
    EXPECT_EQ(two.PositionAt(10, 35), 1) << "the bottom edge";
    EXPECT_EQ(two.PositionAt(10, 18), 0) << "above the slots";
    EXPECT_EQ(two.PositionAt(40, 27), 0) << "room past the last window";
}

TEST(TrayStripLayoutTest, APopUpNearTheEdgeIsKeptInsideTheWorkArea) {
    const RECT area{0, 0, 1280, 984};
    EXPECT_TRUE(TrayStripLayout::KeptInside(POINT{10, 10}, SIZE{100, 50}, area) == (POINT{10, 10}));
    EXPECT_TRUE(TrayStripLayout::KeptInside(POINT{1250, -20}, SIZE{100, 50}, area) == (POINT{1180, 0}));
    EXPECT_TRUE(TrayStripLayout::KeptInside(POINT{-5, 960}, SIZE{100, 50}, area) == (POINT{0, 934}));
    EXPECT_TRUE(TrayStripLayout::KeptInside(POINT{500, 10}, SIZE{2000, 50}, area) == (POINT{0, 10}))
        << "too wide: the left edge shows";
}
