// One run from the command line to what it delivered: dispatch, requests, INIT, the target, DROP.

#include "TestSupport.h"
#include "app/CommandLine.h"
#include "app/F_ZERO.h"
#include "app/Report.h"
#include "app/UsageText.h"
#include "delivery/Target.h"

// clang-format off: the case tables are laid out by hand, several cases to a line.
namespace vek {
namespace {

// A request in short: "N|" and "S|" for the opening lines of a notification and a SEND whose closing
// lines (from the own-window line on, left out) are as they should be; "|" for every other line end.
std::u16string Short(std::u16string text) {
    for (const auto& [head, tail, mark] :
         {std::tuple(u"NOTIFY SSTP/1.0\r\nSender: VEK\r\n",
                     u"\r\nHWnd: 1234\r\nSecurityLevel: local\r\nCharset: Shift_JIS", u"N|"),
          std::tuple(u"SEND SSTP/1.0\r\nSender: VEK\r\n", u"\r\nHWnd: 1234\r\nCharset: Shift_JIS",
                     u"S|")}) {
        if (const auto at = text.find(head); at != text.npos && text.ends_with(tail)) {
            text.resize(text.size() - std::u16string_view(tail).size());
            text.replace(at, std::u16string_view(head).size(), mark);
        }
    }
    for (std::size_t at; (at = text.find(u"\r\n")) != text.npos;) text.replace(at, 2, u"|");
    return text;
}

// What a run did, in turn: the balloon's text, each request sent and shown, each path dropped,
// vek.ini when it changed, or the failure. On a copy: the set-up stays for the next run.
std::u16string Did(FakePlatform fake, std::u16string_view command) {
    fake.commandArgs = command;
    const std::string ini = fake.FileBytes(u"vek.ini") ? *fake.FileBytes(u"vek.ini") : "";
    F_ZERO form{fake};
    form.BlnShown = u"old"; form.BlnPos = 77; form.BlnWait = 3;  // the player starts afresh
    std::u16string did;
    try {
        const Outcome outcome = form.Form_Load();
        if (outcome == Outcome::ShowBalloon) {
            did = u"balloon " + (form.BlnText == kUsageText ? u"usage" : Short(form.BlnText)) +
                  (form.BlnPos == 1 && form.BlnWait == 0 && form.BlnShown.empty() ? u"" : u" not afresh");
        }
        if (outcome == Outcome::ShowTestWindow) did = u"test window";
    } catch (const RuntimeFailure& failure) {
        did = u"failed: " + Short(failure.Report());
    }
    for (const auto& [target, marker, bytes] : fake.sent) {
        did += u"send " + PlainNumber(target) + (marker == 9801 ? u" " : u" unmarked ") +
               Short(fake.Decode(CodePage::ShiftJis, bytes));
    }
    for (const auto& text : fake.messages) did += u"show " + Short(text);
    for (const auto& [target, block] : fake.drops) {  // the block's frame: EncodingTest
        const auto list = std::find(block.begin() + 20, block.end(), 0);
        did += u"drop " + PlainNumber(target) + u" " + fake.Decode(CodePage::Ansi, std::string(block.begin() + 20, list));
    }
    if (const std::string* now = fake.FileBytes(u"vek.ini"); now && *now != ini)
        did += u"vek.ini " + fake.Decode(CodePage::Ansi, *now);
    return did;
}

struct Case { const char16_t *command, *did; const char* ini = "77"; unsigned codePage = 932; };  // ini nullptr: none

const Case kCases[] = {
    {u"", u"balloon usage"}, {u"/?", u"balloon usage"}, {u"/? x", u"send 77 N|Event: /? x"},
    {u"  OnBoot#first#second  ", u"send 77 N|Event: OnBoot|Reference0: first|Reference1: second"},
    {u"On X ", u"send 77 N|Event: On X"}, {u"OnX##c", u"send 77 N|Event: OnX|Reference0: |Reference1: c"},
    {u"OnX # a ", u"send 77 N|Event: OnX |Reference0: a"}, {u"#x#", u"send 77 N|Event: |Reference0: x|Reference1: "},
    {u"E#\ta\t#日\r\n#\\w5", u"send 77 N|Event: E|Reference0: \ta\t|Reference1: 日||Reference2: \\w5"},
    {u"E#0#1#2#3#4#5#6#7#8#9", u"send 77 N|Event: E|Reference0: 0|Reference1: 1|Reference2: 2|Reference3: 3"
                               u"|Reference4: 4|Reference5: 5|Reference6: 6|Reference7: 7"},
    {u"SEND#\\h\\s0hi\\e", u"send 77 S|Script: \\h\\s0hi\\e"}, {u"SEND", u"send 77 S|Script: "},
    {u"SEND#  x y  ", u"send 77 S|Script: x y"}, {u"SENDER#x", u"send 77 S|Script: R#x"},
    {u"send#x", u"send 77 N|Event: send|Reference0: x"}, {u"\"SEND#hi\"", u"send 77 N|Event: \"SEND|Reference0: hi\""},
    {u"TestPoin", u"send 77 N|Event: TestPoin"}, {u"TestPoint", u"test window"}, {u"TestPointer", u"test window"},
    {u"FILE#a.txt/0-0", u"send 77 N|Event: OnFileRead|Reference0: a.txt|Reference1: 0|Reference2: 0|Reference3: one\\n"
                        u"|Reference4: 3"},
    {u"SEND#こん", u"send 77 S|Script: こん", "77", 1252},  // Shift_JIS in every code page
    {u"OnX#a", u"show N|Event: OnX|Reference0: a", "-1"},
    // The broadcast handle would reach every window; like a handle that names no window, no target.
    {u"OnX", u"balloon Object Platform is not ready!!\\nN|Event: OnX", "65535"},
    // The box and the balloon show a request as it would go out: one Shift_JIS cannot hold in UTF-8.
    {u"OnX#é", u"show NOTIFY SSTP/1.0|Sender: VEK|Event: OnX|Reference0: é|HWnd: 1234|SecurityLevel: local|Charset: UTF-8", "-1"},
    {u"SEND#😀", u"balloon Object Platform is not ready!!\\nSEND SSTP/1.0|Sender: VEK|Script: 😀|HWnd: 1234|Charset: UTF-8",
     nullptr},
    {u"OnX#\\w5", u"balloon Object Platform is not ready!!\\nN|Event: OnX|Reference0: \\w5", "abc"},
    {u"SEND#x", u"balloon Object Platform is not ready!!\\nS|Script: x", nullptr},
    {u"OnX", u"failed: The target window handle in vek.ini: Overflow: '99999999999' is outside the signed 32-bit range",
     "99999999999"},
    {u"INIT#1234", u"vek.ini 1234\r\n", nullptr}, {u"INIT 0", u"", "42"}, {u"INIT 00", u"vek.ini 00\r\n", "42"},
    {u"INIT", u"vek.ini \r\n", "42"}, {u"INIT# 5 ", u"vek.ini  5\r\n", "42"}, {u"INIT#４２日", u"vek.ini ４２日\r\n", "42"},
    {u"INIT#４２日", u"failed: INIT: File error: '４２日' cannot be written in the system's code page", "42", 1252},
    {u"  DROP#a.txt  ", u"drop 77 C:\\work\\a.txt"}, {u"DROP# b.txt", u"drop 77 C:\\work\\ b.txt"},
    {u"DROPxa.txt", u"drop 77 C:\\work\\a.txt"}, {u"DROP#C:\\x.txt", u"drop 77 C:\\work\\C:\\x.txt"},
    // Two bytes a character suffice for Shift_JIS; in UTF-8 the block holds three.
    {u"DROP#ああああああああああああああああ.txt", u"drop 77 C:\\work\\ああああああああああああああああ.txt"},
    {u"DROP#ああああああああああああああああ.txt", u"drop 77 C:\\work\\ああああああああああああああああ.txt", "77", 65001},
    {u"DROP#b.txt", u""}, {u"DROP", u""}, {u"DROP#a.txt", u"", "-1"}, {u"DROP#a.txt", u"", "65535"},
    {u"DROP#a.txt", u"", nullptr},
};

TEST(RunTest, EachCommandDoesWhatItShould) {
    for (const Case& c : kCases) {
        FakePlatform fake(c.codePage);
        if (c.ini != nullptr) fake.AddFile(u"vek.ini", c.ini);
        for (auto name : {u"a.txt", u" b.txt", u"C:\\work\\C:\\x.txt", u"ああああああああああああああああ.txt"})
            fake.AddFile(name, "one\r\ntwo\r\nthree\r\n");
        EXPECT_EQ(Did(fake, c.command), c.did) << c.codePage << " " << (c.ini ? c.ini : "-");
    }
}

// A report always reaches somebody and waits for nobody: a program that captures standard error
// has it; else a box shows it where one can be seen, and the event log keeps it where none can.
TEST(RunTest, AFailureIsReportedOnStandardErrorInABoxOrInTheEventLog) {
    const auto x = std::make_exception_ptr(RuntimeFailure(FailureKind::FileError, u"x"));
    const std::u16string report = u"File error: x";
    const std::u16string line = u"VEK: File error: x\r\n";
    using Texts = std::vector<std::u16string>;
    struct Routing { ErrorStream stream; bool visible, writeFails; std::exception_ptr failure; std::u16string written; Texts boxes, events; };
    const Routing cases[] = {
        {ErrorStream::None, true, false, x, u"", {report}, {}},
        {ErrorStream::Console, true, false, x, line, {report}, {}},
        {ErrorStream::Captured, true, false, x, line, {}, {}},
        {ErrorStream::Captured, true, true, x, u"", {report}, {}},  // a pipe whose reader has gone
        {ErrorStream::None, false, false, x, u"", {}, {report}},
        {ErrorStream::Console, false, false, x, line, {}, {}},
        {ErrorStream::Captured, false, true, x, u"", {}, {report}},
        {ErrorStream::Captured, true, false, std::make_exception_ptr(std::bad_alloc()), u"VEK: Out of memory\r\n", {}, {}},
        {ErrorStream::None, true, false, std::make_exception_ptr(std::runtime_error("überall")), u"",
         {u"Unexpected failure: überall"}, {}},
        {ErrorStream::None, false, false, std::make_exception_ptr(42), u"", {}, {u"Unexpected failure"}}};
    for (const Routing& c : cases) {
        FakePlatform fake;
        fake.errorStream = c.stream;
        fake.canShowWindows = c.visible;
        fake.errorWriteFails = c.writeFails;
        EXPECT_EQ(ReportFailure(fake, c.failure), 1);
        EXPECT_EQ(fake.errorOutput, c.written);
        EXPECT_EQ(fake.failureMessages, c.boxes);
        EXPECT_EQ(fake.eventLog, c.events);
        EXPECT_TRUE(fake.messages.empty());
    }
}

// Where no window can be seen, nothing waits to be closed: what would show one fails with a
// report instead, the request it would show included; what shows nothing is not touched.
TEST(RunTest, WhereNoWindowCanBeSeenNothingIsShown) {
    const char16_t* kWhere = u" cannot be shown: this program runs where no window can be seen (as a "
                             u"service, or as a task that runs whether the user is logged on or not)";
    const std::tuple<const char16_t*, const char*, std::u16string> cases[] = {
        {u"/?", "77", u"failed: System error: the usage text" + std::u16string(kWhere)},
        {u"TestPoint", "77", u"failed: System error: the test window" + std::u16string(kWhere)},
        {u"OnX", "-1", u"failed: System error: the request (target -1 shows it instead of sending it)" +
                       std::u16string(kWhere) + u": N|Event: OnX"},
        {u"OnX", "0", u"failed: System error: \"Object Platform is not ready!!\" (no host window is known)" +
                      std::u16string(kWhere) + u": N|Event: OnX"},
        {u"OnX", "77", u"send 77 N|Event: OnX"}, {u"INIT#5", "77", u"vek.ini 5\r\n"}};
    for (const auto& [command, ini, did] : cases) {
        FakePlatform fake;
        fake.canShowWindows = false;
        fake.AddFile(u"vek.ini", ini);
        EXPECT_EQ(Did(fake, command), did);
    }
}

TEST(RunTest, TargetFromTheFirstFieldOfVekIni) {
    const std::pair<std::string, Hwnd> cases[] = {
        {"1234\r\n", 1234}, {"-1", -1}, {"123,456\r\n", 123}, {"abc\r\n", 0}, {" 1 2 \r\n999", 12}, {"&H1F\n", 31},
        {"", 0}, {"\r\n5", 0}, {",5", 0}, {"  77  \r\n88", 77}, {"\t9\n", 9}, {"\"4,2\",3", 4}, {" \t\"42", 42},
        {"\uFEFF4321\r\n", 4321}, {std::string(reinterpret_cast<const char*>(u"\uFEFF5678"), 10), 5678},  // UTF-16 LE
        {std::string("\xFE\xFF\0""5\0""6\0\r", 8), 56},  // UTF-16 BE
        // A character whose first byte is not 0 (U+8035) ends the number in either byte order.
        {std::string("\xFF\xFE""4\0""\x35\x80", 6), 4}, {std::string("\xFE\xFF\0""4\x80\x35", 6), 4}};
    FakePlatform fake;
    fake.readBlockLimit = 3;
    for (const auto& [bytes, target] : cases) {
        fake.AddFile(u"vek.ini", bytes);
        EXPECT_EQ(ReadTargetFile(fake), target) << bytes.substr(0, 20);
    }
    fake.AddFile(u"vek.ini", "1").locked = true;
    EXPECT_EQ(ReportOf([&] { ReadTargetFile(fake); }), "File error: Could not open '.\\vek.ini'");
    fake.currentDirectory = u"C:\\";  // a drive root: the path's two backslashes stay
    fake.AddFile(u"vek.ini", "8");
    fake.windows = {8};
    fake.AddFile(u"C:\\\\a.txt");
    EXPECT_EQ(Did(fake, u"DROP#a.txt"), u"drop 8 C:\\\\a.txt");
    fake.failWrites = true;
    EXPECT_EQ(Did(fake, u"INIT#9"), u"failed: File error: Could not write 'vek.ini'");
}

// The host's memory: a 4-byte header, then text at byte offset at ('^' for the U+0001 after a key).
HostSnapshot Snapshot(std::string text, std::size_t at = 4, std::string_view header = "\x10") {
    std::replace(text.begin(), text.end(), '^', '\x01');
    HostSnapshot snapshot{};
    std::copy(header.begin(), header.end(), snapshot.begin());
    text.resize(std::min(text.size(), snapshot.size() - at));  // what lies beyond is not seen
    std::copy(text.begin(), text.end(), snapshot.begin() + static_cast<std::ptrdiff_t>(at));
    return snapshot;
}

TEST(RunTest, HostWindowFromTheFirstHwndEntryOfTheHostsMemory) {
    const std::tuple<HostSnapshot, Hwnd, unsigned> cases[] = {
        {Snapshot("name^host\r\nabc.hwnd^1234\r\n"), 1234, 932}, {Snapshot("hwnd^77\r\n"), 77, 932},
        {Snapshot("a.hwnd^11\r\nb.hwnd^22\r\n"), 11, 932}, {Snapshot("x.hwnd^ 5 678 \r\n"), 5678, 932},
        {Snapshot("x.hwnd^42abc\r\n"), 42, 932}, {Snapshot("x.hwnd^-2147483648\r\n"), -2147483648, 932},
        {Snapshot("x.hwnd^9\rtrailing"), 9, 932}, {Snapshot("1234abc^value\r\n"), 0, 932}, {Snapshot("99\r\n"), 0, 932},
        {Snapshot("x.hwnd=5\r\n"), 0, 932}, {Snapshot("x.HWND^5\r\n"), 0, 932}, {Snapshot("x.hwndx^5\r\n"), 0, 932},
        {Snapshot("x.hwnd^1234"), 0, 932}, {Snapshot("x.hwnd^1234\n"), 0, 932}, {Snapshot("x.hwnd^99999999999\r\n"), 0, 932},
        {Snapshot("x.hwnd^&HFFFFFFFFF\r\n"), 0, 932}, {Snapshot("\x96\xbc\x91\x4f^\x82\xb3\r\nx.hwnd^5\r\n"), 5, 932},
        {Snapshot("\x83hwnd^99\r\nx.hwnd^42\r\n"), 42, 932},  // 0x83 0x68 is one Shift_JIS character
        {Snapshot("\x83hwnd^99\r\nx.hwnd^42\r\n"), 99, 1252},  // and two in code page 1252
        {Snapshot("hwnd^7\r\n", 4, std::string_view("\0\0\0\x83", 4)), 7, 932},  // the header is skipped as bytes
        {Snapshot("^5\r\n", 4, "hwnd"), 0, 932},
        {Snapshot("x.hwnd^4321\r", kHostSnapshotSize - 12), 4321, 932},  // only the snapshot is seen
        {Snapshot("x.hwnd^4321\r", kHostSnapshotSize - 11), 0, 932}};
    for (const auto& [snapshot, target, codePage] : cases) {
        FakePlatform fake(codePage);
        fake.hostMemory["Sakura"] = snapshot;
        fake.windows = {5, 7, 9, 11, 22, 42, 77, 99, 1234, 4321, 5678, -2147483648};
        EXPECT_EQ(FindHostHwnd(fake).window, target) << target;
    }
}

// vek.ini names the target while it names a window; else the host that runs now, enbryo before
// Sakura, is looked up: a memory with no live window in it (its host crashed and left it) passes
// to the next name, and one that may not be read matters only to a request with nowhere to go.
TEST(RunTest, TheTargetIsAWindowThatExistsNowFromVekIniElseFromTheHostsMemory) {
    const char16_t* kHigher = u"failed: System error: the host that published 'enbryo' runs with higher "
                              u"rights than vek.exe (as administrator?): its shared memory cannot be read";
    // vek.ini, the hwnd entry of enbryo's memory and of Sakura's (nullptr: none; "refused": may not
    // be read), the command, what it did.
    const std::tuple<const char*, const char*, const char*, const char16_t*, const char16_t*> cases[] = {
        {"77", "1001", "2002", u"SEND", u"send 77 S|Script: "},
        {"abc", "1001", "2002", u"DROP#a.txt", u"drop 1001 C:\\work\\a.txt"},
        {"555", "1001", "2002", u"OnX#1", u"send 1001 N|Event: OnX|Reference0: 1"},  // stale
        {"555", "556", "2002", u"SEND", u"send 2002 S|Script: "},  // both stale
        {"555", "556", nullptr, u"FILE#a.txt/1", u"balloon Object Platform is not ready!!\\nN|Event: OnFileRead"
                                                 u"|Reference0: a.txt|Reference1: 1|Reference2: 1024|Reference3: two\\n"
                                                 u"|Reference4: 2"},
        {"555", "", "2002", u"DROP#a.txt", u"drop 2002 C:\\work\\a.txt"},  // no hwnd entry
        {"555", nullptr, nullptr, u"DROP#a.txt", u""},
        {"-1", "1001", nullptr, u"OnX", u"show N|Event: OnX"},
        {nullptr, "refused", "2002", u"OnX", u"send 2002 N|Event: OnX"},
        {"555", "refused", nullptr, u"OnX", kHigher}, {nullptr, "refused", "556", u"FILE#a.txt", kHigher},
        {nullptr, "refused", nullptr, u"/?", u"balloon usage"}, {nullptr, "refused", nullptr, u"TestPoint", u"test window"},
        {nullptr, "refused", nullptr, u"INIT#5", u"vek.ini 5\r\n"}, {nullptr, "refused", nullptr, u"DROP#a.txt", u""},
    };
    for (const auto& [ini, enbryo, sakura, command, did] : cases) {
        FakePlatform fake;
        fake.windows = {1, 77, 1001, 2002};  // 1 too: no vek.ini names no window
        if (ini) fake.AddFile(u"vek.ini", ini);
        fake.AddFile(u"a.txt", "one\r\ntwo");
        for (const auto& [name, value] : {std::pair("enbryo", enbryo), std::pair("Sakura", sakura)}) {
            if (value && value == std::string_view("refused")) fake.refusedHostMemory.insert(name);
            else if (value) fake.hostMemory[name] = Snapshot(std::string("x.hwnd^") + value + "\r\n");
        }
        EXPECT_EQ(Did(fake, command), did) << (ini ? ini : "-") << " " << Utf8(command);
    }
}

TEST(RunTest, ProgramNameIsSkippedAsWindowsSplitsIt) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"vek.exe SEND#hi", u"SEND#hi"}, {u"\"C:\\Program Files\\vek.exe\" SEND#hi there ", u"SEND#hi there "},
        {u"\"C:\\a b\\vek.exe\"SEND", u"SEND"}, {u"vek.exe \t  \"SEND#hi\"", u"\"SEND#hi\""},
        {u"vek.exe\tOnBoot", u"OnBoot"}, {u"vek.exe", u""}, {u"\"vek.exe", u""}, {u"", u""},
        {u"C:\\dir\"x\"\\vek.exe a", u"a"}};
    for (const auto& [line, args] : cases) EXPECT_EQ(ArgumentText(line), args) << Utf8(line);
}

}  // namespace
}  // namespace vek
