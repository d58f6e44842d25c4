// The FILE command: range parsing, line reading across read blocks, the
// not-found reference and the failures, through the platform's test double.

#include <cstring>
#include <new>
#include <vector>

#include "TestUtil.h"
#include "app/F_ZERO.h"
#include "platform/fake/FakePlatform.h"
#include "request/FileRequest.h"

namespace vek {
namespace {

std::u16string JoinCrLf(const std::vector<std::u16string>& lines) {
    std::u16string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i != 0) joined += u"\r\n";
        joined += lines[i];
    }
    return joined;
}

// The whole notification around the given reference lines, for handle 1234.
std::u16string FileNotification(const std::vector<std::u16string>& references) {
    std::vector<std::u16string> lines{u"NOTIFY SSTP/1.0", u"Sender: VEK", u"Event: OnFileRead"};
    lines.insert(lines.end(), references.begin(), references.end());
    lines.insert(lines.end(), {u"HWnd: 1234", u"SecurityLevel: local", u"Charset: Shift_JIS"});
    return JoinCrLf(lines);
}

// The value of the line "ReferenceK: ...", nullopt when there is no such line.
std::optional<std::u16string> Reference(const std::u16string& request, int k) {
    const std::u16string piece = u"\r\nReference" + Widen(std::to_string(k)) + u": ";
    const auto at = request.find(piece);
    if (at == std::u16string::npos) return std::nullopt;
    const auto from = at + piece.size();
    return request.substr(from, request.find(u"\r\n", from) - from);
}

// Lines as Reference3 carries them: each followed by backslash and n.
std::u16string Selected(const std::vector<std::u16string>& lines) {
    std::u16string joined;
    for (const auto& line : lines) joined += line + u"\\n";
    return joined;
}

// "line 0" to "line n-1", each ended by CR LF.
std::string NumberedLines(int n) {
    std::string bytes;
    for (int i = 0; i < n; ++i) bytes += "line " + std::to_string(i) + "\r\n";
    return bytes;
}

class FileRequestTest : public ::testing::Test {
protected:
    std::u16string Build(std::u16string_view commandText) {
        return BuildFileRequest(fake, commandText);
    }

    FakePlatform fake;
};

TEST_F(FileRequestTest, DefaultRangeSendsEveryLineAndTheCount) {
    fake.AddFile(u"a.txt", "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(Build(u"FILE#a.txt"),
              FileNotification({u"Reference0: a.txt", u"Reference1: 0", u"Reference2: 1024",
                                u"Reference3: one\\ntwo\\nthree\\n", u"Reference4: 3"}));
}

TEST_F(FileRequestTest, RangesSelectLinesAndTheCountIsAlwaysTheWholeFile) {
    fake.AddFile(u"a.txt", "one\r\ntwo\r\nthree\r\n");
    struct Case {
        const char16_t* command;
        const char16_t* start;
        const char16_t* end;
        std::vector<std::u16string> lines;
    };
    const Case cases[] = {
        {u"FILE#a.txt/1-1", u"1", u"1", {u"two"}},
        {u"FILE#a.txt/1", u"1", u"1024", {u"two", u"three"}},
        {u"FILE#a.txt/5", u"5", u"1024", {}},  // past the end
        {u"FILE#a.txt/2-", u"2", u"0", {}},    // a missing end reads as 0
        {u"FILE#a.txt/-3", u"0", u"3", {u"one", u"two", u"three"}},
        {u"FILE#a.txt/-", u"0", u"0", {u"one"}},
        {u"FILE#a.txt/ 1 - 2 ", u"1", u"2", {u"two", u"three"}},
        {u"FILE#a.txt/x-y", u"0", u"0", {u"one"}},  // non-numeric bounds read as 0
        {u"FILE#a.txt/1abc-2xyz", u"1", u"2", {u"two", u"three"}},
        {u"FILE#a.txt/0.5-2.5", u"0", u"2", {u"one", u"two", u"three"}},  // halves to even
        {u"FILE#a.txt/1.5-1.5", u"2", u"2", {u"three"}},
        {u"FILE#a.txt/&H1-&H1", u"1", u"1", {u"two"}},
        {u"FILE#a.txt/-5-7", u"0", u"5", {u"one", u"two", u"three"}},  // the first "-" splits
        {u"FILE#a.txt/0--1", u"0", u"-1", {}},
        {u"FILE#a.txt/2-1", u"2", u"1", {}},
        {u"FILE#a.txt/-2-0", u"0", u"2", {u"one", u"two", u"three"}},
        {u"FILE#a.txt/ 2 ", u"2", u"1024", {u"three"}},  // strict, surrounding spaces allowed
        {u"FILE#a.txt/1,0", u"10", u"1024", {}},         // digit-group separator
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.command));
        const std::u16string request = Build(c.command);
        EXPECT_EQ(Reference(request, 0), u"a.txt");
        EXPECT_EQ(Reference(request, 1), c.start);
        EXPECT_EQ(Reference(request, 2), c.end);
        EXPECT_EQ(Reference(request, 3), Selected(c.lines));
        EXPECT_EQ(Reference(request, 4), u"3");
    }
}

