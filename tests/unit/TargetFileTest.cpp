#include "app/TargetFile.h"

#include "TestUtil.h"
#include "platform/fake/FakePlatform.h"

namespace vek {
namespace {

TEST(FirstFieldTest, StopsAtCommaOrLineEnd) {
    EXPECT_EQ(FirstField(u"123,456"), u"123");
    EXPECT_EQ(FirstField(u"  77  \r\n88"), u"77");
    EXPECT_EQ(FirstField(u"\t9\n"), u"9");
    EXPECT_EQ(FirstField(u"\"1,2\",3"), u"1,2");
    EXPECT_EQ(FirstField(u"\"unterminated"), u"unterminated");
    EXPECT_EQ(FirstField(u""), u"");
    EXPECT_EQ(FirstField(u"\r\n5"), u"");
}

class TargetFileReadTest : public ::testing::Test {
protected:
    Hwnd ReadWith(std::string bytes) {
        fake.AddFile(u"vek.ini", std::move(bytes));
        return ReadTargetFile(fake);
    }
    FakePlatform fake;
};

TEST_F(TargetFileReadTest, ReadsTheFirstFieldAsANumber) {
    EXPECT_EQ(ReadWith("1234\r\n"), 1234);
    EXPECT_EQ(ReadWith("-1"), -1);
    EXPECT_EQ(ReadWith("123,456\r\n"), 123);
    EXPECT_EQ(ReadWith("abc\r\n"), 0);
    EXPECT_EQ(ReadWith(" 1 2 \r\n999"), 12);
    EXPECT_EQ(ReadWith("&H1F\n"), 31);
}

TEST_F(TargetFileReadTest, EmptyFileGivesNoTarget) {
    EXPECT_EQ(ReadWith(""), 0);
}

TEST_F(TargetFileReadTest, ByteOrderMarksAreHonoured) {
    EXPECT_EQ(ReadWith("\xEF\xBB\xBF"
                       "4321\r\n"),
              4321);
    EXPECT_EQ(ReadWith(std::string("\xFF\xFE"
                                   "5\0"
                                   "6\0\r\0\n\0",
                                   10)),
              56);
}

TEST_F(TargetFileReadTest, ReadsOnlyTheFirstLineOfALongFile) {
    fake.readBlockLimit = 3;
    std::string content = "42\r\n" + std::string(1 << 20, 'x');
    EXPECT_EQ(ReadWith(content), 42);
}

TEST_F(TargetFileReadTest, MissingHiddenOrDirectoryGivesNoTarget) {
    EXPECT_EQ(ReadTargetFile(fake), 0);
    fake.AddDirectory(u"vek.ini");
    EXPECT_EQ(ReadTargetFile(fake), 0);
    fake.AddFile(u"vek.ini", "99");
    fake.Find(u"vek.ini")->hidden = true;
    EXPECT_EQ(ReadTargetFile(fake), 0);
}

TEST_F(TargetFileReadTest, OverflowIsReportedWithTheValue) {
    std::string report = ReportOf([&] { ReadWith("99999999999\r\n"); });
    EXPECT_NE(report.find("vek.ini"), std::string::npos) << report;
    EXPECT_NE(report.find("99999999999"), std::string::npos) << report;
}

TEST_F(TargetFileReadTest, LockedFileIsAFileError) {
    fake.AddFile(u"vek.ini", "1");
    fake.Find(u"vek.ini")->locked = true;
    EXPECT_EQ(FailureOf([&] { ReadTargetFile(fake); }), FailureKind::FileError);
}

TEST(TargetFileBytesTest, WritesTheLineInTheAnsiCodePage) {
    FakePlatform sjis(932);
    EXPECT_EQ(TargetFileBytes(sjis, u"1234"), "1234\r\n");
    EXPECT_EQ(TargetFileBytes(sjis, u"\u3042"), "\x82\xA0\r\n");
    FakePlatform western(1252);
    EXPECT_EQ(FailureOf([&] { TargetFileBytes(western, u"\u3042"); }), FailureKind::FileError);
}

}  // namespace
}  // namespace vek
