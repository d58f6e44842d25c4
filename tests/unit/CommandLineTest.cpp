#include "app/CommandLine.h"

#include "TestUtil.h"

namespace vek {
namespace {

TEST(ArgumentTextTest, SkipsTheProgramNameAsWindowsDoes) {
    EXPECT_EQ(ArgumentText(u"vek.exe SEND#hi"), u"SEND#hi");
    EXPECT_EQ(ArgumentText(u"\"C:\\Program Files\\vek.exe\" SEND#hi there "), u"SEND#hi there ");
    EXPECT_EQ(ArgumentText(u"\"C:\\a b\\vek.exe\"SEND"), u"SEND");
    EXPECT_EQ(ArgumentText(u"vek.exe \t  \"SEND#hi\""), u"\"SEND#hi\"");
    EXPECT_EQ(ArgumentText(u"vek.exe\tOnBoot"), u"OnBoot");
    EXPECT_EQ(ArgumentText(u"vek.exe"), u"");
    EXPECT_EQ(ArgumentText(u"\"vek.exe"), u"");
    EXPECT_EQ(ArgumentText(u""), u"");
    EXPECT_EQ(ArgumentText(u"C:\\dir\"x\"\\vek.exe a"), u"a");
}

}  // namespace
}  // namespace vek