TEST_F(FileRequestTest, NamePartRunsFromTheSixthCharacterToTheFirstSlash) {
    fake.AddFile(u"my-list.txt", "a\r\nb\r\nc\r\nd\r\n");
    fake.AddFile(u"a.txt", "x\r\n");
    fake.AddFile(u"PEN#a", "opened\r\n");

    // A "-" before the "/" is part of the name.
    std::u16string request = Build(u"FILE#my-list.txt/1-2");
    EXPECT_EQ(Reference(request, 0), u"my-list.txt");
    EXPECT_EQ(Reference(request, 3), u"b\\nc\\n");
    EXPECT_EQ(Reference(request, 4), u"4");

    // Spaces around the name are trimmed for the file; any 5th character is skipped.
    for (const char16_t* command : {u"FILE#  a.txt  /0-0", u"FILE a.txt", u"FILEXa.txt"}) {
        SCOPED_TRACE(ToUtf8(command));
        request = Build(command);
        EXPECT_EQ(Reference(request, 0), u"a.txt");
        EXPECT_EQ(Reference(request, 3), u"x\\n");
    }

    // A prefix test only: 'FILEOPEN#a' reads the file 'PEN#a'.
    request = Build(u"FILEOPEN#a");
    EXPECT_EQ(Reference(request, 0), u"PEN#a");
    EXPECT_EQ(Reference(request, 3), u"opened\\n");
}

TEST_F(FileRequestTest, MissingFileGivesTheNotFoundReferenceWithTheNameAsWritten) {
    EXPECT_EQ(Build(u"FILE# b.txt"),
              FileNotification({u"Reference0: b.txt", u"Reference1: 0", u"Reference2: 1024",
                                u"Reference3: File( b.txt)NotFound"}));
    std::u16string request = Build(u"FILE#  b.txt /3-4");
    EXPECT_EQ(Reference(request, 0), u"b.txt");
    EXPECT_EQ(Reference(request, 1), u"3");
    EXPECT_EQ(Reference(request, 2), u"4");
    EXPECT_EQ(Reference(request, 3), u"File(  b.txt )NotFound");
    EXPECT_EQ(Reference(request, 4), std::nullopt);

    request = Build(u"FILE#");
    EXPECT_EQ(Reference(request, 0), u"");
    EXPECT_EQ(Reference(request, 3), u"File()NotFound");
}

TEST_F(FileRequestTest, OnlyAnExactNormalFileIsRead) {
    fake.AddFile(u"a.txt", "x\r\n");
    fake.AddFile(u"sub\\b.txt", "y\r\n");
    fake.AddDirectory(u"folder");
    fake.AddFile(u"hidden.txt", "h\r\n");
    fake.Find(u"hidden.txt")->hidden = true;
    for (const char16_t* name : {u"*.txt", u"a.tx?", u"folder", u"hidden.txt"}) {
        SCOPED_TRACE(ToUtf8(name));
        const std::u16string request = Build(u"FILE#" + std::u16string(name));
        EXPECT_EQ(Reference(request, 3), u"File(" + std::u16string(name) + u")NotFound");
        EXPECT_EQ(Reference(request, 4), std::nullopt);
    }
    // A backslash path is a name like any other.
    EXPECT_EQ(Reference(Build(u"FILE#sub\\b.txt"), 3), u"y\\n");
}

