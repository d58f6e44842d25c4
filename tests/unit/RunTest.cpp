// One run from the command line to what it delivered: the dispatch, the
// request texts, INIT, the target from vek.ini or the host's memory, DROP.

#include "TestSupport.h"
#include "app/CommandLine.h"
#include "app/F_ZERO.h"
#include "app/UsageText.h"
#include "delivery/Target.h"

namespace vek {
namespace {

// A request in short: "N|" and "S|" for the opening lines of a notification
// and of a SEND request, the closing lines from the own-window line on left
// out, "|" for every other line end.
std::u16string Short(std::u16string text) {
    const std::pair<std::u16string_view, std::u16string_view> pieces[] = {
        {u"NOTIFY SSTP/1.0\r\nSender: VEK\r\n", u"N|"},
        {u"SEND SSTP/1.0\r\nSender: VEK\r\n", u"S|"},
        {u"\r\nHWnd: 1234\r\nSecurityLevel: local\r\nCharset: Shift_JIS", u""},
        {u"\r\nHWnd: 1234\r\nCharset: Shift_JIS", u""},
        {u"\r\n", u"|"}};
    for (const auto& [piece, shorter] : pieces) {
        for (std::size_t at = 0; (at = text.find(piece, at)) != std::u16string::npos;) {
            text.replace(at, piece.size(), shorter);
            at += shorter.size();
        }
    }
    return text;
}

// What a run did, one thing after another.
std::u16string Did(FakePlatform& fake, std::u16string_view command) {
    fake.commandArgs = command;
    const std::string ini = fake.FileBytes(u"vek.ini") ? *fake.FileBytes(u"vek.ini") : "";
    F_ZERO form{fake};
    std::u16string did;
    try {
        const Outcome outcome = form.Form_Load();
        if (outcome == Outcome::ShowBalloon) did = u"balloon " + Short(form.BlnText);
        if (outcome == Outcome::ShowTestWindow) did = u"test window";
    } catch (const RuntimeFailure& failure) {
        did = u"failed: " + failure.Report();
    }
    for (const auto& [target, marker, bytes] : fake.sent) {
        did += u"send " + PlainNumber(target) + (marker == 9801 ? u" " : u" bad marker ") +
               Short(fake.Decode(CodePage::ShiftJis, bytes));
    }
    for (const auto& text : fake.messages) did += u"show " + Short(text);
    for (const auto& [target, block] : fake.drops) {
        // pFiles 20, no point, not wide, the list's two zeros, and as long as
        // two bytes a character need unless the list needs more.
        const std::string list(block.begin() + 20, std::find(block.begin() + 20, block.end(), 0));
        const std::u16string path = fake.Decode(CodePage::Ansi, list);
        std::vector<std::uint8_t> expected(std::max(22 + list.size(), 24 + 2 * path.size()));
        expected[0] = 20;
        std::copy(list.begin(), list.end(), expected.begin() + 20);
        did += u"drop " + PlainNumber(target) + (block == expected ? u" " : u" bad block ") + path;
    }
    if (const std::string* now = fake.FileBytes(u"vek.ini"); now && *now != ini) {
        did += u"vek.ini " + fake.Decode(CodePage::Ansi, *now);
    }
    fake.sent.clear();
    fake.messages.clear();
    fake.drops.clear();
    return did;
}

struct Case {
    unsigned codePage;
    const char* ini;  // nullptr: no vek.ini
    const char16_t* command;
    const char16_t* did;
};

// clang-format off
const Case kCases[] = {
    {932, "77", u"  OnBoot#first#second  ", u"send 77 N|Event: OnBoot|Reference0: first|Reference1: second"},
    {932, "77", u"On X ", u"send 77 N|Event: On X"},
    {932, "77", u"OnX##c", u"send 77 N|Event: OnX|Reference0: |Reference1: c"},
    {932, "77", u"OnX # a ", u"send 77 N|Event: OnX |Reference0: a"},
    {932, "77", u"#x#", u"send 77 N|Event: |Reference0: x|Reference1: "},
    {932, "77", u"E#\ta\t#\u65e5\r\n#\\w5", u"send 77 N|Event: E|Reference0: \ta\t|Reference1: \u65e5||Reference2: \\w5"},
    {932, "77", u"E#0#1#2#3#4#5#6#7#8#9", u"send 77 N|Event: E|Reference0: 0|Reference1: 1|Reference2: 2"
                                          u"|Reference3: 3|Reference4: 4|Reference5: 5|Reference6: 6|Reference7: 7"},
    {932, "77", u"SEND#\\h\\s0hi\\e", u"send 77 S|Script: \\h\\s0hi\\e"},
    {932, "77", u"SEND", u"send 77 S|Script: "},
    {932, "77", u"SEND#  x y  ", u"send 77 S|Script: x y"},
    {932, "77", u"SENDER#x", u"send 77 S|Script: R#x"},
    {932, "77", u"send#x", u"send 77 N|Event: send|Reference0: x"},
    {932, "77", u"\"SEND#hi\"", u"send 77 N|Event: \"SEND|Reference0: hi\""},
    {932, "77", u"\tSEND#x", u"send 77 N|Event: \tSEND|Reference0: x"},
    {932, "77", u"/? x", u"send 77 N|Event: /? x"},
    {932, "77", u"TestPoin", u"send 77 N|Event: TestPoin"},
    {932, "77", u"TestPoint", u"test window"},
    {932, "77", u"TestPointer", u"test window"},
    {932, "77", u"FILE#a.txt/0-0", u"send 77 N|Event: OnFileRead|Reference0: a.txt|Reference1: 0|Reference2: 0"
                                   u"|Reference3: one\\n|Reference4: 3"},
    {932, "77", u"FILE#dir/a.txt", u"failed: FILE: the start line after the \"/\" in 'FILE#dir/a.txt': "
                                   u"Type mismatch: 'a.txt' is not a number"},
    {1252, "77", u"SEND#\u3053\u3093\u00e9", u"send 77 S|Script: \u3053\u3093?"},
    {932, "-1", u"OnX#a", u"show N|Event: OnX|Reference0: a"},
    {932, "65535", u"OnX", u""},  // the broadcast handle would reach every window
    {932, "&HFFFF", u"SEND#x", u""},
    {932, "12345678", u"OnX", u"send 12345678 N|Event: OnX"},  // whether it is a window is the platform's to say
    {932, "abc", u"OnX#\\w5", u"balloon Object Platform is not ready!!\\nN|Event: OnX|Reference0: \\w5"},
    {932, nullptr, u"SEND#x", u"balloon Object Platform is not ready!!\\nS|Script: x"},
    {932, "99999999999", u"OnX", u"failed: The target window handle in vek.ini: Overflow: '99999999999' is "
                                 u"outside the signed 32-bit range"},
    {932, nullptr, u"INIT 0", u""},
    {932, nullptr, u"INIT#1234", u"vek.ini 1234\r\n"},
    {932, "42", u"INIT 0", u""},
    {932, "42", u"INIT 00", u"vek.ini 00\r\n"},
    {932, "42", u"INIT", u"vek.ini \r\n"},
    {932, "42", u"INIT#-1", u"vek.ini -1\r\n"},
    {932, "42", u"INIT# 5 ", u"vek.ini  5\r\n"},
    {932, "42", u"INIT#\uff14\uff12\u65e5", u"vek.ini \uff14\uff12\u65e5\r\n"},
    {1252, "42", u"INIT#\uff14\uff12\u65e5", u"failed: INIT: File error: '\uff14\uff12\u65e5' cannot be written in "
                                             u"the system's code page"},
    {932, "5678", u"  DROP#a.txt  ", u"drop 5678 C:\\work\\a.txt"},
    {932, "5678", u"DROP# b.txt", u"drop 5678 C:\\work\\ b.txt"},
    {932, "5678", u"DROPxa.txt", u"drop 5678 C:\\work\\a.txt"},
    {932, "5678", u"DROP#C:\\x.txt", u"drop 5678 C:\\work\\C:\\x.txt"},
    // Two bytes a character suffice for Shift_JIS; UTF-8 takes three and grows the block.
    {932, "5678", u"DROP#ああああああああああああああああ.txt", u"drop 5678 C:\\work\\ああああああああああああああああ.txt"},
    {65001, "5678", u"DROP#ああああああああああああああああ.txt", u"drop 5678 C:\\work\\ああああああああああああああああ.txt"},
    {1252, "5678", u"DROP#ああああああああああああああああ.txt", u"failed: DROP: File error: 'C:\\work\\"
                   u"ああああああああああああああああ.txt' cannot be written in the system's code page"},
    {932, "5678", u"DROP#b.txt", u""},
    {932, "5678", u"DROP#hidden.txt", u""},
    {932, "5678", u"DROP#dir", u""},
    {932, "5678", u"DROP#*.txt", u""},
    {932, "5678", u"DROP#a.tx?", u""},
    {932, "5678", u"DROP", u""},
    {932, "-1", u"DROP#a.txt", u""},
    {932, "65535", u"DROP#a.txt", u""},
    {932, nullptr, u"DROP#a.txt", u""},
};
// clang-format on

TEST(RunTest, EachCommandDoesWhatItShould) {
    for (const Case& c : kCases) {
        FakePlatform fake(c.codePage);
        if (c.ini != nullptr) fake.AddFile(u"vek.ini", c.ini);
        for (const char16_t* name : {u"a.txt", u" b.txt", u"C:\\work\\C:\\x.txt",
                                     u"ああああああああああああああああ.txt"}) {
            fake.AddFile(name, "one\r\ntwo\r\nthree\r\n");
        }
        fake.AddFile(u"hidden.txt").hidden = true;
        fake.AddFile(u"dir").directory = true;
        EXPECT_EQ(Did(fake, c.command), c.did) << c.codePage << " " << (c.ini ? c.ini : "-");
    }
}

TEST(RunTest, UsageTextFromTheStartAndTheDriveRoot) {
    FakePlatform fake;
    fake.currentDirectory = u"C:\\";
    fake.AddFile(u"C:\\\\a.txt");
    fake.AddFile(u"vek.ini", "8");
    EXPECT_EQ(Did(fake, u"DROP#a.txt"), u"drop 8 C:\\\\a.txt");
    EXPECT_EQ(kUsageText.size(), 243u);
    EXPECT_TRUE(kUsageText.starts_with(u"【使用方法】\\n・送信先のhwnd値を"));
    EXPECT_TRUE(
        kUsageText.ends_with(u"#ref(6)#ref(7)#\\n\\w9\\w9\\w9\\w9\\w9\\w9\\w9\\w9\\w9\\w9"));
    for (const char16_t* command : {u"", u"    ", u"/?", u"  /?  "}) {
        F_ZERO form{fake};
        form.BlnShown = u"old";
        form.BlnPos = 77;
        form.BlnWait = 3;
        fake.commandArgs = command;
        EXPECT_EQ(form.Form_Load(), Outcome::ShowBalloon);
        EXPECT_EQ(form.BlnText, kUsageText);
        EXPECT_EQ(std::tuple(form.BlnShown, form.BlnPos, form.BlnWait), std::tuple(u"", 1, 0));
    }
}

TEST(RunTest, TargetFromTheFirstFieldOfVekIni) {
    // clang-format off
    const std::pair<std::string, Hwnd> cases[] = {
        {"1234\r\n", 1234}, {"-1", -1}, {"123,456\r\n", 123}, {"abc\r\n", 0}, {" 1 2 \r\n999", 12},
        {"&H1F\n", 31}, {"", 0}, {"\r\n5", 0}, {",5", 0}, {"  77  \r\n88", 77}, {"\t9\n", 9},
        {"\"4,2\",3", 4}, {"\"42", 42}, {"\uFEFF4321\r\n", 4321},
        {std::string(reinterpret_cast<const char*>(u"\uFEFF5678"), 10), 5678},  // UTF-16 LE
        {"42\r\n" + std::string(1 << 20, 'x'), 42}};
    // clang-format on
    FakePlatform fake;
    fake.readBlockLimit = 3;
    for (const auto& [bytes, target] : cases) {
        fake.AddFile(u"vek.ini", bytes);
        EXPECT_EQ(ReadTargetFile(fake), target) << bytes.substr(0, 20);
    }
    fake.AddFile(u"vek.ini", "1").locked = true;
    EXPECT_EQ(ReportOf([&] { ReadTargetFile(fake); }), "File error: Could not open '.\\vek.ini'");
    fake.AddFile(u"vek.ini", "1").hidden = true;
    EXPECT_EQ(ReadTargetFile(fake), 0);
    fake.currentDirectory = u"C:\\elsewhere";
    fake.AddFile(u"vek.ini", "8");
    EXPECT_EQ(ReadTargetFile(fake), 8);
    fake.failWrites = true;
    EXPECT_EQ(ReportOf([&] { WriteTargetFile(fake, u"9"); }),
              "File error: Could not write 'vek.ini'");
    EXPECT_EQ(*fake.FileBytes(u"vek.ini"), "8");
}

// The host's memory: a 4-byte header, then text at byte offset at, '^'
// standing for the U+0001 that ends a key; zeros elsewhere.
HostSnapshot Snapshot(std::string text, std::size_t at = 4, std::string_view header = "\x10") {
    std::replace(text.begin(), text.end(), '^', '\x01');
    HostSnapshot snapshot{};
    std::copy(header.begin(), header.end(), snapshot.begin());
    text.resize(std::min(text.size(), snapshot.size() - at));  // what lies beyond is not seen
    std::copy(text.begin(), text.end(), snapshot.begin() + static_cast<std::ptrdiff_t>(at));
    return snapshot;
}

TEST(RunTest, HostWindowFromTheFirstHwndEntryOfTheHostsMemory) {
    // clang-format off
    const std::pair<std::string, Hwnd> cases[] = {
        {"name^host\r\nabc.hwnd^1234\r\n", 1234}, {"hwnd^77\r\n", 77}, {"a.hwnd^11\r\nb.hwnd^22\r\n", 11},
        {"x.hwnd^ 5 678 \r\n", 5678}, {"x.hwnd^42abc\r\n", 42}, {"x.hwnd^-2147483648\r\n", -2147483648},
        {"x.hwnd^9\rtrailing", 9}, {"1234abc^value\r\n", 0}, {"99\r\n", 0}, {"x.hwnd=5\r\n", 0},
        {"x.HWND^5\r\n", 0}, {"x.hwndx^5\r\n", 0}, {"x.hwnd^1234", 0}, {"x.hwnd^1234\n", 0},
        {"x.hwnd^99999999999\r\n", 0}, {"x.hwnd^&HFFFFFFFFF\r\n", 0},
        {"\x83hwnd^99\r\nx.hwnd^42\r\n", 42},  // 0x83 0x68 is one Shift_JIS character
        {"\x96\xbc\x91\x4f^\x82\xb3\r\nx.hwnd^5\r\n", 5}};
    // clang-format on
    FakePlatform fake;
    EXPECT_EQ(LookUpHostHwnd(fake), 0);
    for (const auto& [text, target] : cases) {
        fake.hostMemory["Sakura"] = Snapshot(text);
        EXPECT_EQ(LookUpHostHwnd(fake), target) << text;
    }
    FakePlatform western(1252);  // there the same bytes are two characters
    western.hostMemory["Sakura"] = Snapshot(cases[16].first);
    EXPECT_EQ(LookUpHostHwnd(western), 99);
    // The header is skipped as bytes; only the snapshot is seen.
    fake.hostMemory["Sakura"] = Snapshot("hwnd^7\r\n", 4, "\0\0\0\x83");
    EXPECT_EQ(LookUpHostHwnd(fake), 7);
    fake.hostMemory["Sakura"] = Snapshot("^5\r\n", 4, "hwnd");
    EXPECT_EQ(LookUpHostHwnd(fake), 0);
    fake.hostMemory["Sakura"] = Snapshot("x.hwnd^4321\r", kHostSnapshotSize - 12);
    EXPECT_EQ(LookUpHostHwnd(fake), 4321);
    fake.hostMemory["Sakura"] = Snapshot("x.hwnd^4321\r", kHostSnapshotSize - 11);
    EXPECT_EQ(LookUpHostHwnd(fake), 0);
    // enbryo before Sakura; once a mapping exists it decides; vek.ini comes first.
    fake.hostMemory["enbryo"] = Snapshot("e.hwnd^1001\r\n");
    EXPECT_EQ(LookUpHostHwnd(fake), 1001);
    fake.AddFile(u"vek.ini", "abc");
    EXPECT_EQ(Did(fake, u"INIT 0"), u"");
    EXPECT_EQ(Did(fake, u"DROP#vek.ini"), u"drop 1001 C:\\work\\vek.ini");
    fake.AddFile(u"vek.ini", "77");
    EXPECT_EQ(Did(fake, u"SEND"), u"send 77 S|Script: ");
    fake.hostMemory["enbryo"] = HostSnapshot{};
    EXPECT_EQ(LookUpHostHwnd(fake), 0);
}

TEST(RunTest, ProgramNameIsSkippedAsWindowsSplitsIt) {
    // clang-format off
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"vek.exe SEND#hi", u"SEND#hi"}, {u"\"C:\\Program Files\\vek.exe\" SEND#hi there ", u"SEND#hi there "},
        {u"\"C:\\a b\\vek.exe\"SEND", u"SEND"}, {u"vek.exe \t  \"SEND#hi\"", u"\"SEND#hi\""},
        {u"vek.exe\tOnBoot", u"OnBoot"}, {u"vek.exe", u""}, {u"\"vek.exe", u""}, {u"", u""},
        {u"C:\\dir\"x\"\\vek.exe a", u"a"}};
    // clang-format on
    for (const auto& [line, args] : cases) EXPECT_EQ(ArgumentText(line), args) << Utf8(line);
}

}  // namespace
}  // namespace vek
