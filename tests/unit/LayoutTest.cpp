#include <gtest/gtest.h>

#include "balloon/Layout.h"

namespace vek {
namespace {

TEST(LayoutTest, TwipsBecomeTheNearestPixel) {
    EXPECT_EQ(TwipsToPixels(1440, 96), 96);
    EXPECT_EQ(TwipsToPixels(120, 96), 8);
    EXPECT_EQ(TwipsToPixels(500, 96), 33);    // 33.33
    EXPECT_EQ(TwipsToPixels(1900, 96), 127);  // 126.67
    EXPECT_EQ(TwipsToPixels(500, 120), 42);   // 41.67
    EXPECT_EQ(TwipsToPixels(500, 144), 50);
    EXPECT_EQ(TwipsToPixels(120, 192), 16);
    EXPECT_EQ(TwipsToPixels(7, 96), 0);  // 0.47
    EXPECT_EQ(TwipsToPixels(8, 96), 1);  // 0.53
    EXPECT_EQ(TwipsToPixels(0, 96), 0);
    // Halves go away from zero.
    EXPECT_EQ(TwipsToPixels(720, 1), 1);
    EXPECT_EQ(TwipsToPixels(-720, 1), -1);
    EXPECT_EQ(TwipsToPixels(-500, 96), -33);
}

TEST(LayoutTest, UnknownDpiCountsAsTheDefault) {
    EXPECT_EQ(TwipsToPixels(1440, 0), 96);
    EXPECT_EQ(TwipsToPixels(1440, -5), 96);
}

TEST(LayoutTest, BalloonSitsAtTheBottomLeftAroundItsLabel) {
    // 96 DPI: margin 8, left and bottom gap 33.
    const PixelRect r = BalloonRect({100, 16}, 1024, 96);
    EXPECT_EQ(r, (PixelRect{33, 967, 108, 24}));
    EXPECT_EQ(r.top + r.height, 1024 - 33);

    // Three lines: three label lines + margin, bottom edge in place.
    const PixelRect three = BalloonRect({100, 48}, 1024, 96);
    EXPECT_EQ(three, (PixelRect{33, 935, 108, 56}));

    // An empty label gives a window of the margin alone.
    EXPECT_EQ(BalloonRect({0, 0}, 768, 96), (PixelRect{33, 727, 8, 8}));
}

TEST(LayoutTest, BalloonScalesWithTheWindowsDpi) {
    // 200 %: margin 16, left and gap 66.67 -> 67.
    EXPECT_EQ(BalloonRect({200, 32}, 2160, 192), (PixelRect{67, 2045, 216, 48}));
    // 125 %: margin 10, left and gap 41.67 -> 42.
    EXPECT_EQ(BalloonRect({125, 20}, 1080, 120), (PixelRect{42, 1008, 135, 30}));
}

TEST(LayoutTest, TopFollowsTheHeightTheWindowTook) {
    EXPECT_EQ(BalloonTop(24, 1024, 96), 967);
    EXPECT_EQ(BalloonTop(40, 1024, 96), 951);  // the system made it taller
    EXPECT_EQ(BalloonTop(60, 2160, 192), 2033);
}

TEST(LayoutTest, TestWindowRect) {
    EXPECT_EQ(TestWindowRect(96), (PixelRect{100, 100, 12, 127}));
    EXPECT_EQ(TestWindowRect(144), (PixelRect{150, 150, 18, 190}));
    EXPECT_EQ(TestWindowRect(192), (PixelRect{200, 200, 24, 253}));
}

}  // namespace
}  // namespace vek
