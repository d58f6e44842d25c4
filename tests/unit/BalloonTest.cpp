// The balloon: the player tick by tick, and where the window goes.

#include "TestSupport.h"
#include "app/F_ZERO.h"
#include "app/UsageText.h"
#include "balloon/Layout.h"
#include "balloon/Player.h"
#include "request/Request.h"

namespace vek {
namespace {

// Plays text and returns what the label shows after each tick, up to the
// tick that ends the run (not included); fails when that never comes.
std::vector<std::u16string> Frames(std::u16string_view text) {
    std::vector<std::u16string> frames;
    std::u16string shown;
    std::int32_t pos = 1;
    std::int32_t wait = 0;
    while (BlnStep(text, shown, pos, wait)) {
        frames.push_back(shown);
        if (frames.size() > 100000) {
            ADD_FAILURE() << "the run never ends";
            break;
        }
    }
    return frames;
}

using Shown = std::vector<std::u16string>;

Shown First(const Shown& frames, std::size_t n) {
    return Shown(frames.begin(),
                 frames.begin() + static_cast<std::ptrdiff_t>(std::min(n, frames.size())));
}

TEST(PlayerTest, TypesOneCharacterATickAndEndsEightyOneTicksAfterTheText) {
    const Shown ab = Frames(u"ab");
    ASSERT_EQ(ab.size(), 82u);  // the 83rd tick finds position 83 and ends the run
    EXPECT_EQ(First(ab, 3), (Shown{u"a", u"ab", u"ab"}));
    EXPECT_EQ(ab.back(), u"ab");
    // Surrounding spaces are typed but do not hold the balloon; tabs do.
    EXPECT_EQ(Frames(u"ab     ").size(), 82u);
    EXPECT_EQ(Frames(u"  ab").size(), 82u);
    EXPECT_EQ(Frames(u"  ab")[3], u"  ab");
    EXPECT_EQ(Frames(u"ab\t").size(), 83u);
    EXPECT_EQ(Frames(u"").size(), 80u);
    EXPECT_EQ(Frames(u"   ").size(), 80u);
}

TEST(PlayerTest, Tags) {
    const std::pair<const char16_t*, Shown> cases[] = {
        {u"a\\w5b", {u"a", u"a", u"a", u"a", u"a", u"a", u"a", u"ab"}},
        {u"a/w2b", {u"a", u"a", u"a", u"a", u"ab"}},
        {u"a\\wxb", {u"a", u"a", u"ab"}},  // the character after the tag is consumed
        {u"a\\w b", {u"a", u"a", u"ab"}},
        {u"a\\w-b", {u"a", u"a", u"ab"}},
        {u"a/w.b", {u"a", u"a", u"ab"}},
        {u"a\\nb", {u"a", u"a\r\n", u"a\r\nb"}},
        {u"a/nb", {u"a", u"a\r\n", u"a\r\nb"}},
        {u"a\r\nb", {u"a", u"a\r", u"a\r\n", u"a\r\nb"}},
        {u"abc\\cd", {u"a", u"ab", u"abc", u"", u"d"}},
        {u"x\\ny/cz", {u"x", u"x\r\n", u"x\r\ny", u"", u"z"}},
        {u"\\W1\\N\\h/C", {u"\\", u"\\W", u"\\W1", u"\\W1\\", u"\\W1\\N"}},
        {u"\\/nx", {u"\\", u"\\\r\n", u"\\\r\nx"}},
        {u"a\U0001F600b", {u"a", u"a\U0001F600", u"a\U0001F600b", u"a\U0001F600b"}},
        {u"\\w\U0001F600x", {u"", u"x"}},
        {u"\xD800"
         u"a\xDC00",
         {u"\xD800",
          u"\xD800"
          u"a",
          u"\xD800"
          u"a\xDC00"}},
        {u"a\xD83D", {u"a", u"a\xD83D"}},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(First(Frames(text), shown.size()), shown) << Utf8(text);
    }
    // A wait tag at the very end takes its three positions and waits nothing.
    const Shown atEnd = Frames(u"a\\w");
    EXPECT_EQ(atEnd.size(), 81u);
    EXPECT_EQ(atEnd.back(), u"a");
}

TEST(PlayerTest, UsageTextHoldsItsLinesForTheWaitTagsThenEnds) {
    const Shown frames = Frames(kUsageText);
    std::u16string finished(kUsageText.substr(0, kUsageText.find(u"\\w9")));
    for (std::size_t at; (at = finished.find(u"\\n")) != std::u16string::npos;) {
        finished.replace(at, 2, u"\r\n");
    }
    // 201 characters and 6 new-line tags typed; ten \w9 tags of one tick and
    // nine waiting ticks each; the 81st tick after the text ends the run.
    ASSERT_EQ(frames.size(), 387u);
    EXPECT_NE(frames[205], finished);
    EXPECT_EQ(frames[206], finished);
    EXPECT_EQ(frames.back(), finished);
}

TEST(PlayerTest, NotReadyReportPlaysThroughTheForm) {
    FakePlatform fake;
    fake.commandArgs = u"OnX#a\\cb";
    F_ZERO form{fake};
    ASSERT_EQ(form.Form_Load(), Outcome::ShowBalloon);
    int ticks = 1;
    while (form.TmBln_Timer() == Outcome::KeepRunning) ++ticks;
    EXPECT_EQ(form.BlnShown, u"b" + NotificationTail(1234));
    // Every position a tick, but the two tags take two positions in one; the
    // run ends on the 81st tick after the text.
    EXPECT_EQ(ticks, static_cast<int>(form.BlnText.size()) - 2 + 81);
}

TEST(LayoutTest, TwipsToPixelsAtTheWindowsDpi) {
    const std::tuple<int, int, int> cases[] = {
        {1440, 96, 96}, {120, 96, 8},   {500, 96, 33},   {1900, 96, 127}, {500, 120, 42},
        {500, 144, 50}, {120, 192, 16}, {7, 96, 0},      {8, 96, 1},      {0, 96, 0},
        {720, 1, 1},    {-720, 1, -1},  {-500, 96, -33}, {1440, 0, 96},   {1440, -5, 96}};
    for (const auto& [twips, dpi, pixels] : cases) {
        EXPECT_EQ(TwipsToPixels(twips, dpi), pixels) << twips << " twips at " << dpi;
    }
}

TEST(LayoutTest, BalloonAndTestWindow) {
    // 96 DPI: margin 8, left and bottom gap 33; a label of three lines.
    EXPECT_EQ(BalloonRect({100, 16}, 1024, 96), (PixelRect{33, 967, 108, 24}));
    EXPECT_EQ(BalloonRect({100, 48}, 1024, 96), (PixelRect{33, 935, 108, 56}));
    EXPECT_EQ(BalloonRect({0, 0}, 768, 96), (PixelRect{33, 727, 8, 8}));
    EXPECT_EQ(BalloonRect({200, 32}, 2160, 192), (PixelRect{67, 2045, 216, 48}));
    EXPECT_EQ(BalloonTop(40, 1024, 96), 951);  // the system made it taller
    EXPECT_EQ(TestWindowRect(96), (PixelRect{100, 100, 12, 127}));
    EXPECT_EQ(TestWindowRect(144), (PixelRect{150, 150, 18, 190}));
}

}  // namespace
}  // namespace vek
