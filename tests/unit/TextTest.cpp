// The text helpers, the two number conversions, and the words for what the system failed to do.

#include "TestSupport.h"
#include "text/Text.h"

namespace vek {
namespace {

TEST(TextTest, SubstringsCountFromOneAndNumbersArePaddedForTheirSign) {
    EXPECT_EQ(Trim(u"  \ta b\u3000\r\n "), u"\ta b\u3000\r\n");  // only U+0020 is a space
    EXPECT_EQ(Trim(u"   "), u"");
    EXPECT_EQ(Left(u"abc", 2), u"ab");
    EXPECT_EQ(Left(u"abc", 10), u"abc");
    EXPECT_EQ(Mid(u"abc", 4), u"");
    EXPECT_THROW(Mid(u"abc", 0), RuntimeFailure);
    EXPECT_EQ(Mid(u"abcdef", 3, 2), u"cd");
    for (const auto& [start, found] : {std::pair(1, 2), {2, 2}, {3, 4}, {4, 4}, {5, 0}, {9, 0}})
        EXPECT_EQ(InStr(start, u"a#b#", u"#"), found) << start;  // found at the last position too
    EXPECT_EQ(PaddedNumber(0), u" 0");
    EXPECT_EQ(PaddedNumber(-1), u"-1");
}

// A long text keeps its start and its end (a path's file name); a cut never lengthens a text.
TEST(TextTest, AQuotedLongTextKeepsItsFirstAndLastHundredCharacters) {
    const std::u16string head = u"C:\\" + std::u16string(97, u'x');
    const std::u16string tail = std::u16string(91, u'y') + u"\\name.txt";  // 100 characters each
    EXPECT_EQ(Quoted(head + u"abc" + tail), u"'" + head + u"abc" + tail + u"'");
    EXPECT_EQ(Quoted(head + u"abcd" + tail), u"'" + head + u"..." + tail + u"'");
}

TEST(TextTest, ValPrefixReadsTheLongestLeadingNumber) {
    // clang-format off
    const std::pair<const char16_t*, std::int32_t> cases[] = {
        {u"-1", -1}, {u"+7", 7}, {u"123,456", 123}, {u"abc", 0}, {u"", 0}, {u".", 0}, {u"+-5", 0},
        {u"0x10", 0}, {u"inf", 0}, {u"-nan", 0}, {u"\uff11", 0}, {u"&X1", 0}, {u"&o8", 0},
        {u"&H", 0}, {u"&H10", 16}, {u"&hff", 255}, {u"&O17", 15}, {u"&H7FFFFFFF", 2147483647},
        // Spaces, tabs and line feeds are removed everywhere; carriage returns are not.
        {u" 1 2 3 ", 123}, {u"1\t2\n3", 123}, {u"1\r2", 1}, {u"- 5", -5},
        // Halves go to the even neighbour, above a half up; an exponent moves the point.
        {u"2.5", 2}, {u"3.5", 4}, {u"-2.5", -2}, {u"-3.5", -4}, {u"0.50", 0}, {u".7", 1},
        {u"5.", 5}, {u"2.500001", 3}, {u"2.4999", 2}, {u"0.05", 0}, {u"1e+2", 100}, {u"1.5E1", 15},
        {u"25e-1", 2}, {u"1e", 1}, {u"1e+", 1}, {u"3e-999999999999", 0}, {u"0e999999999999", 0},
        {u"4200000000e-8", 42}, {u"0000000000000000000000042", 42}, {u"2147483647.4", 2147483647},
        {u"-2147483648.5", -2147483648}};
    // clang-format on
    for (const auto& [text, value] : cases) EXPECT_EQ(ValPrefix(text), value) << Utf8(text);
    for (const char16_t* text : {u"2147483648", u"-2147483649", u"2147483647.5", u"1e10",
                                 u"&H80000000", u"&HFFFFFFFFFFFFFFFFFFFF", u"1e999999999999"})
        EXPECT_TRUE(ReportOf([&] { ValPrefix(text); }).starts_with("Overflow: '")) << Utf8(text);
    EXPECT_EQ(ReportOf([] { ValPrefix(u"9 999 999 999xyz"); }),
              "Overflow: '9999999999' is outside the signed 32-bit range");
}

TEST(TextTest, ValStrictTakesAWholeNumberWithDigitGroupsAndNothingElse) {
    // clang-format off
    const std::pair<const char16_t*, std::int32_t> cases[] = {
        {u"12", 12}, {u"  -12  ", -12}, {u"-1,024", -1024}, {u"1,0,2,4", 1024}, {u"+1,0e2", 1000},
        {u"2.5", 2}, {u"&H1F", 31}, {u"1,", 1}, {u"0,5", 5}, {u"9,999", 9999}};
    // clang-format on
    for (const auto& [text, value] : cases) EXPECT_EQ(ValStrict(text), value) << Utf8(text);
    for (const char16_t* text : {u"", u"   ", u"x", u"1 2", u"\t5", u"5\t", u",5", u"&H", u"1e",
                                 u".", u"-", u"1.2.3", u"1.2,3", u"-&H5", u"+-1"})
        EXPECT_TRUE(ReportOf([&] { ValStrict(text); }).starts_with("Type mismatch: "))
            << Utf8(text);
    EXPECT_EQ(ReportOf([] { ValStrict(u" 12x "); }), "Type mismatch: ' 12x ' is not a number");
    EXPECT_TRUE(ReportOf([] { ValStrict(u"3,000,000,000"); }).starts_with("Overflow: "));
}

// The words a Windows user reads (opening and writing: see FileTest and RunTest).
TEST(TextTest, WhatTheSystemFailedToDoIsWordedWithTheFileAndTheSystemsText) {
    const std::u16string why = u": The handle is invalid (error 6)";
    // clang-format off
    const std::pair<SystemFailure, std::u16string> cases[] = {
        {{Operation::Read, 6, u"a.txt"}, u"File error: Could not read 'a.txt'" + why},
        {{Operation::Replace, 6, u"a.txt"}, u"File error: Could not replace 'a.txt'" + why},
        {{Operation::ReplaceReadOnly, 0, u"a.txt"},
         u"File error: Could not replace 'a.txt': the file is read-only"},
        {{Operation::OpenNotAFile, 0, u"CON"}, u"File error: 'CON' is not a file"},
        {{Operation::CurrentDirectory, 6}, u"System error: the current directory" + why},
        {{Operation::Convert, 1}, u"System error: text conversion: system error (error 1)"},
        {{Operation::DecodeOver2Gb}, u"System error: a text of more than 2 GB to convert"},
        {{Operation::EncodeOver500Mb}, u"System error: a text of more than 500 MB to convert"},
        {{Operation::CreateWindow, 6}, u"System error: could not create the window" + why},
        {{Operation::ReadMessages, 6}, u"System error: the window's messages cannot be read" + why},
        {{Operation::StartTimer, 6}, u"System error: the balloon's timer cannot be started" + why},
        {{Operation::ShowWindow, 6}, u"System error: the window cannot be shown" + why}};
    // clang-format on
    for (const auto& [failure, report] : cases)
        EXPECT_EQ(ReportOf([&] { throw RuntimeFailure(failure); }), Utf8(report));
}

}  // namespace
}  // namespace vek