TEST_F(FileRequestTest, NameMissingBeforeTheSixthCharacterIsAnInvalidArgument) {
    fake.AddFile(u"a.txt", "x\r\n");
    for (const char16_t* command : {u"FILE", u"FILE/x", u"FILE/5", u"FILE/1-2"}) {
        SCOPED_TRACE(ToUtf8(command));
        EXPECT_EQ(FailureOf([&] { Build(command); }), FailureKind::InvalidArgument);
        const std::string report = ReportOf([&] { Build(command); });
        EXPECT_TRUE(report.starts_with("FILE: ")) << report;
        EXPECT_NE(report.find("'" + ToUtf8(command) + "' names no file"), std::string::npos)
            << report;
    }
}

TEST_F(FileRequestTest, RangeThatDoesNotConvertFailsBeforeTheFileIsRead) {
    fake.AddFile(u"dir", "x\r\n");
    fake.AddFile(u"a.txt", "x\r\n");
    fake.Find(u"a.txt")->locked = true;  // would fail too, were it opened
    // A "/" inside a path starts the range: 'a.txt' is no start line.
    EXPECT_EQ(FailureOf([&] { Build(u"FILE#dir/a.txt"); }), FailureKind::TypeMismatch);
    EXPECT_EQ(ReportOf([&] { Build(u"FILE#dir/a.txt"); }),
              "FILE: the start line after the \"/\" in 'FILE#dir/a.txt': Type mismatch: "
              "'a.txt' is not a number");
    EXPECT_EQ(FailureOf([&] { Build(u"FILE#a.txt/"); }), FailureKind::TypeMismatch);
    EXPECT_EQ(FailureOf([&] { Build(u"FILE#a.txt/1 2"); }), FailureKind::TypeMismatch);

    EXPECT_EQ(FailureOf([&] { Build(u"FILE#a.txt/2147483648"); }), FailureKind::Overflow);
    EXPECT_EQ(FailureOf([&] { Build(u"FILE#a.txt/3000000000-1"); }), FailureKind::Overflow);
    const std::string report = ReportOf([&] { Build(u"FILE#a.txt/0-99999999999"); });
    EXPECT_EQ(report,
              "FILE: the end line after the \"-\" in 'FILE#a.txt/0-99999999999': Overflow: "
              "'99999999999' is outside the signed 32-bit range");

    // The extremes themselves are fine.
    fake.Find(u"a.txt")->locked = false;
    std::u16string request = Build(u"FILE#a.txt/0-2147483647");
    EXPECT_EQ(Reference(request, 2), u"2147483647");
    EXPECT_EQ(Reference(request, 3), u"x\\n");
    request = Build(u"FILE#a.txt/2147483647");
    EXPECT_EQ(Reference(request, 1), u"2147483647");
    EXPECT_EQ(Reference(request, 3), u"");
    request = Build(u"FILE#a.txt/0--2147483648");
    EXPECT_EQ(Reference(request, 2), u"-2147483648");
    EXPECT_EQ(Reference(request, 3), u"");
}

TEST_F(FileRequestTest, FileThatCannotBeOpenedIsAFileError) {
    fake.AddFile(u"held.txt", "x\r\n");
    fake.Find(u"held.txt")->locked = true;
    EXPECT_EQ(FailureOf([&] { Build(u"FILE#held.txt"); }), FailureKind::FileError);
    const std::string report = ReportOf([&] { Build(u"FILE#held.txt"); });
    EXPECT_TRUE(report.starts_with("FILE: File error: ")) << report;
    EXPECT_NE(report.find("held.txt"), std::string::npos) << report;
}

// The reading of lines, for every way the file's bytes can be cut into read
// blocks: a CR at the end of one block and its LF at the start of the next are
// still one line end, and a Shift_JIS character cut in two is still one.
class LineReadingTest : public ::testing::TestWithParam<std::size_t> {
protected:
    LineReadingTest() { fake.readBlockLimit = GetParam(); }
    FakePlatform fake;
};

