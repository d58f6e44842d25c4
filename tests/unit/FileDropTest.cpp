// DROP: the path, the existence test, the file-drop block and its target.

#include "TestUtil.h"
#include "app/F_ZERO.h"
#include "delivery/FileDrop.h"
#include "platform/fake/FakePlatform.h"

namespace vek {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The block as the receiving shell expects it: pFiles = 20, then pt.x, pt.y,
// fNC and fWide all 0, the path's bytes, and zeros up to size.
Bytes ExpectedBlock(std::string_view ansiPath, std::size_t size) {
    Bytes block(size, 0);
    block[0] = 20;
    for (std::size_t i = 0; i < ansiPath.size(); ++i) {
        block.at(20 + i) = static_cast<std::uint8_t>(ansiPath[i]);
    }
    return block;
}

TEST(DropPathTest, CurrentDirectoryBackslashAndTheUntrimmedArgument) {
    FakePlatform fake;
    EXPECT_EQ(DropPath(fake, u"DROP#a.txt"), u"C:\\work\\a.txt");
    EXPECT_EQ(DropPath(fake, u"DROP# a.txt"), u"C:\\work\\ a.txt");
    EXPECT_EQ(DropPath(fake, u"DROPxa.txt"), u"C:\\work\\a.txt");  // the 5th character is skipped
    EXPECT_EQ(DropPath(fake, u"DROP#C:\\x.txt"), u"C:\\work\\C:\\x.txt");
    EXPECT_EQ(DropPath(fake, u"DROP"), u"C:\\work\\");
    EXPECT_EQ(DropPath(fake, u"DROP#"), u"C:\\work\\");
    fake.currentDirectory = u"C:\\";
    EXPECT_EQ(DropPath(fake, u"DROP#a.txt"), u"C:\\\\a.txt");
}

TEST(DropBlockTest, AsciiPath) {
    FakePlatform fake(1252);
    const std::u16string path = u"C:\\work\\a.txt";  // 13 characters
    const Bytes block = BuildDropBlock(fake, path);
    EXPECT_EQ(block.size(), 20u + 2 * (13 + 2));
    EXPECT_EQ(block, ExpectedBlock("C:\\work\\a.txt", block.size()));
}

TEST(DropBlockTest, DoubleByteCharactersFitTheNominalSize) {
    FakePlatform fake(932);
    const std::u16string path = u"C:\\work\\\u65e5\u672c\u8a9e.txt";  // 15 characters
    const Bytes block = BuildDropBlock(fake, path);
    EXPECT_EQ(block.size(), 20u + 2 * (15 + 2));
    EXPECT_EQ(block, ExpectedBlock("C:\\work\\\x93\xfa\x96\x7b\x8c\xea.txt", block.size()));
}

TEST(DropBlockTest, ThreeByteCharactersGrowTheBlock) {
    // With UTF-8 as the ANSI code page, the nominal 2 bytes a character would
    // cut the list and its terminators off.
    FakePlatform fake(65001);
    std::u16string path = u"C:\\";
    for (int i = 0; i < 40; ++i) path += u'\u3042';
    const Bytes block = BuildDropBlock(fake, path);
    const std::size_t listBytes = 3 + 40 * 3;
    EXPECT_GT(20 + listBytes + 2, 20 + 2 * (path.size() + 2));
    EXPECT_EQ(block.size(), 20 + listBytes + 2);
    EXPECT_EQ(block, ExpectedBlock(fake.Encode(CodePage::Ansi, path), block.size()));
    EXPECT_EQ(block[block.size() - 2], 0);
    EXPECT_EQ(block[block.size() - 1], 0);
    EXPECT_NE(block[block.size() - 3], 0);
}

TEST(DropBlockTest, NameOutsideTheCodePageFails) {
    FakePlatform fake(1252);
    const std::u16string path = u"C:\\work\\\u65e5\u672c.txt";
    EXPECT_EQ(FailureOf([&] { BuildDropBlock(fake, path); }), FailureKind::FileError);
    const std::string report = ReportOf([&] { BuildDropBlock(fake, path); });
    EXPECT_NE(report.find("DROP"), std::string::npos) << report;
    EXPECT_NE(report.find(ToUtf8(path)), std::string::npos) << report;
}

class DropCommandTest : public ::testing::Test {
protected:
    Outcome Run(std::u16string args) {
        fake.commandArgs = std::move(args);
        F_ZERO form{fake};
        return form.Form_Load();
    }
    void SetTarget(std::string ini) { fake.AddFile(u"vek.ini", std::move(ini)); }

