#include "text/Text.h"

#include "TestUtil.h"

namespace vek {
namespace {

TEST(TrimTest, RemovesOnlySpaces) {
    EXPECT_EQ(Trim(u"  a b  "), u"a b");
    EXPECT_EQ(Trim(u"\ta\t"), u"\ta\t");
    EXPECT_EQ(Trim(u" \r\n "), u"\r\n");
    EXPECT_EQ(Trim(u"    "), u"");
    EXPECT_EQ(Trim(u"\u3000x\u3000"), u"\u3000x\u3000");  // the ideographic space stays
}

TEST(SubstringTest, FirstCharactersAndFromPosition) {
    EXPECT_EQ(Left(u"abc", 2), u"ab");
    EXPECT_EQ(Left(u"abc", 10), u"abc");
    EXPECT_EQ(Left(u"abc", 0), u"");
    EXPECT_EQ(Mid(u"abcdef", 3), u"cdef");
    EXPECT_EQ(Mid(u"abcdef", 3, 2), u"cd");
    EXPECT_EQ(Mid(u"abc", 4), u"");
    EXPECT_EQ(Mid(u"abc", 99, 5), u"");
    EXPECT_EQ(Mid(u"abc", 2, 0), u"");
}

TEST(SubstringTest, NegativeCountsAndPositionsAreInvalidArguments) {
    EXPECT_EQ(FailureOf([] { Left(u"abc", -1); }), FailureKind::InvalidArgument);
    EXPECT_EQ(FailureOf([] { Mid(u"abc", 6, -2); }), FailureKind::InvalidArgument);
    EXPECT_EQ(FailureOf([] { Mid(u"abc", 0); }), FailureKind::InvalidArgument);
    EXPECT_EQ(FailureOf([] { InStr(0, u"abc", u"a"); }), FailureKind::InvalidArgument);
}

TEST(SubstringTest, InStrIsOneBasedAndZeroWhenAbsent) {
    EXPECT_EQ(InStr(1, u"a#b#c", u"#"), 2);
    EXPECT_EQ(InStr(3, u"a#b#c", u"#"), 4);
    EXPECT_EQ(InStr(5, u"a#b#c", u"#"), 0);
    EXPECT_EQ(InStr(9, u"a#b#c", u"#"), 0);
    EXPECT_EQ(InStr(1, u"abc", u"x"), 0);
}

struct ValCase {
    const char16_t* text;
    std::int32_t value;
};

class ValPrefixTest : public ::testing::TestWithParam<ValCase> {};

TEST_P(ValPrefixTest, ReadsTheLongestLeadingNumber) {
    EXPECT_EQ(ValPrefix(GetParam().text), GetParam().value) << ToUtf8(GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValPrefixTest,
    ::testing::Values(
        // plain numbers and prefixes
        ValCase{u"1234", 1234}, ValCase{u"-1", -1}, ValCase{u"+7", 7}, ValCase{u"123,456", 123},
        ValCase{u"12abc", 12}, ValCase{u"abc", 0}, ValCase{u"", 0}, ValCase{u"-", 0},
        ValCase{u".", 0}, ValCase{u"0x10", 0},
        // spaces, tabs and line feeds are removed everywhere, carriage returns are not
        ValCase{u" 1 2 3 ", 123}, ValCase{u"1\t2\n3", 123}, ValCase{u"1\r2", 1},
        ValCase{u"- 5", -5},
        // halves go to the even neighbour; anything above a half goes up
        ValCase{u"2.5", 2}, ValCase{u"3.5", 4}, ValCase{u"-2.5", -2}, ValCase{u"-3.5", -4},
        ValCase{u"0.5", 0}, ValCase{u"1.5", 2}, ValCase{u"2.500001", 3}, ValCase{u"2.4999", 2},
        ValCase{u".7", 1}, ValCase{u"5.", 5}, ValCase{u"0.05", 0},
        // exponents, complete or not
        ValCase{u"1e3", 1000}, ValCase{u"1.5E1", 15}, ValCase{u"25e-1", 2}, ValCase{u"1e", 1},
        ValCase{u"1e+", 1}, ValCase{u"3e-999999999999", 0}, ValCase{u"0e999999999999", 0},
        // hexadecimal and octal
        ValCase{u"&H10", 16}, ValCase{u"&hff", 255}, ValCase{u"&O17", 15}, ValCase{u"&o8", 0},
        ValCase{u"&H", 0}, ValCase{u"&HG", 0}, ValCase{u"&H7FFFFFFF", 2147483647},
        // the edges of the 32-bit range
        ValCase{u"2147483647", 2147483647}, ValCase{u"-2147483648", -2147483647 - 1},
        ValCase{u"2147483647.4", 2147483647}, ValCase{u"-2147483648.5", -2147483647 - 1},
        ValCase{u"0000000000000000000000042", 42}));

TEST(ValPrefixOverflowTest, ValuesBeyondTheRangeOverflow) {
    for (const char16_t* text :
         {u"2147483648", u"-2147483649", u"2147483647.5", u"99999999999", u"1e10", u"&H80000000",
          u"&HFFFFFFFFFFFFFFFFFFFF", u"1e999999999999"}) {
        EXPECT_EQ(FailureOf([&] { ValPrefix(text); }), FailureKind::Overflow) << ToUtf8(text);
    }
}

TEST(ValPrefixOverflowTest, ReportNamesTheNumber) {
    std::string report = ReportOf([] { ValPrefix(u"99999999999xyz"); });
    EXPECT_NE(report.find("'99999999999'"), std::string::npos) << report;
    EXPECT_NE(report.find("Overflow"), std::string::npos) << report;
}

TEST(ValStrictTest, AcceptsWholeNumbersOnly) {
    EXPECT_EQ(ValStrict(u"12"), 12);
    EXPECT_EQ(ValStrict(u"  -12  "), -12);
    EXPECT_EQ(ValStrict(u"1,024"), 1024);
    EXPECT_EQ(ValStrict(u"1,0,2,4"), 1024);
    EXPECT_EQ(ValStrict(u"2.5"), 2);
    EXPECT_EQ(ValStrict(u"1e2"), 100);
    EXPECT_EQ(ValStrict(u"&H1F"), 31);
    for (const char16_t* text : {u"", u"   ", u"x", u"12x", u"1 2", u"\t5", u"5\t", u",5", u"&H",
                                 u"1e", u".", u"-", u"1.2.3", u"1.2,3", u"-&H5"}) {
        EXPECT_EQ(FailureOf([&] { ValStrict(text); }), FailureKind::TypeMismatch) << ToUtf8(text);
    }
    EXPECT_EQ(FailureOf([] { ValStrict(u"3000000000"); }), FailureKind::Overflow);
}

TEST(NumberFormTest, PaddedAndPlain) {
    EXPECT_EQ(PaddedNumber(1234), u" 1234");
    EXPECT_EQ(PaddedNumber(0), u" 0");
    EXPECT_EQ(PaddedNumber(-1), u"-1");
    EXPECT_EQ(PaddedNumber(-2147483647 - 1), u"-2147483648");
    EXPECT_EQ(PlainNumber(7), u"7");
    EXPECT_EQ(PlainNumber(-3), u"-3");
}

TEST(Utf8Test, RoundTripsAndReplacesBrokenSequences) {
    std::u16string text = u"a\u00e9\u3042\U0001F600";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(FromUtf8("\xC3"), u"\uFFFD");
    EXPECT_EQ(FromUtf8("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");  // overlong
}

}  // namespace
}  // namespace vek