TEST_P(LineReadingTest, LineEndsAreCrOrCrLfAndALoneLfStaysInTheLine) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::u16string> lines;
    };
    const std::vector<Case> cases = {
        {"empty file", "", {}},
        {"CR LF", "one\r\ntwo\r\n", {u"one", u"two"}},
        {"CR only", "one\rtwo\rthree", {u"one", u"two", u"three"}},
        {"LF only is one line", "one\ntwo\nthree\n", {u"one\ntwo\nthree\n"}},
        {"no end on the last line", "one\r\ntwo", {u"one", u"two"}},
        {"empty lines", "\r\n\r\r\nx\r\n\r\n", {u"", u"", u"", u"x", u""}},
        {"only a CR", "\r", {u""}},
        {"only a CR LF", "\r\n", {u""}},
        {"only an LF", "\n", {u"\n"}},
        {"LF after CR LF", "a\r\n\nb\r\n", {u"a", u"\nb"}},
        {"LF then CR", "a\n\rb", {u"a\n", u"b"}},
        {"CR CR LF LF", "\r\r\n\n", {u"", u"", u"\n"}},
        {"tabs and spaces kept", " \ta b \t\r\n", {u" \ta b \t"}},
        {"Shift_JIS",
         "\x93\xfa\x96\x7b\r\n\x83\x5c\x95\x5c\\\r\n\xb6\xc0\x81\x60",
         {u"\u65e5\u672c", u"\u30bd\u8868\\", u"\uff76\uff80\uff5e"}},
    };
    // Ranges that end inside the file, past it, and before it, so that lines
    // are both selected and merely counted. A start cannot be negative: its
    // "-" would be taken as the separator.
    struct Range {
        const char16_t* suffix;
        std::int32_t start;
        std::int32_t end;
    };
    const Range ranges[] = {{u"", 0, 1024},   {u"/0-0", 0, 0}, {u"/1-1", 1, 1},  {u"/2-2", 2, 2},
                            {u"/1", 1, 1024}, {u"/1-0", 1, 0}, {u"/0--1", 0, -1}};
    for (const Case& c : cases) {
        fake.AddFile(u"f.txt", c.bytes);
        for (auto [suffix, start, end] : ranges) {
            SCOPED_TRACE(std::string(c.name) + " " + ToUtf8(suffix));
            const std::u16string request =
                BuildFileRequest(fake, u"FILE#f.txt" + std::u16string(suffix));
            std::vector<std::u16string> expected;
            for (std::int32_t i = start; i <= end && i < std::ssize(c.lines); ++i) {
                expected.push_back(c.lines[static_cast<std::size_t>(i)]);
            }
            EXPECT_EQ(Reference(request, 3), Selected(expected));
            EXPECT_EQ(Reference(request, 4), PlainNumber(std::ssize(c.lines)));
        }
    }
}

// Lines as the reading defines them, one byte at a time.
std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string line;
    bool open = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            lines.push_back(line);
            line.clear();
            open = false;
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            line += bytes[i];
            open = true;
        }
    }
    if (open) lines.push_back(line);
    return lines;
}

TEST_P(LineReadingTest, EveryByteValueInEveryPlace) {
    // Every byte value at every offset modulo 8, with CR, LF and lead bytes in
    // runs and alone, so that both the selected and the merely counted lines
    // meet them everywhere in a block.
    std::string bytes;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const unsigned r = (seed >> 16) % 300;
        bytes += r < 256   ? static_cast<char>(r)
                 : r < 270 ? '\r'
                 : r < 280 ? '\n'
                 : r < 290 ? 'a'
                           : '\x82';
    }
    bytes += "\r";
    fake.AddFile(u"mixed.txt", bytes);
    const std::vector<std::string> lines = SplitLines(bytes);
    ASSERT_GT(lines.size(), 100u);
    const std::u16string count = PlainNumber(std::ssize(lines));

    EXPECT_EQ(Reference(BuildFileRequest(fake, u"FILE#mixed.txt/0--1"), 4), count);
    const std::u16string request = BuildFileRequest(fake, u"FILE#mixed.txt/40-60");
    EXPECT_EQ(Reference(request, 4), count);
    std::u16string expected;
    for (std::size_t i = 40; i <= 60; ++i) {
        expected += fake.Decode(CodePage::ShiftJis, lines[i]) + u"\\n";
    }
    EXPECT_EQ(Reference(request, 3), expected);
}

