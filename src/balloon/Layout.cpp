#include "balloon/Layout.h"

namespace vek {

int TwipsToPixels(std::int64_t twips, int dpi) {
    const std::int64_t d = dpi >= 1 ? dpi : kDefaultDpi;
    const std::int64_t scaled = twips * d;
    const std::int64_t half = kTwipsPerInch / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / kTwipsPerInch
                                        : -((-scaled + half) / kTwipsPerInch));
}

PixelRect BalloonRect(PixelSize label, int screenHeight, int dpi) {
    const int margin = TwipsToPixels(kBlnMarginTwips, dpi);
    const int height = label.height + margin;
    return {TwipsToPixels(kBlnLeftTwips, dpi), BalloonTop(height, screenHeight, dpi),
            label.width + margin, height};
}

int BalloonTop(int windowHeight, int screenHeight, int dpi) {
    return screenHeight - TwipsToPixels(kBlnBottomGapTwips, dpi) - windowHeight;
}

PixelRect TestWindowRect(int dpi) {
    return {TwipsToPixels(kTestLeftTwips, dpi), TwipsToPixels(kTestTopTwips, dpi),
            TwipsToPixels(kTestWidthTwips, dpi), TwipsToPixels(kTestHeightTwips, dpi)};
}

}  // namespace vek
