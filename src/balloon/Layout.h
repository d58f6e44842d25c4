#pragma once
// Where the balloon and the test window go, in twips (1/1440 inch) that
// become pixels at the window's own DPI: the same size and place in inches.

#include <cstdint>

namespace vek {

inline constexpr int kTwipsPerInch = 1440;

inline constexpr int kBlnLeftTwips = 500;
inline constexpr int kBlnBottomGapTwips = 500;  // above the screen's bottom
inline constexpr int kBlnMarginTwips = 120;     // around the label
inline constexpr int kTestLeftTwips = 1500;
inline constexpr int kTestTopTwips = 1500;
inline constexpr int kTestWidthTwips = 180;
inline constexpr int kTestHeightTwips = 1900;

// Where the system cannot tell one.
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

// To the nearest pixel, halves away from zero; a dpi below 1 is kDefaultDpi.
int TwipsToPixels(std::int64_t twips, int dpi);

PixelRect BalloonRect(PixelSize label, int screenHeight, int dpi);

// For the height the window took (the system may refuse a size).
int BalloonTop(int windowHeight, int screenHeight, int dpi);

PixelRect TestWindowRect(int dpi);

}  // namespace vek
