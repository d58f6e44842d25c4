#pragma once
// Where the balloon and the test window go on the screen. Their geometry is
// given in twips (1/1440 inch) and becomes pixels at the window's own DPI, so
// both keep their physical size and place on high-DPI screens.

#include <cstdint>

namespace vek {

inline constexpr int kTwipsPerInch = 1440;

// The balloon's left edge, and the gap between its bottom edge and the
// bottom of the screen.
inline constexpr int kBlnLeftTwips = 500;
inline constexpr int kBlnBottomGapTwips = 500;
// Added to the label's width and height to give the window's outer size.
inline constexpr int kBlnMarginTwips = 120;

// The test window.
inline constexpr int kTestLeftTwips = 1500;
inline constexpr int kTestTopTwips = 1500;
inline constexpr int kTestWidthTwips = 180;
inline constexpr int kTestHeightTwips = 1900;

// The DPI assumed when the system cannot tell one.
inline constexpr int kDefaultDpi = 96;

struct PixelSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Twips to the nearest pixel at dpi (halves away from zero). A dpi below 1
// counts as kDefaultDpi.
int TwipsToPixels(std::int64_t twips, int dpi);

// The balloon around a label of the given pixel size on a screen
// screenHeight pixels high: left 500 twips, width and height the label's +
// 120 twips, bottom edge 500 twips above the screen's bottom.
PixelRect BalloonRect(PixelSize label, int screenHeight, int dpi);

// The balloon's top for the height the window actually took (the system
// may refuse a size), keeping its bottom edge in place.
int BalloonTop(int windowHeight, int screenHeight, int dpi);

// The test window: left 1500, top 1500, width 180, height 1900 twips.
PixelRect TestWindowRect(int dpi);

}  // namespace vek
