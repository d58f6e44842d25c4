// The text helpers and the two number conversions.

#include "TestSupport.h"
#include "text/Text.h"

#include <functional>

// clang-format off: the case tables are laid out by hand, several cases to a line.
namespace vek {
namespace {

TEST(TextTest, TrimSubstringsAndNumberForms) {
    EXPECT_EQ(Trim(u"  a b  "), u"a b");
    EXPECT_EQ(Trim(u" \t\r\n\u3000 "), u"\t\r\n\u3000");  // only spaces go
    EXPECT_EQ(Trim(u"   "), u"");
    EXPECT_EQ(Left(u"abc", 2) + u"|" + Left(u"abc", 10), u"ab|abc");
    EXPECT_EQ(Mid(u"abcdef", 3) + u"|" + Mid(u"abc", 3) + u"|" + Mid(u"abc", 4), u"cdef|c|");
    EXPECT_EQ(Mid(u"abcdef", 3, 2) + u"|" + Mid(u"abc", 99, 5), u"cd|");
    for (const auto& [start, at] : {std::pair(1, 2), {2, 2}, {3, 4}, {5, 0}, {9, 0}})
        EXPECT_EQ(InStr(start, u"a#b#c", u"#"), at);
    // A position below 1 or a negative length is the caller's fault, said as such.
    for (const auto& [report, call] :
         {std::pair("Invalid procedure call or argument: a text length of -1 characters",
                     std::function<void()>([] { Left(u"abc", -1); })),
          {"Invalid procedure call or argument: a text position of 0", [] { Mid(u"abc", 0); }},
          {"Invalid procedure call or argument: a text length of -1 characters", [] { Mid(u"abc", 1, -1); }},
          {"Invalid procedure call or argument: a search position of 0", [] { InStr(0, u"abc", u"b"); }}})
        EXPECT_EQ(ReportOf(call), report);
    EXPECT_EQ(PaddedNumber(1234) + PaddedNumber(0) + PaddedNumber(-1), u" 1234 0-1");
    EXPECT_EQ(PlainNumber(-2147483648), u"-2147483648");
    const std::u16string path = u"C:\\" + std::u16string(300, u'x') + u"\\name.txt";
    EXPECT_EQ(Quoted(path), u"'" + path.substr(0, 100) + u"..." + path.substr(212) + u"'");
    EXPECT_EQ(Quoted(path.substr(0, 203)), u"'" + path.substr(0, 203) + u"'");
    EXPECT_EQ(Quoted(path.substr(0, 204)).size(), 205u);
}

TEST(TextTest, ValPrefixReadsTheLongestLeadingNumber) {
    const std::pair<const char16_t*, std::int32_t> cases[] = {
        {u"1234", 1234}, {u"-1", -1}, {u"+7", 7}, {u"123,456", 123}, {u"12abc", 12}, {u"abc", 0}, {u"", 0},
        {u"-", 0}, {u".", 0}, {u"+-5", 0}, {u"0x10", 0}, {u"inf", 0}, {u"-nan", 0}, {u"\uff11", 0},
        // spaces, tabs and line feeds are removed everywhere, carriage returns are not
        {u" 1 2 3 ", 123}, {u"1\t2\n3", 123}, {u"1\r2", 1}, {u"- 5", -5},
        // halves go to the even neighbour; anything above a half goes up
        {u"2.5", 2}, {u"3.5", 4}, {u"-2.5", -2}, {u"-3.5", -4}, {u"0.5", 0}, {u"1.5", 2}, {u"2.500001", 3},
        {u"2.4999", 2}, {u".7", 1}, {u"-.7", -1}, {u"5.", 5}, {u"0.05", 0}, {u"0.50", 0}, {u"9.50", 10},
        {u"1e3", 1000}, {u"1e+2", 100}, {u"1.5E1", 15}, {u"25e-1", 2}, {u"1e", 1}, {u"1e+", 1}, {u"3e-999999999999", 0},
        {u"0e999999999999", 0}, {u"0000000000000000000000042", 42}, {u"4200000000e-8", 42},
        {u"&H10", 16}, {u"&hff", 255}, {u"&O17", 15}, {u"&o8", 0}, {u"&H", 0}, {u"&HG", 0}, {u"&X1", 0},
        {u"&H7FFFFFFF", 2147483647}, {u"2147483647", 2147483647}, {u"-2147483648", -2147483648},
        {u"2147483647.4", 2147483647}, {u"-2147483648.5", -2147483648}};
    for (const auto& [text, value] : cases) EXPECT_EQ(ValPrefix(text), value) << Utf8(text);
    for (const char16_t* text : {u"2147483648", u"-2147483649", u"2147483647.5", u"1e10",
                                 u"&H80000000", u"&HFFFFFFFFFFFFFFFFFFFF", u"1e999999999999"})
        EXPECT_TRUE(ReportOf([&] { ValPrefix(text); }).starts_with("Overflow: '")) << Utf8(text);
    EXPECT_EQ(ReportOf([] { ValPrefix(u"9 999 999 999xyz"); }),
              "Overflow: '9999999999' is outside the signed 32-bit range");
}

TEST(TextTest, ValStrictTakesWholeNumbersOnly) {
    const std::pair<const char16_t*, std::int32_t> cases[] = {
        {u"12", 12}, {u"  -12  ", -12}, {u"1,024", 1024}, {u"-1,024", -1024}, {u"1,0,2,4", 1024}, {u"+1,0e2", 1000},
        {u"2.5", 2}, {u"1e2", 100}, {u"&H1F", 31}, {u"1,", 1}, {u"9,999", 9999}, {u"0,5", 5}};
    for (const auto& [text, value] : cases) EXPECT_EQ(ValStrict(text), value) << Utf8(text);
    for (const char16_t* text : {u"", u"   ", u"x", u"12x", u"1 2", u"\t5", u"5\t", u",5", u"&H",
                                 u"1e", u".", u"-", u"1.2.3", u"1.2,3", u"-&H5", u"+-1"})
        EXPECT_EQ(ReportOf([&] { ValStrict(text); }), "Type mismatch: '" + Utf8(text) + "' is not a number");
    EXPECT_TRUE(ReportOf([] { ValStrict(u"3,000,000,000"); }).starts_with("Overflow: "));
}

}  // namespace
}  // namespace vek
