// The test double must convert as Windows does, or the other tests prove nothing.

#include "platform/fake/FakePlatform.h"

#include "TestUtil.h"

namespace vek {
namespace {

TEST(FakeCodecTest, ShiftJisBothWays) {
    FakePlatform fake(1252);
    const std::string sjis = "\x93\xfa\x96\x7b\x8c\xea abc \x81\x60";  // 日本語 abc ～
    const std::u16string text = u"\u65e5\u672c\u8a9e abc \uff5e";
    EXPECT_EQ(fake.Decode(CodePage::ShiftJis, sjis), text);
    EXPECT_EQ(fake.Encode(CodePage::ShiftJis, text), sjis);
}

TEST(FakeCodecTest, MissingCharactersBecomeQuestionMarks) {
    FakePlatform fake(932);
    bool lossy = false;
    EXPECT_EQ(fake.Encode(CodePage::ShiftJis, u"a\U0001F600b\u00e9", &lossy), "a??b?");
    EXPECT_TRUE(lossy);
    EXPECT_EQ(fake.Encode(CodePage::ShiftJis, u"ab", &lossy), "ab");
    EXPECT_FALSE(lossy);
}

TEST(FakeCodecTest, AnsiFollowsTheConfiguredCodePage) {
    EXPECT_EQ(FakePlatform(1252).Decode(CodePage::Ansi, "\xe9"), u"\u00e9");
    EXPECT_EQ(FakePlatform(932).Decode(CodePage::Ansi, "\x82\xa0"), u"\u3042");
    EXPECT_EQ(FakePlatform(65001).Decode(CodePage::Ansi, "\xe3\x81\x82"), u"\u3042");
}

TEST(FakeCodecTest, KeptConvertersStartAfreshEachTime) {
    // The converters are reused: an incomplete or invalid sequence at the end
    // of one text must not reach into the next.
    FakePlatform fake(932);
    EXPECT_EQ(fake.Decode(CodePage::ShiftJis, "a\x82"), u"a\u30fb");
    EXPECT_EQ(fake.Decode(CodePage::ShiftJis,
                          "\xb6"
                          "b"),
              u"\uff76b");
    EXPECT_EQ(fake.Encode(CodePage::ShiftJis, u"x\xd83d"), "x?");
    EXPECT_EQ(fake.Encode(CodePage::ShiftJis, u"\xde00y"), "?y");
    EXPECT_EQ(fake.Decode(CodePage::Ansi, "\x82\xa0"), u"\u3042");
}

TEST(FakeCodecTest, LongTextsConvertWhole) {
    FakePlatform fake(1252);
    std::string sjis;
    std::u16string text;
    for (int i = 0; i < 50000; ++i) {
        sjis += i % 3 == 0 ? "\x82\xa0" : i % 3 == 1 ? "z" : "\x81\x60";
        text += i % 3 == 0 ? u'\u3042' : i % 3 == 1 ? u'z' : u'\uff5e';
    }
    EXPECT_EQ(fake.Decode(CodePage::ShiftJis, sjis), text);
    EXPECT_EQ(fake.Encode(CodePage::ShiftJis, text), sjis);
}

TEST(FakeFilesTest, ExistenceIsExactAndNormalOnly) {
    FakePlatform fake;
    fake.AddFile(u"a.txt", "x");
    fake.AddFile(u"C:\\other\\b.txt", "y");
    fake.AddDirectory(u"dir");
    EXPECT_TRUE(fake.FileExists(u"a.txt"));
    EXPECT_TRUE(fake.FileExists(u"A.TXT"));
    EXPECT_TRUE(fake.FileExists(u".\\a.txt"));
    EXPECT_TRUE(fake.FileExists(u"C:\\work\\a.txt"));
    EXPECT_TRUE(fake.FileExists(u"C:\\other\\b.txt"));
    EXPECT_FALSE(fake.FileExists(u"*.txt"));
    EXPECT_FALSE(fake.FileExists(u"a.tx?"));
    EXPECT_FALSE(fake.FileExists(u"dir"));
    EXPECT_FALSE(fake.FileExists(u"b.txt"));
}

}  // namespace
}  // namespace vek
