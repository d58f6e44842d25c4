// The FILE command: the range, the name, the lines of the file across read
// blocks, the not-found reference and the failures.

#include <cstring>

#include "TestSupport.h"
#include "request/FileRequest.h"

namespace vek {
namespace {

// The value of the line "ReferenceK: ...", or "(none)".
std::u16string Reference(const std::u16string& request, int k) {
    const std::u16string piece = u"\r\nReference" + PlainNumber(k) + u": ";
    const auto at = request.find(piece);
    if (at == std::u16string::npos) return u"(none)";
    const auto from = at + piece.size();
    return request.substr(from, request.find(u"\r\n", from) - from);
}

// Lines as Reference3 carries them: each followed by backslash and n.
std::u16string Selected(const std::vector<std::u16string>& lines) {
    std::u16string joined;
    for (const auto& line : lines) joined += line + u"\\n";
    return joined;
}

class FileRequestTest : public ::testing::Test {
protected:
    std::u16string Build(std::u16string_view command) { return BuildFileRequest(fake, command); }
    FakePlatform fake;
};

TEST_F(FileRequestTest, WholeNotificationAndWhatIsNoFile) {
    fake.AddFile(u"a.txt", "one\r\ntwo\r\nthree\r\n");
    const auto notification = [](std::vector<std::u16string> references) {
        references.insert(references.begin(),
                          {u"NOTIFY SSTP/1.0", u"Sender: VEK", u"Event: OnFileRead"});
        references.insert(references.end(),
                          {u"HWnd: 1234", u"SecurityLevel: local", u"Charset: Shift_JIS"});
        return JoinCrLf(references);
    };
    EXPECT_EQ(Build(u"FILE#a.txt"),
              notification({u"Reference0: a.txt", u"Reference1: 0", u"Reference2: 1024",
                            u"Reference3: one\\ntwo\\nthree\\n", u"Reference4: 3"}));
    EXPECT_EQ(Build(u"FILE# b.txt"),
              notification({u"Reference0: b.txt", u"Reference1: 0", u"Reference2: 1024",
                            u"Reference3: File( b.txt)NotFound"}));
    // The name as written, spaces and all; a wildcard, a directory or a
    // hidden file is no file.
    fake.AddFile(u"dir").directory = true;
    fake.AddFile(u"hidden.txt", "h").hidden = true;
    for (const char16_t* name : {u"  b.txt ", u"", u"*.txt", u"a.tx?", u"dir", u"hidden.txt"}) {
        const std::u16string request = Build(u"FILE#" + std::u16string(name) + u"/3-4");
        EXPECT_EQ(Reference(request, 0), Trim(name));
        EXPECT_EQ(Reference(request, 3), u"File(" + std::u16string(name) + u")NotFound");
        EXPECT_EQ(Reference(request, 4), u"(none)");
    }
}

TEST_F(FileRequestTest, RangeAndName) {
    fake.AddFile(u"a.txt", "one\r\ntwo\r\nthree\r\n");
    fake.AddFile(u"my-list.txt", "a\r\nb\r\nc\r\nd\r\n");
    fake.AddFile(u"PEN#a", "x\r\n");
    struct Case {
        const char16_t* command;
        const char16_t* name;
        const char16_t* start;
        const char16_t* end;
        std::vector<std::u16string> lines;
    };
    const Case cases[] = {
        {u"FILE#a.txt/1-1", u"a.txt", u"1", u"1", {u"two"}},
        {u"FILE#a.txt/1", u"a.txt", u"1", u"1024", {u"two", u"three"}},
        {u"FILE#a.txt/5", u"a.txt", u"5", u"1024", {}},
        {u"FILE#a.txt/2-", u"a.txt", u"2", u"0", {}},  // a missing end reads as 0
        {u"FILE#a.txt/-3", u"a.txt", u"0", u"3", {u"one", u"two", u"three"}},
        {u"FILE#a.txt/-", u"a.txt", u"0", u"0", {u"one"}},
        {u"FILE#a.txt/ 1 - 2 ", u"a.txt", u"1", u"2", {u"two", u"three"}},
        {u"FILE#a.txt/x-y", u"a.txt", u"0", u"0", {u"one"}},  // non-numbers read as 0
        {u"FILE#a.txt/1abc-2xyz", u"a.txt", u"1", u"2", {u"two", u"three"}},
        {u"FILE#a.txt/0.5-2.5", u"a.txt", u"0", u"2", {u"one", u"two", u"three"}},
        {u"FILE#a.txt/1.5-1.5", u"a.txt", u"2", u"2", {u"three"}},
        {u"FILE#a.txt/&H1-&H1", u"a.txt", u"1", u"1", {u"two"}},
        {u"FILE#a.txt/-5-7", u"a.txt", u"0", u"5", {u"one", u"two", u"three"}},  // first "-"
        {u"FILE#a.txt/0--1", u"a.txt", u"0", u"-1", {}},
        {u"FILE#a.txt/2-1", u"a.txt", u"2", u"1", {}},
        {u"FILE#a.txt/ 2 ", u"a.txt", u"2", u"1024", {u"three"}},  // strict, spaces allowed
        {u"FILE#a.txt/1,0", u"a.txt", u"10", u"1024", {}},         // digit-group separator
        {u"FILE#a.txt/0-2147483647", u"a.txt", u"0", u"2147483647", {u"one", u"two", u"three"}},
        {u"FILE#a.txt/2147483647", u"a.txt", u"2147483647", u"1024", {}},
        {u"FILE#a.txt/0--2147483648", u"a.txt", u"0", u"-2147483648", {}},
        {u"FILE#my-list.txt/1-2", u"my-list.txt", u"1", u"2", {u"b", u"c"}},
        {u"FILE#  a.txt  /0-0", u"a.txt", u"0", u"0", {u"one"}},
        {u"FILE a.txt/0-0", u"a.txt", u"0", u"0", {u"one"}},
        {u"FILEXa.txt/0-0", u"a.txt", u"0", u"0", {u"one"}},
        {u"FILEOPEN#a", u"PEN#a", u"0", u"1024", {u"x"}},
    };
    for (const Case& c : cases) {
        const std::u16string request = Build(c.command);
        EXPECT_EQ(Reference(request, 0), c.name) << Utf8(c.command);
        EXPECT_EQ(Reference(request, 1), c.start) << Utf8(c.command);
        EXPECT_EQ(Reference(request, 2), c.end) << Utf8(c.command);
        EXPECT_EQ(Reference(request, 3), Selected(c.lines)) << Utf8(c.command);
    }
}

TEST_F(FileRequestTest, FailuresNameWhatWasWrong) {
    fake.AddFile(u"dir", "x\r\n");
    fake.AddFile(u"held.txt", "x\r\n").locked = true;
    const std::pair<const char16_t*, std::string> cases[] = {
        {u"FILE",
         "FILE: Invalid procedure call or argument: 'FILE' names no file: the name "
         "follows the 5th character, as in FILE#name/start-end"},
        {u"FILE/x", "FILE: Invalid procedure call or argument: 'FILE/x' names no file"},
        {u"FILE/1-2", "FILE: Invalid procedure call or argument: 'FILE/1-2' names no file"},
        {u"FILE#dir/a.txt",
         "FILE: the start line after the \"/\" in 'FILE#dir/a.txt': Type "
         "mismatch: 'a.txt' is not a number"},
        {u"FILE#dir/", "FILE: the start line after the \"/\" in 'FILE#dir/': Type mismatch"},
        {u"FILE#dir/1 2", "FILE: the start line after the \"/\" in 'FILE#dir/1 2': Type mismatch"},
        {u"FILE#dir/2147483648",
         "FILE: the start line after the \"/\" in "
         "'FILE#dir/2147483648': Overflow: '2147483648' is outside"},
        {u"FILE#dir/3000000000-1",
         "FILE: the start line before the \"-\" in "
         "'FILE#dir/3000000000-1': Overflow"},
        {u"FILE#dir/0-99999999999",
         "FILE: the end line after the \"-\" in "
         "'FILE#dir/0-99999999999': Overflow: '99999999999' is "
         "outside the signed 32-bit range"},
        {u"FILE#held.txt", "FILE: File error: Could not open 'held.txt'"},
    };
    for (const auto& [command, report] : cases) {
        EXPECT_TRUE(ReportOf([&] { Build(command); }).starts_with(report))
            << ReportOf([&] { Build(command); });
    }
}

TEST_F(FileRequestTest, LinesAreShiftJisWhateverTheSystemCodePage) {
    // Trail bytes that are a backslash, NEC and IBM extensions, half-width
    // katakana, and a lead byte cut off by the line end or the file's end.
    const std::string sjis = "\x83\x5c\x95\x5c\x94\x5c \x81\x60\x87\x40\xfb\xfc\xb6\xc0\xc5";
    for (unsigned cp : {932u, 1252u, 65001u}) {
        FakePlatform system(cp);
        system.AddFile(u"j.txt", sjis + "\r\nab\x82\r\n\x82\rcd\x81");
        EXPECT_EQ(Reference(BuildFileRequest(system, u"FILE#j.txt"), 3),
                  u"\u30bd\u8868\u80fd \uff5e\u2460\u9ad9\uff76\uff80\uff85\\nab\u30fb\\n"
                  u"\u30fb\\ncd\u30fb\\n")
            << cp;
    }
}

// Counts what the builder decodes.
class CountingPlatform : public FakePlatform {
public:
    void AppendDecoded(CodePage cp, std::string_view bytes, std::u16string& out) const override {
        decodedBytes += bytes.size();
        FakePlatform::AppendDecoded(cp, bytes, out);
    }
    mutable std::size_t decodedBytes = 0;
};

TEST(FileStreamingTest, OnlyTheSelectedLinesAreDecoded) {
    CountingPlatform platform;
    std::string lines;
    for (int i = 0; i < 5000; ++i) lines += "line " + std::to_string(i) + "\r\n";
    platform.AddFile(u"many.txt", lines);
    const std::u16string request = BuildFileRequest(platform, u"FILE#many.txt/10-11");
    EXPECT_EQ(Reference(request, 3), u"line 10\\nline 11\\n");
    EXPECT_EQ(Reference(request, 4), u"5000");
    EXPECT_EQ(platform.decodedBytes, std::strlen("line 10line 11"));
}

// A file of count CR bytes made up as it is read, so that line counts at the
// signed 32-bit limit need no memory; tail follows the CRs.
class EndlessCrs : public FakePlatform {
public:
    EndlessCrs(std::uint64_t count, std::string tail) : count_(count), tail_(std::move(tail)) {
        AddFile(u"huge.txt");
    }
    std::unique_ptr<InputFile> OpenForRead(std::u16string_view) override {
        struct Input : InputFile {
            std::uint64_t left;
            std::string tail;
            std::size_t Read(std::span<char> buffer) override {
                const std::size_t n = left != 0 ? std::min<std::uint64_t>(buffer.size(), left)
                                                : std::min(buffer.size(), tail.size());
                if (left != 0) {
                    std::memset(buffer.data(), '\r', n);
                    left -= n;
                } else {
                    tail.copy(buffer.data(), n);
                    tail.erase(0, n);
                }
                return n;
            }
        };
        auto input = std::make_unique<Input>();
        input->left = count_;
        input->tail = tail_;
        return input;
    }

private:
    std::uint64_t count_;
    std::string tail_;
};

TEST(FileStreamingTest, LineCountUpToTheSigned32BitLimitAndAnOverflowBeyond) {
    constexpr std::uint64_t kMax = 2147483647;
    EndlessCrs last(kMax - 1, "x");  // the last line has no line end: still counted
    const std::u16string request = BuildFileRequest(last, u"FILE#huge.txt/0-1");
    EXPECT_EQ(Reference(request, 3), u"\\n\\n");
    EXPECT_EQ(Reference(request, 4), u"2147483647");
    for (auto [crs, tail] : {std::pair{kMax, "x"}, std::pair{kMax + 1, ""}}) {
        EndlessCrs beyond(crs, tail);
        EXPECT_EQ(ReportOf([&] { BuildFileRequest(beyond, u"FILE#huge.txt/0-1"); }),
                  "FILE: Overflow: 'huge.txt' has more than 2147483647 lines to count");
    }
}

// The lines, for every way the file's bytes can be cut into read blocks: a CR
// at the end of one block and its LF at the start of the next are still one
// line end.
class LineReadingTest : public ::testing::TestWithParam<std::size_t> {
protected:
    LineReadingTest() { fake.readBlockLimit = GetParam(); }
    FakePlatform fake;
};

TEST_P(LineReadingTest, LineEndsAreCrOrCrLfAndALoneLfStaysInTheLine) {
    const std::pair<std::string, std::vector<std::u16string>> files[] = {
        {"", {}},
        {"one\r\ntwo\r\n", {u"one", u"two"}},
        {"one\rtwo\rthree", {u"one", u"two", u"three"}},
        {"one\ntwo\nthree\n", {u"one\ntwo\nthree\n"}},
        {"\r\n\r\r\nx\r\n\r\n", {u"", u"", u"", u"x", u""}},
        {"\r", {u""}},
        {"\n", {u"\n"}},
        {"a\r\n\nb\r\n", {u"a", u"\nb"}},
        {"a\n\rb", {u"a\n", u"b"}},
        {"\r\r\n\n", {u"", u"", u"\n"}},
        {" \ta b \t\r\n", {u" \ta b \t"}},
        {"\x93\xfa\x96\x7b\r\n\x83\x5c\\\r\n\xb6\x81\x60",
         {u"\u65e5\u672c", u"\u30bd\\", u"\uff76\uff5e"}},
    };
    // Ranges that end inside the file, past it and before it, so that lines
    // are both selected and merely counted.
    const std::tuple<const char16_t*, int, int> ranges[] = {
        {u"", 0, 1024},   {u"/0-0", 0, 0}, {u"/1-1", 1, 1},  {u"/2-2", 2, 2},
        {u"/1", 1, 1024}, {u"/1-0", 1, 0}, {u"/0--1", 0, -1}};
    for (const auto& [bytes, lines] : files) {
        fake.AddFile(u"f.txt", bytes);
        for (const auto& [suffix, start, end] : ranges) {
            const std::u16string request =
                BuildFileRequest(fake, u"FILE#f.txt" + std::u16string(suffix));
            std::vector<std::u16string> expected;
            for (int i = start; i <= end && i < std::ssize(lines); ++i)
                expected.push_back(lines[i]);
            EXPECT_EQ(Reference(request, 3), Selected(expected)) << bytes << Utf8(suffix);
            EXPECT_EQ(Reference(request, 4), PlainNumber(std::ssize(lines))) << bytes;
        }
    }
}

TEST_P(LineReadingTest, EveryByteValueAndLinesLongerThanABlock) {
    // Every byte value, CR, LF and lead bytes in runs and alone, so that both
    // the selected and the merely counted lines meet them everywhere.
    std::string bytes;
    std::vector<std::string> lines(1);
    std::uint32_t seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const unsigned r = (seed >> 16) % 300;
        const char c = r < 256 ? static_cast<char>(r) : r < 270 ? '\r' : r < 280 ? '\n' : '\x82';
        if (c == '\r') {
            lines.emplace_back();
        } else if (c != '\n' || !bytes.ends_with('\r')) {
            lines.back() += c;
        }
        bytes += c;
    }
    bytes += "\r" + std::string(kFileReadBlock * 2 + 3, 'x');
    lines.emplace_back(kFileReadBlock * 2 + 3, 'x');
    fake.AddFile(u"mixed.txt", bytes);
    std::u16string expected;
    for (std::size_t i = 40; i < lines.size(); ++i) {
        if (i <= 60 || i + 1 == lines.size()) {
            expected += fake.Decode(CodePage::ShiftJis, lines[i]) + u"\\n";
        }
    }
    std::u16string request = BuildFileRequest(fake, u"FILE#mixed.txt/40-60");
    EXPECT_EQ(Reference(request, 4), PlainNumber(std::ssize(lines)));
    const std::u16string last = u"/" + PlainNumber(std::ssize(lines) - 1);
    EXPECT_EQ(
        Reference(request, 3) + Reference(BuildFileRequest(fake, u"FILE#mixed.txt" + last), 3),
        expected);
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, LineReadingTest, ::testing::Values(0, 1, 2, 3, 5, 4096));

}  // namespace
}  // namespace vek
