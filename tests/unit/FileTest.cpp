// The FILE command: the range, the name, and the file's lines, read in its own encoding whatever
// the system's code page, across every way its bytes can be cut into read blocks.

#include "TestSupport.h"
#include "request/FileRequest.h"

// clang-format off: the case tables are laid out by hand, several cases to a line.
namespace vek {
namespace {

// "name|start|end|lines|count" from the request's references 0 to 4, or the report.
std::u16string References(Platform& platform, std::u16string_view command) {
    std::u16string refs, request;
    try {
        request = BuildFileRequest(platform, command);
    } catch (const RuntimeFailure& failure) {
        return failure.Report();
    }
    for (int k = 0; k <= 4; ++k) {
        const std::u16string piece = u"\r\nReference" + PlainNumber(k) + u": ";
        const auto at = request.find(piece);
        if (at == std::u16string::npos) break;
        const auto from = at + piece.size();
        refs += (k == 0 ? u"" : u"|") + request.substr(from, request.find(u"\r\n", from) - from);
    }
    return refs;
}

// The bytes of text in UTF-16 of either byte order.
std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    for (const char16_t c : text) bytes += {char(bigEndian ? c >> 8 : c), char(bigEndian ? c : c >> 8)};
    return bytes;
}

struct FileTest : ::testing::TestWithParam<std::pair<std::size_t, unsigned>> {  // a read block size, a code page
    FileTest() : fake(GetParam().second) { fake.readBlockLimit = GetParam().first; }
    FakePlatform fake;
};

TEST(FileNameTest, NameAndFailures) {
    FakePlatform fake;
    fake.AddFile(u"a.txt", "one\r\ntwo\r\nthree\r\n");
    fake.AddFile(u"my-list.txt", "a\rb\rc\rd");
    fake.AddFile(u"PEN#a", "x");
    fake.AddFile(u"held.txt", "x").locked = true;
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        // Without a "-" the start is a whole number; with one, each bound is what number it begins with.
        {u"FILE#a.txt/5", u"a.txt|5|1024||3"}, {u"FILE#a.txt/2-", u"a.txt|2|0||3"}, {u"FILE#a.txt/-", u"a.txt|0|0|one\\n|3"},
        {u"FILE#a.txt/-3", u"a.txt|0|3|one\\ntwo\\nthree\\n|3"}, {u"FILE#a.txt/ 1 - 2 ", u"a.txt|1|2|two\\nthree\\n|3"},
        {u"FILE#a.txt/x-y", u"a.txt|0|0|one\\n|3"}, {u"FILE#a.txt/1abc-2x", u"a.txt|1|2|two\\nthree\\n|3"},
        {u"FILE#a.txt/-5-7", u"a.txt|0|5|one\\ntwo\\nthree\\n|3"}, {u"FILE#a.txt/1,0", u"a.txt|10|1024||3"},
        {u"FILE#a.txt/2147483647", u"a.txt|2147483647|1024||3"}, {u"FILE#a.txt/0--2147483648", u"a.txt|0|-2147483648||3"},
        {u"FILE#a.txt/0-2147483647", u"a.txt|0|2147483647|one\\ntwo\\nthree\\n|3"},
        {u"FILE#my-list.txt/1-2", u"my-list.txt|1|2|b\\nc\\n|4"}, {u"FILE#my-/2", u"my-|2|1024|File(my-)NotFound"},
        {u"FILE#  a.txt  /2-2", u"a.txt|2|2|three\\n|3"}, {u"FILE a.txt/2-2", u"a.txt|2|2|three\\n|3"},
        {u"FILEXa.txt/2-2", u"a.txt|2|2|three\\n|3"}, {u"FILEOPEN#a", u"PEN#a|0|1024|x\\n|1"},
        {u"FILE#  b.txt /3-4", u"b.txt|3|4|File(  b.txt )NotFound"}, {u"FILE#", u"|0|1024|File()NotFound"},
        {u"FILE", u"FILE: Invalid procedure call or argument: 'FILE' names no file: the name follows the 5th "
                  u"character, as in FILE#name/start-end"},
        {u"FILE/1-2", u"FILE: Invalid procedure call or argument: 'FILE/1-2' names no file: the name follows the "
                      u"5th character, as in FILE#name/start-end"},
        {u"FILE#a/", u"FILE: the start line after the \"/\" in 'FILE#a/': Type mismatch: '' is not a number"},
        {u"FILE#a/3e9-1", u"FILE: the start line before the \"-\" in 'FILE#a/3e9-1': Overflow: '3e9' is outside the "
                          u"signed 32-bit range"},
        {u"FILE#a/0-99999999999", u"FILE: the end line after the \"-\" in 'FILE#a/0-99999999999': Overflow: "
                                  u"'99999999999' is outside the signed 32-bit range"},
        {u"FILE#held.txt", u"FILE: File error: Could not open 'held.txt'"}};
    for (const auto& [command, refs] : cases) EXPECT_EQ(References(fake, command), refs);
}

