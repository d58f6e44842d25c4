// The FILE command: its name and range, and the lines of a file read in the file's own encoding.

#include "TestSupport.h"
#include "request/FileRequest.h"

namespace vek {
namespace {

// The references of the request FILE builds: no count where it finds no file.
struct References {
    std::u16string name, start, end, lines;
    std::optional<std::u16string> count;
};

// The request with these references, and the one FILE builds, as UTF-8 for readable failures.
std::string Request(const References& r) {
    std::u16string lines = u"Event: OnFileRead";
    const std::u16string values[] = {r.name, r.start, r.end, r.lines, r.count.value_or(u"")};
    for (int k = 0; k < (r.count ? 5 : 4); ++k)
        lines += u"\r\nReference" + PlainNumber(k) + u": " + values[k];
    return Utf8(Notification(lines));
}
std::string Built(Platform& platform, std::u16string_view command) {
    return Utf8(BuildFileRequest(platform, command));
}

// The name runs to the first "/"; the start alone is a whole number, bounds begin with one.
TEST(FileTest, TheCommandNamesTheFileAndARangeOfLinesOrFailsSayingWhichPartIsWrong) {
    FakePlatform fake;
    fake.AddFile(u"my-list.txt", "one\r\ntwo\r\nthree\r\n");
    fake.AddFile(u"held.txt", "x").locked = true;  // as another program may hold it
    fake.AddFile(u"max.txt").crs = 2147483647;     // as many lines as a signed 32-bit count holds
    fake.AddFile(u"huge.txt").crs = 2147483648;
    const std::u16string list = u"my-list.txt", all = u"one\\ntwo\\nthree\\n";
    // clang-format off
    const std::pair<const char16_t*, References> cases[] = {
        {u"FILE#my-list.txt/5", {.name = list, .start = u"5", .end = u"1024", .count = u"3"}},
        {u"FILE#my-list.txt/2-", {.name = list, .start = u"2", .end = u"0", .count = u"3"}},
        {u"FILE#my-list.txt/-3",
         {.name = list, .start = u"0", .end = u"3", .lines = all, .count = u"3"}},
        {u"FILE#my-list.txt/-5-7",
         {.name = list, .start = u"0", .end = u"5", .lines = all, .count = u"3"}},
        {u"FILE#max.txt/0-1", {.name = u"max.txt", .start = u"0", .end = u"1",
                               .lines = u"\\n\\n", .count = u"2147483647"}},
        // Any 5th character is skipped; spaces around a name stay only in the not-found report.
        {u"FILEX  my-list.txt  /2-2",
         {.name = list, .start = u"2", .end = u"2", .lines = u"three\\n", .count = u"3"}},
        {u"FILE#  my-/3-4",
         {.name = u"my-", .start = u"3", .end = u"4", .lines = u"File(  my-)NotFound"}},
        {u"FILE#", {.name = u"", .start = u"0", .end = u"1024", .lines = u"File()NotFound"}}};
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
        EXPECT_EQ(Built(fake, command), Request(references));
    for (const auto& [command, head] : failures)
        EXPECT_EQ(ReportOf([&] { BuildFileRequest(fake, command); }).substr(0, head.size()), head);
}

// Each file whole and in blocks that cut its characters, line ends and mark, in any code page.
TEST(FileTest, ALineEndsAtCrOrCrLfAndIsReadInTheFilesOwnEncoding) {
    const std::size_t longLine = kFileReadBlock * 2 + 3;  // longer than two read blocks
    // clang-format off
    const std::pair<std::string, std::vector<std::u16string>> files[] = {
        {"", {}}, {"one\rtwo\rthree", {u"one", u"two", u"three"}}, {"\na\nb\n", {u"\na\nb\n"}},
        {"\r\n\r\r\nx\r\n\r\n", {u"", u"", u"", u"x", u""}}, {" \ta b \t\r\n", {u" \ta b \t"}},
        {"a\r\n\nb", {u"a", u"\nb"}}, {"a\n\rb", {u"a\n", u"b"}}, {"\r\r\n\n", {u"", u"", u"\n"}},
        {std::string(longLine, 'x') + "\ry", {std::u16string(longLine, 'x'), u"y"}},
        // ソ and 表 end in 0x5C, ① and 髙 are NEC's and IBM's; a lead byte cut off is none.
        {ShiftJis(u"ソ表\\①髙\r\n") + "\x82\r" + ShiftJis(u"ｶﾀ\uff5e") + "\x81",
         {u"ソ表\\①髙", u"・", u"ｶﾀ\uff5e・"}},
        // UTF-8 by its mark or bytes, UTF-16 by its mark; U+FFFD for what is no character.
        {"\xEF\xBB\xBF\xC3\xA9\xFF", {u"é\uFFFD"}}, {"\xC3\xA9\r\xF0\x9F\x98\x80", {u"é", u"😀"}},
        {Utf16(u"\uFEFFé\r\n\n😀\r\r\nx\xDC00\U00010000\U0010FFFF", false),
         {u"é", u"\n😀", u"", u"x\uFFFD\U00010000\U0010FFFF"}},
        {Utf16(u"\uFEFF\r\nx\n\r😀\xD800", true) + "\x01", {u"", u"x\n", u"😀\uFFFD\uFFFD"}}};
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
            std::u16string all;
            for (const std::u16string& line : lines) all += line + u"\\n";
            References read = {.name = u"f", .start = u"0", .end = u"1024", .lines = all};
            read.count = PlainNumber(std::ssize(lines));
            EXPECT_EQ(Built(fake, u"FILE#f"), Request(read));
            // Each line alone, and past the last none; the lines after the range are counted too.
            for (std::size_t i = 0; i <= lines.size(); ++i) {
                read.start = read.end = PlainNumber(i);
                read.lines = i < lines.size() ? lines[i] + u"\\n" : u"";
                EXPECT_EQ(Built(fake, u"FILE#f/" + read.start + u"-" + read.end), Request(read));
            }
        }
    }
}

}  // namespace
}  // namespace vek