TEST_P(LineReadingTest, LinesHaveNoLengthLimit) {
    // Longer than a read block, selected and not.
    const std::string longLine(kFileReadBlock * 2 + 3, 'x');
    fake.AddFile(u"long.txt", longLine + "\r" + longLine + "\r\n" + longLine);
    std::u16string request = BuildFileRequest(fake, u"FILE#long.txt/1-1");
    EXPECT_EQ(Reference(request, 3), Widen(longLine) + u"\\n");
    EXPECT_EQ(Reference(request, 4), u"3");
    request = BuildFileRequest(fake, u"FILE#long.txt");
    EXPECT_EQ(Reference(request, 3)->size(), 3 * (longLine.size() + 2));
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, LineReadingTest, ::testing::Values(0, 1, 2, 3, 5, 4096),
                         [](const ::testing::TestParamInfo<std::size_t>& p) {
                             return p.param == 0 ? std::string("Whole")
                                                 : "Limit" + std::to_string(p.param);
                         });

TEST_F(FileRequestTest, LinesAreShiftJisWhateverTheSystemCodePage) {
    // Trail bytes that are a backslash, a character only Shift_JIS has in
    // this form, NEC and IBM extensions, half-width katakana.
    const std::string sjis = "\x83\x5c\x95\x5c\x94\x5c \x81\x60\x87\x40\xfb\xfc\xb6\xc0\xc5";
    const std::u16string text = u"\u30bd\u8868\u80fd \uff5e\u2460\u9ad9\uff76\uff80\uff85";
    for (unsigned cp : {932u, 1252u, 65001u}) {
        SCOPED_TRACE(cp);
        FakePlatform system(cp);
        system.AddFile(u"j.txt", sjis + "\r\n" + sjis);
        const std::u16string request = BuildFileRequest(system, u"FILE#j.txt/1");
        EXPECT_EQ(Reference(request, 3), text + u"\\n");
        // Back to Shift_JIS, the line arrives as the file holds it.
        const std::string bytes = system.Encode(CodePage::ShiftJis, request);
        EXPECT_NE(bytes.find("\r\nReference3: " + sjis + "\\n\r\nReference4: 2\r\n"),
                  std::string::npos);
    }
}

TEST_F(FileRequestTest, EachLineIsDecodedOnItsOwn) {
    // A lead byte cut off by the line end must take neither the CR nor the
    // backslash of the "\n" that follows it as its second byte.
    fake.AddFile(u"cut.txt", "ab\x82\r\n\x82\rcd\x81");
    EXPECT_EQ(Reference(Build(u"FILE#cut.txt"), 3), u"ab\u30fb\\n\u30fb\\ncd\u30fb\\n");
}

// Counts what the builder decodes.
class CountingPlatform : public FakePlatform {
public:
    void AppendDecoded(CodePage cp, std::string_view bytes, std::u16string& out) const override {
        decodedBytes += bytes.size();
        if (++calls == failAtCall) throw std::bad_alloc();
        FakePlatform::AppendDecoded(cp, bytes, out);
    }
    mutable std::size_t decodedBytes = 0;
    mutable int calls = 0;
    int failAtCall = 0;
};

TEST(FileStreamingTest, OnlyTheSelectedLinesAreDecoded) {
    CountingPlatform platform;
    platform.AddFile(u"many.txt", NumberedLines(5000));
    const std::u16string request = BuildFileRequest(platform, u"FILE#many.txt/10-11");
    EXPECT_EQ(Reference(request, 3), u"line 10\\nline 11\\n");
    EXPECT_EQ(Reference(request, 4), u"5000");
    EXPECT_EQ(platform.decodedBytes, std::strlen("line 10") + std::strlen("line 11"));
}