TEST_P(FileTest, TheRangeSelectsLinesEndedByCrOrCrLfWithALoneLfInTheLine) {
    const std::pair<std::string, std::vector<std::u16string>> files[] = {
        {"", {}}, {"one\rtwo\rthree", {u"one", u"two", u"three"}}, {"one\ntwo\nthree\n", {u"one\ntwo\nthree\n"}},
        {"\r\n\r\r\nx\r\n\r\n", {u"", u"", u"", u"x", u""}}, {"\r", {u""}}, {"\n", {u"\n"}},
        {"a\r\n\nb\r\n", {u"a", u"\nb"}}, {"a\n\rb", {u"a\n", u"b"}}, {"\r\r\n\n", {u"", u"", u"\n"}},
        {" \ta b \t\r\n", {u" \ta b \t"}},
        // 0x5C trail bytes, NEC and IBM extensions, katakana; lead bytes cut off by a line end or the file's end
        {"\x83\x5c\x95\x5c\\\x87\x40\xfb\xfc\r\n\x82\r\xb6\xc0\x81\x60\x81", {u"ソ表\\①髙", u"・", u"ｶﾀ\uff5e・"}},
        {std::string(kFileReadBlock * 2 + 3, 'x') + "\ry", {std::u16string(kFileReadBlock * 2 + 3, 'x'), u"y"}},
        // UTF-8 by its mark or throughout, an invalid byte U+FFFD; UTF-16 of either byte order by its mark, a
        // lone surrogate and an odd last byte U+FFFD; the mark is not in the first line.
        {"\xEF\xBB\xBF\xC3\xA9\xFF\r\n\n", {u"é\uFFFD", u"\n"}}, {"caf\xC3\xA9\r\xF0\x9F\x98\x80", {u"café", u"😀"}},
        {Utf16(u"\uFEFFé\r\n\n😀\r\r\n\xDC00\U00010000\U0010FFFF", false), {u"é", u"\n😀", u"", u"\uFFFD\U00010000\U0010FFFF"}},
        {Utf16(u"\uFEFF\r\nx\n\r😀", true) + "\x01", {u"", u"x\n", u"😀\uFFFD"}}};
    // Ranges that end inside the file, past it and before it: lines both selected and only counted.
    const std::tuple<const char16_t*, int, int> ranges[] = {
        {u"", 0, 1024}, {u"/0-0", 0, 0}, {u"/1-1", 1, 1}, {u"/2-2", 2, 2}, {u"/1", 1, 1024}, {u"/1-0", 1, 0},
        {u"/0--1", 0, -1}};
    for (const auto& [bytes, lines] : files) {
        fake.AddFile(u"f.txt", bytes);
        for (const auto& [range, start, end] : ranges) {
            std::u16string expected = u"f.txt|" + PlainNumber(start) + u"|" + PlainNumber(end) + u"|";
            for (int i = start; i <= end && i < std::ssize(lines); ++i)
                expected += lines[i] + u"\\n";
            expected += u"|" + PlainNumber(std::ssize(lines));
            EXPECT_EQ(References(fake, u"FILE#f.txt" + std::u16string(range)), expected);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BlockSizesAndCodePages, FileTest,
                         ::testing::Values(std::pair(0, 932), std::pair(1, 1252),
                                           std::pair(2, 65001), std::pair(3, 932),
                                           std::pair(5, 932), std::pair(4096, 932)));

TEST(FileLinesTest, LineCountUpToTheSigned32BitLimitAndAnOverflowBeyond) {
    FakePlatform fake;
    fake.AddFile(u"huge.txt").crs = 2147483647;
    EXPECT_EQ(References(fake, u"FILE#huge.txt/0-1"), u"huge.txt|0|1|\\n\\n|2147483647");
    fake.AddFile(u"huge.txt").crs = 2147483648;
    EXPECT_EQ(References(fake, u"FILE#huge.txt/0-1"),
              u"FILE: Overflow: 'huge.txt' has more than 2147483647 lines to count");
}

}  // namespace
}  // namespace vek
