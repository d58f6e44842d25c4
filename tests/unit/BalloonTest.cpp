// The balloon: the player tick by tick, and where the window goes.

#include "TestSupport.h"
#include "balloon/Layout.h"
#include "balloon/Player.h"

namespace vek {
namespace {

// What the label shows after each tick, up to the tick that ends the run or the most asked for.
std::vector<std::u16string> Frames(std::u16string_view text, std::size_t most = 100000) {
    std::vector<std::u16string> frames;
    std::u16string shown;
    std::int32_t pos = 1, wait = 0;
    while (frames.size() < most && BlnStep(text, shown, pos, wait)) frames.push_back(shown);
    return frames;
}

TEST(PlayerTest, EachTickTypesACharacterOrPlaysATag) {
    // clang-format off
    const std::pair<const char16_t*, std::vector<std::u16string>> cases[] = {
        {u"a/w2b\\w1c", {u"a", u"a", u"a", u"a", u"ab", u"ab", u"ab", u"abc", u"abc"}},
        {u"a\\wxb", {u"a", u"a", u"ab"}},  // the character after a wait tag goes, digit or not
        {u"a\\nb/nc", {u"a", u"a\r\n", u"a\r\nb", u"a\r\nb\r\n", u"a\r\nb\r\nc"}},
        {u"ab\\cc/cd", {u"a", u"ab", u"", u"c", u"", u"d"}}, {u"\\/n", {u"\\", u"\\\r\n"}},
        {u"\r\nb", {u"\r", u"\r\n", u"\r\nb"}}, {u"\\W/N", {u"\\", u"\\W", u"\\W/", u"\\W/N"}},
        // A character beyond the first plane is typed, or waited on, whole; a lone half alone.
        {u"a\U0001F600b", {u"a", u"a\U0001F600", u"a\U0001F600b", u"a\U0001F600b"}},
        {u"\\w\U0001F600x", {u"", u"x"}}, {u"a\xD83D", {u"a", u"a\xD83D"}},
        {u"\U00010000\U0010FFFF", {u"\U00010000", u"\U00010000\U0010FFFF"}},
        {u"\xD800" u"a\xDC00", {u"\xD800", u"\xD800" u"a", u"\xD800" u"a\xDC00"}}};
    // clang-format on
    for (const auto& [text, frames] : cases)
        EXPECT_EQ(Frames(text, frames.size()), frames) << Utf8(text);  // the rest linger
}

// 80 ticks past the end, spaces around it aside; a closing wait tag takes three places.
TEST(PlayerTest, TheRunEndsEightyTicksAfterTheTextWithoutItsSurroundingSpaces) {
    const std::pair<std::u16string_view, std::size_t> cases[] = {
        {u"ab", 82},   {u"ab     ", 82},
        {u"  ab", 82}, {u"ab\t", 83},
        {u"", 80},     {u"   ", 80},
        {u"a\\w", 81}, {std::u16string_view(u"a\xD83D\xDE00", 2), 82}};
    for (const auto& [text, ticks] : cases) EXPECT_EQ(Frames(text).size(), ticks) << Utf8(text);
}

// A long request is quoted up to its 1000th unit where that ends a character, and counted.
TEST(PlayerTest, ALongRequestIsQuotedUpToItsThousandthUnit) {
    EXPECT_EQ(QuotedRequest(std::u16string(1001, u'x')),
              std::u16string(1000, u'x') + u"... (1001 characters in all)");
}

// Twips become the nearest pixel at the window's DPI.
TEST(LayoutTest, TheBalloonGrowsUpAndRightAroundItsLabelFromTheBottomLeftCorner) {
    EXPECT_EQ(TwipsToPixels(500, 96), 33);
    EXPECT_EQ(TwipsToPixels(720, 1), 1);    // a half goes up
    EXPECT_EQ(TwipsToPixels(1440, 0), 96);  // a DPI the system cannot tell counts as 96
    // At 1440 DPI a pixel is a twip: 500 from the left and the bottom, a margin of 120.
    EXPECT_EQ(BalloonRect({}, 10000, 1440), (PixelRect{500, 10000 - 500 - 120, 120, 120}));
    EXPECT_EQ(TestWindowRect(1440), (PixelRect{1500, 1500, 180, 1900}));  // the test window
    const PixelRect small = BalloonRect({.width = 200, .height = 40}, 1080, 144);
    const PixelRect large = BalloonRect({.width = 300, .height = 90}, 1080, 144);
    EXPECT_EQ(large, (PixelRect{small.left, small.top - 50, small.width + 100, small.height + 50}));
    // At twice the DPI, twice the pixels: the balloon keeps its size and place in inches.
    EXPECT_EQ(BalloonRect({.width = 400, .height = 80}, 2160, 288),
              (PixelRect{2 * small.left, 2 * small.top, 2 * small.width, 2 * small.height}));
}

}  // namespace
}  // namespace vek