TEST(FileStreamingTest, RunningOutOfMemoryIsReportedNotCrashed) {
    CountingPlatform platform;
    platform.failAtCall = 3;
    platform.AddFile(u"big.txt", NumberedLines(10));
    EXPECT_EQ(FailureOf([&] { BuildFileRequest(platform, u"FILE#big.txt"); }),
              FailureKind::SystemError);
    platform.calls = 0;
    const std::string report = ReportOf([&] { BuildFileRequest(platform, u"FILE#big.txt"); });
    EXPECT_EQ(report,
              "FILE: System error: out of memory holding the selected lines of 'big.txt' "
              "(2 lines read); select fewer lines");
}

// A file of count CR bytes, made up as it is read, so that line counts near
// the signed 32-bit limit need no memory; tail follows the CRs.
class EndlessCrs : public InputFile {
public:
    EndlessCrs(std::uint64_t count, std::string tail) : left_(count), tail_(std::move(tail)) {}
    std::size_t Read(std::span<char> buffer) override {
        if (left_ == 0) {
            const std::size_t n = std::min(buffer.size(), tail_.size());
            std::memcpy(buffer.data(), tail_.data(), n);
            tail_.erase(0, n);
            return n;
        }
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), left_));
        std::memset(buffer.data(), '\r', n);
        left_ -= n;
        return n;
    }

private:
    std::uint64_t left_;
    std::string tail_;
};

class HugePlatform : public FakePlatform {
public:
    HugePlatform(std::uint64_t crs, std::string tail) : crs_(crs), tail_(std::move(tail)) {
        AddFile(u"huge.txt", "");
    }
    std::unique_ptr<InputFile> OpenForRead(std::u16string_view) override {
        return std::make_unique<EndlessCrs>(crs_, tail_);
    }

private:
    std::uint64_t crs_;
    std::string tail_;
};

TEST(FileStreamingTest, LineCountUpToTheSigned32BitLimitAndAnOverflowBeyond) {
    constexpr std::uint64_t kMax = 2147483647;
    {
        // The last line has no line end: still counted.
        HugePlatform platform(kMax - 1, "x");
        const std::u16string request = BuildFileRequest(platform, u"FILE#huge.txt/0-1");
        EXPECT_EQ(Reference(request, 3), u"\\n\\n");
        EXPECT_EQ(Reference(request, 4), u"2147483647");
    }
    // One line more, ended or not.
    for (auto [crs, tail] : {std::pair{kMax, "x"}, std::pair{kMax + 1, ""}}) {
        HugePlatform platform(crs, tail);
        EXPECT_EQ(ReportOf([&] { BuildFileRequest(platform, u"FILE#huge.txt/0-1"); }),
                  "FILE: Overflow: 'huge.txt' has more than 2147483647 lines to count");
    }
}

TEST(FileDispatchTest, FileCommandIsSentAndAFailureSendsNothing) {
    FakePlatform fake;
    fake.AddFile(u"vek.ini", "77\r\n");
    fake.AddFile(u"a.txt", "\x93\xfa\x96\x7b\r\nb\r\n");
    fake.commandArgs = u"  FILE#a.txt/0-0  ";
    F_ZERO form{fake};
    EXPECT_EQ(form.Form_Load(), Outcome::EndRun);
    ASSERT_EQ(fake.sent.size(), 1u);
    EXPECT_EQ(fake.sent[0].target, 77);
    EXPECT_EQ(fake.sent[0].bytes,
              "NOTIFY SSTP/1.0\r\nSender: VEK\r\nEvent: OnFileRead\r\nReference0: a.txt\r\n"
              "Reference1: 0\r\nReference2: 0\r\nReference3: \x93\xfa\x96\x7b\\n\r\n"
              "Reference4: 2\r\nHWnd: 1234\r\nSecurityLevel: local\r\nCharset: Shift_JIS");

    fake.commandArgs = u"FILE#dir/a.txt";
    F_ZERO failing{fake};
    EXPECT_EQ(FailureOf([&] { failing.Form_Load(); }), FailureKind::TypeMismatch);
    EXPECT_EQ(fake.sent.size(), 1u);
}

}  // namespace
}  // namespace vek