    FakePlatform fake;
};

TEST_F(DropCommandTest, ExistingFileIsDroppedOnTheTarget) {
    SetTarget("5678\r\n");
    fake.AddFile(u"a.txt", "x");
    EXPECT_EQ(Run(u"  DROP#a.txt  "), Outcome::EndRun);
    ASSERT_EQ(fake.drops.size(), 1u);
    EXPECT_EQ(fake.drops[0].target, 5678);
    EXPECT_EQ(fake.drops[0].block, ExpectedBlock("C:\\work\\a.txt", 20 + 2 * (13 + 2)));
    EXPECT_TRUE(fake.sent.empty());
    EXPECT_TRUE(fake.messages.empty());
}

TEST_F(DropCommandTest, OnlyAnExistingNormalFileByItsExactNameIsDropped) {
    SetTarget("5678\r\n");
    fake.AddFile(u"a.txt", "x");
    fake.AddFile(u"hidden.txt", "x");
    fake.Find(u"hidden.txt")->hidden = true;
    fake.AddFile(u"system.txt", "x");
    fake.Find(u"system.txt")->system = true;
    fake.AddDirectory(u"sub");
    fake.AddFile(u"C:\\x.txt", "x");
    for (const char16_t* args :
         {u"DROP#missing.txt", u"DROP#hidden.txt", u"DROP#system.txt", u"DROP#sub", u"DROP#*.txt",
          u"DROP#a.tx?", u"DROP", u"DROP#", u"DROP#C:\\x.txt", u"DROP# a.txt"}) {
        EXPECT_EQ(Run(args), Outcome::EndRun) << ToUtf8(args);
    }
    EXPECT_TRUE(fake.drops.empty());
    EXPECT_TRUE(fake.sent.empty());
}

TEST_F(DropCommandTest, NoWindowTargetsReceiveNothing) {
    fake.AddFile(u"a.txt", "x");
    EXPECT_EQ(Run(u"DROP#a.txt"), Outcome::EndRun);  // no target at all
    for (const char* ini : {"-1\r\n", "65535\r\n", "&HFFFF\r\n"}) {
        SetTarget(ini);
        EXPECT_EQ(Run(u"DROP#a.txt"), Outcome::EndRun) << ini;
    }
    EXPECT_TRUE(fake.drops.empty());
    EXPECT_TRUE(fake.messages.empty());  // -1 shows requests, not drops
}

TEST_F(DropCommandTest, TargetFoundThroughTheHost) {
    HostSnapshot snapshot{};
    const std::string text = std::string("x.hwnd\x01") + "3003\r\n";
    std::copy(text.begin(), text.end(), snapshot.begin() + 4);
    fake.hostMemory["Sakura"] = snapshot;
    fake.AddFile(u"a.txt", "x");
    EXPECT_EQ(Run(u"DROP#a.txt"), Outcome::EndRun);
    ASSERT_EQ(fake.drops.size(), 1u);
    EXPECT_EQ(fake.drops[0].target, 3003);
}

TEST_F(DropCommandTest, NameOutsideTheCodePageIsReportedNotDropped) {
    FakePlatform western(1252);
    western.AddFile(u"vek.ini", "5678\r\n");
    western.AddFile(u"\u65e5\u672c.txt", "x");
    western.commandArgs = u"DROP#\u65e5\u672c.txt";
    F_ZERO form{western};
    EXPECT_EQ(FailureOf([&] { form.Form_Load(); }), FailureKind::FileError);
    EXPECT_TRUE(western.drops.empty());
}

}  // namespace
}  // namespace vek
