// The balloon: the player tick by tick, and where the window goes.

#include "TestSupport.h"
#include "balloon/Layout.h"
#include "balloon/Player.h"

// clang-format off: the case tables are laid out by hand, several cases to a line.
namespace vek {
namespace {

// What the label shows after each tick, up to the tick that ends the run.
std::vector<std::u16string> Frames(std::u16string_view text) {
    std::vector<std::u16string> frames;
    std::u16string shown;
    std::int32_t pos = 1;
    std::int32_t wait = 0;
    while (BlnStep(text, shown, pos, wait) && frames.size() < 100000) frames.push_back(shown);
    return frames;
}

TEST(PlayerTest, EachTickTypesACharacterOrPlaysATag) {
    const std::pair<const char16_t*, std::vector<std::u16string>> cases[] = {
        {u"ab", {u"a", u"ab", u"ab"}},
        {u"a\\w5b", {u"a", u"a", u"a", u"a", u"a", u"a", u"a", u"ab"}},
        {u"a/w2b", {u"a", u"a", u"a", u"a", u"ab"}},
        {u"a\\wxb", {u"a", u"a", u"ab"}},  // the character after the tag is consumed
        {u"a\\w-b", {u"a", u"a", u"ab"}}, {u"a/w.b", {u"a", u"a", u"ab"}},
        {u"a\\nb", {u"a", u"a\r\n", u"a\r\nb"}}, {u"a/nb", {u"a", u"a\r\n", u"a\r\nb"}},
        {u"a\r\nb", {u"a", u"a\r", u"a\r\n", u"a\r\nb"}},
        {u"abc\\cd", {u"a", u"ab", u"abc", u"", u"d"}}, {u"x\\ny/cz", {u"x", u"x\r\n", u"x\r\ny", u"", u"z"}},
        {u"\\W1\\N/C", {u"\\", u"\\W", u"\\W1", u"\\W1\\", u"\\W1\\N", u"\\W1\\N/"}},
        {u"\\/nx", {u"\\", u"\\\r\n", u"\\\r\nx"}},
        {u"a\U0001F600b", {u"a", u"a\U0001F600", u"a\U0001F600b", u"a\U0001F600b"}},  // never half a pair
        {u"\\w\U0001F600x", {u"", u"x"}}, {u"\U00010000\U0010FFFF", {u"\U00010000", u"\U00010000\U0010FFFF"}},
        {u"\xD800" u"a\xDC00", {u"\xD800", u"\xD800" u"a", u"\xD800" u"a\xDC00"}},
        {u"a\xD83D", {u"a", u"a\xD83D"}}};
    for (const auto& [text, frames] : cases) {
        auto played = Frames(text);
        played.resize(std::min(played.size(), frames.size()));  // the frames that follow are the wait
        EXPECT_EQ(played, frames) << Utf8(text);
    }
}

TEST(PlayerTest, TheRunEndsEightyOneTicksAfterTheTrimmedText) {
    // The tick that finds the position past the trimmed length + 80 ends the run; a wait tag at the
    // end takes its three places.
    const std::pair<const char16_t*, std::size_t> cases[] = {
        {u"ab", 82}, {u"ab     ", 82}, {u"  ab", 82}, {u"ab\t", 83}, {u"", 80}, {u"   ", 80}, {u"a\\w", 81}};
    for (const auto& [text, ticks] : cases) EXPECT_EQ(Frames(text).size(), ticks) << Utf8(text);
}

TEST(LayoutTest, TwipsBecomePixelsAtTheWindowsDpi) {
    const std::tuple<int, int, int> cases[] = {
        {1440, 96, 96}, {120, 96, 8}, {500, 96, 33}, {1900, 96, 127}, {500, 120, 42}, {7, 96, 0}, {8, 96, 1},
        {720, 1, 1}, {-720, 1, -1}, {-500, 96, -33}, {1440, 0, 96}, {1440, -5, 96}};
    for (const auto& [twips, dpi, pixels] : cases) EXPECT_EQ(TwipsToPixels(twips, dpi), pixels);
    // At 1440 DPI a twip is a pixel: the balloon 500 px from the left, its label plus 120 px, 500 px
    // above the screen's bottom; the test window at 1500, 1500, 180 x 1900.
    EXPECT_EQ(BalloonRect({200, 40}, 3000, 1440), (PixelRect{500, 2340, 320, 160}));
    EXPECT_EQ(BalloonTop(60, 3000, 1440), 2440);
    EXPECT_EQ(TestWindowRect(1440), (PixelRect{1500, 1500, 180, 1900}));
}

}  // namespace
}  // namespace vek
