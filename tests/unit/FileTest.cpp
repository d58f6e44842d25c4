// The FILE command: its name and range, and the lines of a file read in the file's own encoding.

#include "TestSupport.h"
#include "request/FileRequest.h"

namespace vek {
namespace {

using References = std::vector<std::u16string>;  // name, start, end, lines, count (none: no file)

References ReferencesOf(Platform& platform, std::u16string_view command) {
    const std::u16string request = BuildFileRequest(platform, command);
    References references;
    for (std::size_t at = 0; (at = request.find(u"\r\nReference", at)) != request.npos;) {
        at = request.find(u": ", at) + 2;
        references.push_back(request.substr(at, request.find(u"\r\n", at) - at));
    }
    return references;
}

std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    const int first = bigEndian ? 8 : 0;  // the shift that gives the first byte of a unit
    for (const char16_t c : text)
        bytes += {static_cast<char>(c >> first), static_cast<char>(c >> (8 - first))};
    return bytes;
}

// The name runs from the 6th character to the first "/" ("-" and all); without a "-" after that
// the start is a whole number, with one each bound is the number it begins with (0 for none).
TEST(FileTest, TheCommandNamesTheFileAndARangeOfLinesOrFailsSayingWhichPartIsWrong) {
    FakePlatform fake;
    fake.AddFile(u"my-list.txt", "one\r\ntwo\r\nthree\r\n");
    fake.AddFile(u"held.txt", "x").locked = true;  // as another program may hold it
    fake.AddFile(u"max.txt").crs = 2147483647;     // as many lines as a signed 32-bit count holds
    fake.AddFile(u"huge.txt").crs = 2147483648;
    // clang-format off
    const std::pair<const char16_t*, References> cases[] = {
        {u"FILE#my-list.txt/5", {u"my-list.txt", u"5", u"1024", u"", u"3"}},
        {u"FILE#my-list.txt/2-", {u"my-list.txt", u"2", u"0", u"", u"3"}},
        {u"FILE#my-list.txt/-3", {u"my-list.txt", u"0", u"3", u"one\\ntwo\\nthree\\n", u"3"}},
        {u"FILE#my-list.txt/-5-7", {u"my-list.txt", u"0", u"5", u"one\\ntwo\\nthree\\n", u"3"}},
        {u"FILE#max.txt/0-1", {u"max.txt", u"0", u"1", u"\\n\\n", u"2147483647"}},
        // Any 5th character is skipped; spaces around a name stay only in the not-found report.
        {u"FILEX  my-list.txt  /2-2", {u"my-list.txt", u"2", u"2", u"three\\n", u"3"}},
        {u"FILE#  my-/3-4", {u"my-", u"3", u"4", u"File(  my-)NotFound"}},
        {u"FILE#", {u"", u"0", u"1024", u"File()NotFound"}}};
    const std::pair<const char16_t*, std::string_view> failures[] = {  // how the report begins
        {u"FILE", "FILE: Invalid procedure call or argument: 'FILE' names no file"},
        {u"FILE#a/", "FILE: the start line after the \"/\" in 'FILE#a/': Type mismatch"},
        {u"FILE#a/3e9-1", "FILE: the start line before the \"-\" in 'FILE#a/3e9-1': Overflow"},
        {u"FILE#a/0-3e9", "FILE: the end line after the \"-\" in 'FILE#a/0-3e9': Overflow"},
        {u"FILE#held.txt", "FILE: File error: Could not open 'held.txt': The process cannot access "
                           "the file because it is being used by another process (error 32)"},
        {u"FILE#huge.txt", "FILE: Overflow: 'huge.txt' has more than 2147483647 lines to count"}};
    // clang-format on
    for (const auto& [command, references] : cases)
        EXPECT_EQ(ReferencesOf(fake, command), references) << Utf8(command);
    for (const auto& [command, head] : failures)
        EXPECT_EQ(ReportOf([&] { BuildFileRequest(fake, command); }).substr(0, head.size()), head);
}

// Each file whole and in blocks that cut its characters, line ends and mark, in any code page.
TEST(FileTest, ALineEndsAtCrOrCrLfAndIsReadInTheFilesOwnEncoding) {
    const std::size_t longLine = kFileReadBlock * 2 + 3;  // longer than two read blocks
    // clang-format off
    const std::pair<std::string, std::vector<std::u16string>> files[] = {
        {"", {}}, {"one\rtwo\rthree", {u"one", u"two", u"three"}}, {"a\nb\n", {u"a\nb\n"}},
        {"\r\n\r\r\nx\r\n\r\n", {u"", u"", u"", u"x", u""}}, {" \ta b \t\r\n", {u" \ta b \t"}},
        {"a\r\n\nb", {u"a", u"\nb"}}, {"a\n\rb", {u"a\n", u"b"}}, {"\r\r\n\n", {u"", u"", u"\n"}},
        {std::string(longLine, 'x') + "\ry", {std::u16string(longLine, 'x'), u"y"}},
        // Shift_JIS: 0x5C trail bytes, NEC and IBM rows, katakana; a lead byte cut off is none.
        {"\x83\x5c\x95\x5c\\\x87\x40\xfb\xfc\r\n\x82\r\xb6\xc0\x81\x60\x81",
         {u"ソ表\\①髙", u"・", u"ｶﾀ\uff5e・"}},
        // UTF-8 by its mark or valid throughout; UTF-16 of either order by its mark, which is no
        // part of the first line; U+FFFD for a byte, a lone surrogate, an odd last byte.
        {"\xEF\xBB\xBF\xC3\xA9\xFF", {u"é\uFFFD"}}, {"\xC3\xA9\r\xF0\x9F\x98\x80", {u"é", u"😀"}},
        {Utf16(u"\uFEFFé\r\n\n😀\r\r\nx\xDC00\U00010000\U0010FFFF", false),
         {u"é", u"\n😀", u"", u"x\uFFFD\U00010000\U0010FFFF"}},
        {Utf16(u"\uFEFF\r\nx\n\r😀", true) + "\x01", {u"", u"x\n", u"😀\uFFFD"}}};
    const struct { std::size_t blockSize; unsigned codePage; } readings[] = {  // 0: whole blocks
        {.blockSize = 0, .codePage = 932}, {.blockSize = 1, .codePage = 1252},
        {.blockSize = 2, .codePage = 65001}, {.blockSize = 3, .codePage = 932}};
    // clang-format on
    for (const auto& [blockSize, codePage] : readings) {
        FakePlatform fake(codePage);
        fake.readBlockLimit = blockSize;
        SCOPED_TRACE(testing::Message() << blockSize << "-byte reads, code page " << codePage);
        for (const auto& [bytes, lines] : files) {
            fake.AddFile(u"f", bytes);
            const std::u16string count = PlainNumber(std::ssize(lines));
            std::u16string all;
            for (const std::u16string& line : lines) all += line + u"\\n";
            EXPECT_EQ(ReferencesOf(fake, u"FILE#f"), (References{u"f", u"0", u"1024", all, count}));
            // Each line alone, and past the last none; the lines after the range are counted too.
            for (std::size_t i = 0; i <= lines.size(); ++i) {
                const std::u16string n = PlainNumber(i);
                const std::u16string line = i < lines.size() ? lines[i] + u"\\n" : u"";
                EXPECT_EQ(ReferencesOf(fake, u"FILE#f/" + n + u"-" + n),
                          (References{u"f", n, n, line, count}));
            }
        }
    }
}

}  // namespace
}  // namespace vek
