#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "app/F_ZERO.h"
#include "app/UsageText.h"
#include "balloon/Player.h"
#include "platform/fake/FakePlatform.h"
#include "request/Request.h"

namespace vek {
namespace {

// A text played tick by tick, the way the form's timer drives it.
struct Playback {
    explicit Playback(std::u16string t) : text(std::move(t)) {}

    bool Tick() { return BlnStep(text, shown, pos, wait); }

    // Plays the next n ticks, none of which may end the run, and returns what
    // the label shows after each.
    std::vector<std::u16string> Frames(int n) {
        std::vector<std::u16string> frames;
        for (int i = 0; i < n; ++i) {
            EXPECT_TRUE(Tick()) << "the run ended early, at tick " << ticks + 1;
            ++ticks;
            frames.push_back(shown);
        }
        return frames;
    }

    // Plays to the end; returns the number of the tick that ended the run.
    int PlayToEnd() {
        for (int guard = 0; guard < 100000; ++guard) {
            ++ticks;
            if (!Tick()) return ticks;
        }
        ADD_FAILURE() << "the run never ends";
        return -1;
    }

    std::u16string text;
    std::u16string shown;
    std::int32_t pos = 1;
    std::int32_t wait = 0;
    int ticks = 0;
};

using Frames = std::vector<std::u16string>;

TEST(PlayerTest, TypesOneCharacterPerTickAndEndsEightyOneTicksLater) {
    Playback p(u"ab");
    EXPECT_EQ(p.Frames(2), (Frames{u"a", u"ab"}));
    // Past the end the position still advances, one per tick.
    for (int tick = 3; tick <= 82; ++tick) {
        ASSERT_TRUE(p.Tick()) << tick;
        EXPECT_EQ(p.shown, u"ab");
        EXPECT_EQ(p.pos, tick + 1);
    }
    // The tick at which the position is 83 ends the run and changes nothing.
    EXPECT_EQ(p.pos, 83);
    EXPECT_FALSE(p.Tick());
    EXPECT_EQ(p.pos, 83);
    EXPECT_EQ(p.shown, u"ab");
    EXPECT_EQ(p.wait, 0);
}

TEST(PlayerTest, WaitTagTakesATickAndWaitsItsDigit) {
    Playback p(u"a\\w5b");
    EXPECT_EQ(p.Frames(8), (Frames{u"a", u"a", u"a", u"a", u"a", u"a", u"a", u"ab"}));

    Playback slash(u"a/w2b");
    EXPECT_EQ(slash.Frames(2), (Frames{u"a", u"a"}));
    EXPECT_EQ(slash.wait, 2);
    EXPECT_EQ(slash.pos, 5);
    EXPECT_EQ(slash.Frames(3), (Frames{u"a", u"a", u"ab"}));
}

TEST(PlayerTest, WaitTagWithoutADigitConsumesItAndWaitsNothing) {
    for (const char16_t* text : {u"a\\wxb", u"a\\w b", u"a\\w-b", u"a\\w&b", u"a/w.b"}) {
        Playback p(text);
        EXPECT_EQ(p.Frames(3), (Frames{u"a", u"a", u"ab"})) << ToUtf8(text);
        EXPECT_EQ(p.wait, 0);
    }
}

TEST(PlayerTest, WaitTagAtTheEndWaitsNothing) {
    Playback p(u"a\\w");
    EXPECT_EQ(p.Frames(2), (Frames{u"a", u"a"}));
    EXPECT_EQ(p.wait, 0);
    EXPECT_EQ(p.pos, 5);  // the tag's three positions are passed even without a digit
    // Trimmed length 3: the run ends on the tick that finds the position at 84.
    EXPECT_EQ(p.PlayToEnd(), 2 + (83 - 5 + 1) + 1);
    EXPECT_EQ(p.shown, u"a");
}

TEST(PlayerTest, NewLineTagsAppendCrLf) {
    for (const char16_t* text : {u"a\\nb", u"a/nb"}) {
        Playback p(text);
        EXPECT_EQ(p.Frames(3), (Frames{u"a", u"a\r\n", u"a\r\nb"})) << ToUtf8(text);
    }
    // Line breaks in the text itself are typed like any character.
    Playback crlf(u"a\r\nb");
    EXPECT_EQ(crlf.Frames(4), (Frames{u"a", u"a\r", u"a\r\n", u"a\r\nb"}));
}

TEST(PlayerTest, ClearTagsEmptyTheLabel) {
    Playback p(u"abc\\cd");
    EXPECT_EQ(p.Frames(5), (Frames{u"a", u"ab", u"abc", u"", u"d"}));
    Playback slash(u"x\\ny/cz");
    EXPECT_EQ(slash.Frames(5), (Frames{u"x", u"x\r\n", u"x\r\ny", u"", u"z"}));
}

TEST(PlayerTest, OtherSequencesAreTypedAsTheyAre) {
    // Tags are case-sensitive; other letters after a backslash are no tags.
    Playback p(u"\\W1\\N\\h/C");
    p.PlayToEnd();
    EXPECT_EQ(p.shown, u"\\W1\\N\\h/C");
    Playback lone(u"\\");
    lone.PlayToEnd();
    EXPECT_EQ(lone.shown, u"\\");
    // A backslash before a slash tag: the backslash is typed, then the tag plays.
    Playback mixed(u"\\/nx");
    EXPECT_EQ(mixed.Frames(3), (Frames{u"\\", u"\\\r\n", u"\\\r\nx"}));
}

TEST(PlayerTest, SurroundingSpacesAreTypedButDoNotHoldTheBalloon) {
    Playback plain(u"ab");
    const int plainEnd = plain.PlayToEnd();

    Playback trailing(u"ab     ");
    EXPECT_EQ(trailing.Frames(7).back(), u"ab     ");
    EXPECT_EQ(trailing.PlayToEnd(), plainEnd);  // 5 ticks less after the last typed space

    Playback leading(u"  ab");
    EXPECT_EQ(leading.Frames(4).back(), u"  ab");
    EXPECT_EQ(leading.PlayToEnd(), plainEnd);

    // Tabs are no spaces: they count.
    Playback tab(u"ab\t");
    EXPECT_EQ(tab.PlayToEnd(), plainEnd + 1);
}

TEST(PlayerTest, EmptyTextLingersAndEnds) {
    Playback p(u"");
    EXPECT_EQ(p.PlayToEnd(), 81);
    EXPECT_TRUE(p.shown.empty());
    Playback spaces(u"   ");
    EXPECT_EQ(spaces.PlayToEnd(), 81);
    EXPECT_EQ(spaces.shown, u"   ");
}

TEST(PlayerTest, SurrogatePairsAreNeverSplit) {
    const std::u16string face = u"\U0001F600";  // one character, two UTF-16 units
    Playback p(u"a" + face + u"b");
    EXPECT_EQ(p.Frames(3), (Frames{u"a", u"a" + face, u"a" + face + u"b"}));
    for (const std::u16string& frame : p.Frames(1)) EXPECT_EQ(frame, u"a" + face + u"b");

    // As the character after a wait tag it is consumed whole and waits nothing.
    Playback afterWait(u"\\w" + face + u"x");
    EXPECT_EQ(afterWait.Frames(2), (Frames{u"", u"x"}));
    EXPECT_EQ(afterWait.wait, 0);

    // Lone surrogates are typed one unit at a time, as they are.
    Playback lone(
        u"\xD800"
        u"a\xDC00");
    EXPECT_EQ(lone.Frames(3), (Frames{u"\xD800",
                                      u"\xD800"
                                      u"a",
                                      u"\xD800"
                                      u"a\xDC00"}));
    Playback highAtEnd(u"a\xD83D");
    EXPECT_EQ(highAtEnd.Frames(2).back(), u"a\xD83D");
}

TEST(PlayerTest, WaitingTicksShowTheSameText) {
    Playback p(u"x\\w9");
    p.Frames(2);
    EXPECT_EQ(p.wait, 9);
    for (int i = 8; i >= 0; --i) {
        ASSERT_TRUE(p.Tick());
        EXPECT_EQ(p.wait, i);
        EXPECT_EQ(p.pos, 5);
        EXPECT_EQ(p.shown, u"x");
    }
}

TEST(PlayerTest, UsageTextPlaysItsLinesThenHoldsThemAHundredTicks) {
    Playback p{std::u16string(kUsageText)};
    // Six new-line tags (two positions, one tick each) and ten '\w9' tags
    // (three positions, one tick and nine waiting ticks each).
    const int newLines = 6;
    const int waits = 10;
    const int typed = static_cast<int>(kUsageText.size()) - 2 * newLines - 3 * waits;
    const int typingTicks = typed + newLines;

    std::u16string finished(kUsageText.substr(0, kUsageText.find(u"\\w9")));
    for (std::size_t at; (at = finished.find(u"\\n")) != std::u16string::npos;) {
        finished.replace(at, 2, u"\r\n");
    }
    const Frames frames = p.Frames(typingTicks);
    EXPECT_EQ(frames.back(), finished);
    EXPECT_NE(frames[frames.size() - 2], finished);
    EXPECT_TRUE(finished.ends_with(u"#ref(7)#\r\n"));

    // The text stays as it is for the 100 ticks of the wait tags and the 80
    // positions after the end; the 81st of those ends the run.
    const int endTick = p.PlayToEnd();
    EXPECT_EQ(p.shown, finished);
    EXPECT_EQ(endTick, typingTicks + waits * 10 + 81);
    EXPECT_EQ(endTick, 388);
}

TEST(PlayerTest, NotReadyReportPlaysThroughTheForm) {
    FakePlatform fake;
    fake.commandArgs = u"OnX#a\\cb";
    F_ZERO form{fake};
    ASSERT_EQ(form.Form_Load(), Outcome::ShowBalloon);
    const std::u16string request = BuildEventRequest(u"OnX#a\\cb", fake.OwnHwnd());
    ASSERT_EQ(form.BlnText, u"Object Platform is not ready!!\\n" + request);

    int ticks = 0;
    bool cleared = false;
    while (form.TmBln_Timer() == Outcome::KeepRunning) {
        ++ticks;
        if (form.BlnShown.empty() && ticks > 1) cleared = true;
        ASSERT_LT(ticks, 10000);
    }
    EXPECT_TRUE(cleared);
    const std::u16string afterClear = request.substr(request.find(u"\\c") + 2);
    EXPECT_EQ(form.BlnShown, afterClear);
    // Two tags of two positions, one tick each; the ending tick is the 81st
    // after the end of the text.
    const int length = static_cast<int>(form.BlnText.size());
    EXPECT_EQ(ticks + 1, length - 2 + 81);
}

TEST(PlayerTest, StartBlnRestartsThePlayer) {
    FakePlatform fake;
    fake.commandArgs = u"/?";
    F_ZERO form{fake};
    form.BlnShown = u"old";
    form.BlnPos = 77;
    form.BlnWait = 3;
    ASSERT_EQ(form.Form_Load(), Outcome::ShowBalloon);
    EXPECT_TRUE(form.BlnShown.empty());
    EXPECT_EQ(form.BlnPos, 1);
    EXPECT_EQ(form.BlnWait, 0);
    EXPECT_EQ(form.TmBln_Timer(), Outcome::KeepRunning);
    EXPECT_EQ(form.BlnShown, u"\u3010");
}

}  // namespace
}  // namespace vek
