// One run from the command line to what it did, what a script is told, and the exit code.

#include <optional>
#include <ostream>

#include "TestSupport.h"
#include "app/F_ZERO.h"
#include "app/Report.h"
#include "app/UsageText.h"
#include "delivery/Target.h"

namespace vek {
namespace {

constexpr Hwnd kHost = 77;  // the host window vek.ini names, unless a test says otherwise
const std::vector<std::u16string> kDroppedA = {u"C:\\work\\a.txt"};

// What a run did; the requests are decoded by their Charset line; vek.ini only if it changed.
struct Result {
    std::vector<std::u16string> sent, shown, dropped;
    Hwnd to = 0;
    std::u16string balloon;
    bool testWindow = false;
    std::optional<std::string> ini;
    std::u16string report, standardError;
    int exitCode = 0;
    friend bool operator==(const Result&, const Result&) = default;
};

void PrintTo(const Result& r, std::ostream* out) {
    for (const auto& texts : {r.sent, r.shown, r.dropped})
        for (const auto& text : texts) *out << "\n  '" << Utf8(text) << "'";
    *out << "\n  to " << r.to << ", balloon '" << Utf8(r.balloon) << "', test window "
         << r.testWindow << ", vek.ini '" << r.ini.value_or("(unchanged)") << "', report '"
         << Utf8(r.report) << "', standard error '" << Utf8(r.standardError) << "', exit code "
         << r.exitCode;
}

// Runs a command line on a copy of fake. A failure is reported as the program reports it.
Result RunCommandLine(FakePlatform fake, std::u16string_view commandLine) {
    fake.commandLine = commandLine;
    const std::optional<std::string> before = fake.FileBytes(u"vek.ini");
    Result run;
    F_ZERO form{fake};
    try {
        const Outcome outcome = form.Form_Load();
        if (outcome == Outcome::ShowBalloon) {
            run.balloon = form.BlnText;
            while (form.TmBln_Timer() == Outcome::KeepRunning) {  // played to its end
            }
        }
        run.testWindow = outcome == Outcome::ShowTestWindow;
        run.exitCode = form.ExitCode();
    } catch (...) {
        run.exitCode = ReportFailure(fake, std::current_exception(), form.HandedOver());
        run.report =
            fake.onlooker == Onlooker::User ? fake.failureMessages.at(0) : fake.eventLog.at(0);
    }
    run.standardError = fake.errorOutput;
    for (const auto& [target, marker, bytes] : fake.sent) {
        EXPECT_EQ(marker, 9801u);
        const bool utf8 = bytes.ends_with("\r\nCharset: UTF-8");
        run.sent.push_back(fake.Decode(utf8 ? CodePage::Utf8 : CodePage::ShiftJis, bytes));
        run.to = target;
    }
    run.shown = fake.messages;
    for (const auto& [target, block] : fake.drops) {  // the block itself: EncodingTest
        const auto list = std::find(block.begin() + 20, block.end(), 0);
        run.dropped.push_back(fake.Decode(CodePage::Ansi, std::string(block.begin() + 20, list)));
        run.to = target;
    }
    if (const auto after = fake.FileBytes(u"vek.ini"); after != before) run.ini = after;
    return run;
}

Result RunCommand(const FakePlatform& fake, std::u16string_view command) {
    return RunCommandLine(fake, u"vek.exe " + std::u16string(command));
}

// A SEND request as the host receives it: these lines between the opening and closing lines.
std::u16string Send(std::u16string_view lines, std::u16string_view charset = u"Shift_JIS") {
    return u"SEND SSTP/1.0\r\nSender: VEK\r\n" + std::u16string(lines) +
           u"\r\nHWnd: 1234\r\nCharset: " + std::u16string(charset);
}

const std::string kKeyEnd = "\x01";  // in the host's memory

std::string Entry(std::string_view key, std::string_view value) {
    return std::string(key) + kKeyEnd + std::string(value) + "\r\n";
}

// The host's memory: a 4-byte header, then text at byte offset at.
HostSnapshot Snapshot(std::string text, std::size_t at = 4, std::string_view header = "\x10") {
    HostSnapshot snapshot{};
    std::copy(header.begin(), header.end(), snapshot.begin());
    text.resize(std::min(text.size(), snapshot.size() - at));  // what lies beyond is not seen
    std::copy(text.begin(), text.end(), snapshot.begin() + static_cast<std::ptrdiff_t>(at));
    return snapshot;
}

// A platform whose vek.ini names the host window kHost, with files of three lines.
FakePlatform WithHost(unsigned codePage = 932) {
    FakePlatform fake(codePage);
    fake.windows = {kHost};
    fake.AddFile(u"vek.ini", "77");
    for (const char16_t* name : {u"a.txt", u" b.txt", u"C:\\x.txt"})
        fake.AddFile(name, "one\r\ntwo\r\nthree\r\n");
    return fake;
}

const std::u16string kNotReady = u"Object Platform is not ready!!\\n";
const std::u16string kUsage(kUsageText);

TEST(RunTest, TheCommandTextIsSentAsItsRequestInShiftJisWhateverTheCodePage) {
    // clang-format off
    const std::pair<const char16_t*, const char16_t*> notifications[] = {
        {u"  OnBoot#first#second  ", u"Event: OnBoot\r\nReference0: first\r\nReference1: second"},
        {u"OnX##c", u"Event: OnX\r\nReference0: \r\nReference1: c"},
        {u"OnX # a ", u"Event: OnX \r\nReference0: a"},
        {u"#x#", u"Event: \r\nReference0: x\r\nReference1: "},
        // Only spaces are trimmed; a reference may hold a line break or a tag.
        {u"E#\ta\t#日\r\n#\\w5",
         u"Event: E\r\nReference0: \ta\t\r\nReference1: 日\r\n\r\nReference2: \\w5"},
        // Eight references at most.
        {u"E#0#1#2#3#4#5#6#7#8",
         u"Event: E\r\nReference0: 0\r\nReference1: 1\r\nReference2: 2\r\nReference3: 3\r\n"
         u"Reference4: 4\r\nReference5: 5\r\nReference6: 6\r\nReference7: 7"},
        {u"/? x", u"Event: /? x"}, {u"TestPoin", u"Event: TestPoin"},
        {u"send#x", u"Event: send\r\nReference0: x"},
        {u"\"SEND#hi\"", u"Event: \"SEND\r\nReference0: hi\""},
        {u"FILE#a.txt/1-1", u"Event: OnFileRead\r\nReference0: a.txt\r\nReference1: 1\r\n"
                            u"Reference2: 1\r\nReference3: two\\n\r\nReference4: 3"},
    };
    const std::pair<const char16_t*, const char16_t*> scripts[] = {
        {u"SEND", u"Script: "}, {u"SEND#  x y  ", u"Script: x y"}, {u"SENDER#x", u"Script: R#x"}};
    // clang-format on
    for (const unsigned codePage : {932, 1252}) {
        for (const auto& [command, lines] : notifications)
            EXPECT_EQ(RunCommand(WithHost(codePage), command),
                      (Result{.sent = {Notification(lines)}, .to = kHost}));
        for (const auto& [command, lines] : scripts)
            EXPECT_EQ(RunCommand(WithHost(codePage), command),
                      (Result{.sent = {Send(lines)}, .to = kHost}));
    }
}

TEST(RunTest, UsageTestPointInitAndDropSendNoRequest) {
    // clang-format off
    const std::pair<const char16_t*, Result> cases[] = {
        {u"/?", {.balloon = kUsage}}, {u"TestPoint", {.testWindow = true}},
        {u"TestPointer", {.testWindow = true}}, {u"INIT#1234", {.ini = "1234\r\n"}},
        {u"INIT 0", {}}, {u"INIT 00", {.ini = "00\r\n"}}, {u"INIT", {.ini = "\r\n"}},
        {u"INIT# 5 ", {.ini = " 5\r\n"}}, {u"INIT#４２日", {.ini = ShiftJis(u"４２日\r\n")}},
        {u"  DROP#a.txt  ", {.dropped = kDroppedA, .to = kHost}},
        {u"DROPxa.txt", {.dropped = kDroppedA, .to = kHost}},
        {u"DROP# b.txt", {.dropped = {u"C:\\work\\ b.txt"}, .to = kHost}},
        {u"DROP#missing.txt", {}}, {u"DROP", {}},
        {u"DROP#C:\\x.txt", {}}};  // "C:\work\C:\x.txt" names no file
    // clang-format on
    for (const auto& [command, result] : cases) EXPECT_EQ(RunCommand(WithHost(), command), result);
}

// The program's name is split off as Windows splits it, not as the runtime's lpCmdLine is.
TEST(RunTest, TheCommandFollowsTheProgramsNameAsWindowsSplitsIt) {
    for (const char16_t* line : {u"vek.exe SEND#hi", u"\"C:\\Program Files\\vek.exe\" SEND#hi ",
                                 u"\"C:\\a b\\vek.exe\"SEND#hi", u"vek.exe \t  SEND#hi",
                                 u"vek.exe\tSEND#hi", u"C:\\dir\"x\"\\vek.exe SEND#hi"})
        EXPECT_EQ(RunCommandLine(WithHost(), line).sent, std::vector{Send(u"Script: hi")})
            << Utf8(line);
    for (const char16_t* line : {u"vek.exe", u"\"vek.exe", u""})
        EXPECT_EQ(RunCommandLine(WithHost(), line).balloon, kUsage) << Utf8(line);
}

// vek.ini's window while it is one, else enbryo's, else Sakura's; a memory that may not be read
// matters only to a request with nowhere to go. INIT, /? and TestPoint read no target.
TEST(RunTest, TheTargetIsAWindowThatExistsNowFromVekIniElseFromTheHostsMemory) {
    const std::u16string refused =
        u"System error: the host that published 'enbryo' runs with higher rights than vek.exe "
        u"(as administrator?): its shared memory cannot be read";
    const std::u16string overflow =
        u"The target window handle in vek.ini: Overflow: '99999999999' is outside the signed "
        u"32-bit range";
    const Result event = {.sent = {Notification(u"Event: OnX")}};
    static constexpr char kUnreadable[] = "(memory vek.exe may not read)";
    struct Target {
        const char *ini, *enbryo, *sakura;  // vek.ini, the memories' hwnd entries; nullptr: none
        const char16_t* command;
        Result result;
    };
    // clang-format off
    const Target cases[] = {
        {"77", "1001", "2002", u"SEND#😀", {.sent = {Send(u"Script: 😀", u"UTF-8")}, .to = 77}},
        {"abc", "1001", "2002", u"DROP#a.txt", {.dropped = kDroppedA, .to = 1001}},
        {"555", "1001", "2002", u"OnX", {.sent = event.sent, .to = 1001}},
        {"555", "556", "2002", u"OnX", {.sent = event.sent, .to = 2002}},
        {"65535", nullptr, nullptr, u"OnX", {.balloon = kNotReady + event.sent[0], .exitCode = 1}},
        {nullptr, nullptr, nullptr, u"OnX", {.balloon = kNotReady + event.sent[0], .exitCode = 1}},
        {"-1", nullptr, nullptr, u"SEND#😀", {.shown = {Send(u"Script: 😀", u"UTF-8")}}},
        {"-1", nullptr, nullptr, u"DROP#a.txt", {}},
        {nullptr, kUnreadable, "2002", u"OnX", {.sent = event.sent, .to = 2002}},
        {"555", kUnreadable, nullptr, u"OnX", {.report = refused, .exitCode = 1}},
        {nullptr, kUnreadable, "556", u"FILE#a.txt", {.report = refused, .exitCode = 1}},
        {nullptr, kUnreadable, nullptr, u"DROP#a.txt", {}},
        {"99999999999", "1001", nullptr, u"OnX", {.report = overflow, .exitCode = 1}},
        {"99999999999", kUnreadable, nullptr, u"INIT#5", {.ini = "5\r\n"}},
        {"99999999999", kUnreadable, nullptr, u"/?", {.balloon = kUsage}},
        {"99999999999", kUnreadable, nullptr, u"TestPoint", {.testWindow = true}}};
    // clang-format on
    for (const Target& c : cases) {
        FakePlatform fake;
        fake.windows = {1, 77, 1001, 2002, 65535};  // 1: no vek.ini names none; 65535 is no target
        if (c.ini) fake.AddFile(u"vek.ini", c.ini);
        fake.AddFile(u"a.txt", "one\r\ntwo");
        for (const auto& [name, value] : {std::pair("enbryo", c.enbryo), {"Sakura", c.sakura}}) {
            if (value == kUnreadable) {
                fake.refusedHostMemory.insert(name);
            } else if (value) {
                fake.hostMemory[name] = Snapshot(Entry("x.hwnd", value));
            }
        }
        EXPECT_EQ(RunCommand(fake, c.command), c.result)
            << (c.ini ? c.ini : "-") << Utf8(c.command);
    }
}

// Exit code 1 where the request or drop certainly did not reach the host, nor will; 2 where it may.
TEST(RunTest, WhatBecameOfTheDeliveryIsReportedWithWhetherSendingAgainIsSafe) {
    const std::u16string host = u"System error: the host window 77 ",
                         twice = u": sending it again may deliver it twice";
    const std::u16string request = u"the request (94 bytes)", drop = u"the file drop";
    const std::u16string mayStill =
        u" may have reached it, or may still reach it if the host responds" + twice;
    const std::u16string outOfMemory =
        u"Out of memory once the request had gone to the host: it may have reached it" + twice;
    struct Reported {
        Delivery delivery;
        std::u16string report;
        int exitCode;
        bool outOfMemory = false;  // once it went out
    };
    // clang-format off
    const Reported requests[] = {
        {{Handed::HigherRights},
         host + u"runs with higher rights than vek.exe (as administrator?): " + request +
             u" was not taken", 1},
        {{Handed::GoneBefore}, host + u"closed before it took " + request, 1},
        {{Handed::ClosedWhileHandling}, host + u"closed while it handled " + request + twice, 2},
        {{Handed::HungBefore}, host + u"is not responding: " + request + u" was not sent", 1},
        {{Handed::HungWhileHandling}, host + u"is not responding: " + request + mayStill, 2},
        {{Handed::Failed, 1816}, u"System error: " + request + u" was not taken by window 77: Not "
                                 u"enough quota is available to process this command (error 1816)",
         1},
        {{Handed::LostTrack, 6}, u"System error: waiting for the host window 77 failed: The handle "
                                 u"is invalid (error 6): " + request + u" may have reached it" +
                                 twice, 2},
        {{}, outOfMemory, 2, true}};
    // The same words name the drop; a drop may still be taken when its host responds again.
    const Reported drops[] = {
        {{Handed::GoneBefore}, host + u"closed before it took " + drop, 1},
        {{Handed::HungWhileHandling}, host + u"is not responding: " + drop + mayStill, 2},
        {{Handed::Failed}, u"System error: " + drop + u" was not taken by window 77", 1},
        {{}, outOfMemory, 2, true}};
    // clang-format on
    for (const auto& [command, table] :
         {std::pair(u"OnX", std::span<const Reported>(requests)), {u"DROP#a.txt", drops}}) {
        for (const Reported& c : table) {
            FakePlatform fake = WithHost();
            fake.delivery = c.delivery;
            fake.failAfterHandOver = c.outOfMemory;
            const Result run = RunCommand(fake, command);
            EXPECT_EQ(std::pair(run.report, run.exitCode), std::pair(c.report, c.exitCode));
        }
    }
}

// A report reaches somebody and waits for nobody.
TEST(RunTest, AFailureIsReportedOnStandardErrorInABoxOrInTheEventLog) {
    struct Routing {
        ErrorStream stream;
        Onlooker onlooker;
        bool writeFails, onStandardError, inABox, inTheEventLog;
    };
    using enum ErrorStream;
    using enum Onlooker;
    // clang-format off
    const Routing cases[] = {
        {.stream = None, .onlooker = User, .inABox = true},
        {.stream = Console, .onlooker = User, .onStandardError = true, .inABox = true},
        {.stream = Captured, .onlooker = User, .onStandardError = true},
        {.stream = Captured, .onlooker = User, .writeFails = true, .inABox = true},  // reader gone
        {.stream = None, .onlooker = Nobody, .inTheEventLog = true},
        {.stream = Console, .onlooker = Nobody, .onStandardError = true},
        {.stream = Captured, .onlooker = Nobody, .writeFails = true, .inTheEventLog = true},
        {.stream = None, .onlooker = NobodyNow, .inTheEventLog = true},
        {.stream = Console, .onlooker = NobodyNow, .onStandardError = true}};
    // clang-format on
    for (const Routing& c : cases) {
        FakePlatform fake;
        fake.errorStream = c.stream;
        fake.onlooker = c.onlooker;
        fake.errorWriteFails = c.writeFails;
        const auto failure = std::make_exception_ptr(RuntimeFailure(FailureKind::FileError, u"x"));
        EXPECT_EQ(ReportFailure(fake, failure), 1);
        EXPECT_EQ(fake.errorOutput, c.onStandardError ? u"VEK: File error: x\r\n" : u"");
        EXPECT_EQ(fake.failureMessages.size(), c.inABox);
        EXPECT_EQ(fake.eventLog.size(), c.inTheEventLog);
    }
    // Other exceptions, and a fault of the program itself, with its own exit code.
    const std::u16string internal =
        u"internal error: vek.exe stopped on a fault of its own; "
        u"whether the request reached the host is not known";
    FakePlatform fake;
    fake.errorStream = Captured;
    for (const auto& failure :
         {std::make_exception_ptr(std::bad_alloc()),
          std::make_exception_ptr(std::runtime_error("überall")), std::make_exception_ptr(42)})
        EXPECT_EQ(ReportFailure(fake, failure), 1);
    EXPECT_EQ(ReportInternalError(fake), 3);
    EXPECT_EQ(fake.errorOutput,
              u"VEK: Out of memory\r\nVEK: Unexpected failure: überall\r\n"
              u"VEK: Unexpected failure\r\nVEK: " +
                  internal + u"\r\n");
    fake.errorStream = None;
    ReportInternalError(fake);
    EXPECT_EQ(fake.failureMessages, std::vector{internal});
}

// Where nobody can click, nothing waits to be closed: the run fails, quoting the request (up to its
// 1000th unit, never inside a character or a tag); a balloon closes by itself and still plays.
TEST(RunTest, WhereNobodyCanAnswerAWindowNothingWaitsForAnAnswer) {
    const std::u16string nobody =
        u" cannot be shown: this program runs where no window can be seen "
        u"(as a service, or as a task that runs whether the user is "
        u"logged on or not)";
    const std::u16string nobodyNow =
        u" cannot be shown: nobody can answer a window now (the "
        u"session is locked or disconnected)";
    // 36 units of the request go before the script: the 1000th is the first of a pair or a tag.
    const std::u16string script = std::u16string(963, u'x') + u"😀";
    const std::u16string quoted =
        Send(u"Script: " + script, u"UTF-8").substr(0, 999) + u"... (1028 characters in all)";
    const std::u16string tagScript = std::u16string(963, u'x') + u"\\w9" + std::u16string(40, u'y');
    const std::u16string tagQuoted =
        Send(u"Script: " + tagScript).substr(0, 999) + u"... (1074 characters in all)";
    const std::u16string whole(1000 - Send(u"Script: ").size(), u'x');  // a request of 1000
    const std::u16string minusOne = u"the request (target -1 shows it instead of sending it)";
    const std::u16string notReady = u"\"Object Platform is not ready!!\" (no host window is known)";
    using enum Onlooker;
    struct Shown {
        Onlooker onlooker;
        const char* ini;
        std::u16string command;
        Result result;
    };
    // clang-format off
    const Shown cases[] = {
        {Nobody, "77", u"/?", {.report = u"System error: the usage text" + nobody, .exitCode = 1}},
        {NobodyNow, "77", u"/?", {.balloon = kUsage}},
        {NobodyNow, "77", u"TestPoint",
         {.report = u"System error: the test window" + nobodyNow, .exitCode = 1}},
        {Nobody, "-1", u"SEND#" + script,
         {.report = u"System error: " + minusOne + nobody + u": " + quoted, .exitCode = 1}},
        {NobodyNow, "-1", u"SEND#" + whole,
         {.report = u"System error: " + minusOne + nobodyNow + u": " + Send(u"Script: " + whole),
          .exitCode = 1}},
        {Nobody, "0", u"OnX", {.report = u"System error: " + notReady + nobody + u": " +
                                          Notification(u"Event: OnX"), .exitCode = 1}},
        {NobodyNow, "0", u"SEND#" + tagScript,
         {.balloon = kNotReady + tagQuoted,
          .standardError = u"VEK: the request was not sent: no host window is known: " +
                           tagQuoted + u"\r\n", .exitCode = 1}},
        {Nobody, "77", u"OnX", {.sent = {Notification(u"Event: OnX")}, .to = kHost}}};
    // clang-format on
    for (const Shown& c : cases) {
        FakePlatform fake = WithHost();
        fake.onlooker = c.onlooker;
        if (!c.result.standardError.empty()) fake.errorStream = ErrorStream::Captured;
        fake.AddFile(u"vek.ini", c.ini);
        EXPECT_EQ(RunCommand(fake, c.command), c.result) << Utf8(c.command);
    }
}

TEST(RunTest, TheTargetIsTheFirstFieldOfVekIni) {
    // clang-format off
    const std::pair<std::string, Hwnd> cases[] = {
        {"1234\r\n", 1234}, {" 1 2 \r\n999", 12}, {"", 0}, {"\r\n5", 0}, {"\t9\n8", 9},
        {"\"4,2\",3", 4}, {" \t\"42", 42}, {"\xEF\xBB\xBF" "4321\r\n", 4321},  // a UTF-8 mark
        // UTF-16 by its mark; U+8035 ends the number in either byte order.
        {std::string("\xFF\xFE" "4\0" "\x35\x80", 6), 4},
        {std::string("\xFE\xFF\0" "4\x80\x35", 6), 4}};
    // clang-format on
    FakePlatform fake;
    fake.readBlockLimit = 3;
    for (const auto& [bytes, target] : cases) {
        fake.AddFile(u"vek.ini", bytes);
        EXPECT_EQ(ReadTargetFile(fake), target) << testing::PrintToString(bytes);
    }
}

TEST(RunTest, AVekIniThatCannotBeReadOrWrittenIsReported) {
    FakePlatform fake = WithHost();
    fake.AddFile(u"vek.ini", "77").locked = true;
    EXPECT_TRUE(
        RunCommand(fake, u"OnX").report.starts_with(u"File error: Could not open 'vek.ini'"));
    fake.outOfMemoryOnOpen = true;  // before anything went out: nothing can arrive
    const Result outOfMemory = RunCommand(fake, u"OnX");
    EXPECT_EQ(std::pair(outOfMemory.report, outOfMemory.exitCode),
              std::pair(std::u16string(u"Out of memory"), 1));
    fake.outOfMemoryOnOpen = false;
    fake.failWrites = true;
    EXPECT_EQ(
        RunCommand(fake, u"INIT#9").report,
        u"File error: Could not write 'vek.ini': There is not enough space on the disk (error "
        u"112)");
    // In a drive's root the path keeps both backslashes.
    FakePlatform root;
    root.currentDirectory = u"C:\\";
    root.AddFile(u"vek.ini", "77");
    root.AddFile(u"C:\\a.txt");
    EXPECT_EQ(RunCommand(root, u"DROP#a.txt").dropped, std::vector<std::u16string>{u"C:\\\\a.txt"});
}

TEST(RunTest, TheHostWindowIsTheFirstHwndEntryOfTheHostsMemory) {
    // ド is 0x83 0x68 in Shift_JIS: code page 1252 reads "ドwnd" as "ƒhwnd" (see below).
    const std::string hidden = Entry(ShiftJis(u"ドwnd"), "99") + Entry("x.hwnd", "42");
    // clang-format off
    const std::pair<HostSnapshot, Hwnd> cases[] = {
        {Snapshot(Entry("name", "host") + Entry("abc.hwnd", "1234")), 1234},
        {Snapshot(Entry("a.hwnd", "11") + Entry("b.hwnd", "22")), 11},
        {Snapshot(Entry("hwnd", "77")), 77}, {Snapshot(Entry("x.hwnd", "42abc")), 42},
        {Snapshot(Entry("x.hwnd", "9\rtrailing")), 9}, {Snapshot(Entry("x.HWND", "5")), 0},
        {Snapshot(Entry("x.hwnd", "99999999999")), 0}, {Snapshot("x.hwnd" + kKeyEnd + "1234\n"), 0},
        {Snapshot("99\r\n"), 0}, {Snapshot("x.hwnd=5\r\n"), 0},
        {Snapshot(Entry(ShiftJis(u"名前"), ShiftJis(u"さくら")) + Entry("x.hwnd", "5")), 5},
        {Snapshot(hidden), 42},
        // The header is skipped as bytes, never read as text.
        {Snapshot(Entry("hwnd", "7"), 4, std::string_view("\0\0\0\x83", 4)), 7},
        // Only the snapshot, the first 1024 bytes, is seen: up to the entry's CR, then to its value.
        {Snapshot(Entry("x.hwnd", "4321"), 1024 - 12), 4321},
        {Snapshot(Entry("x.hwnd", "4321"), 1024 - 11), 0}};
    // clang-format on
    FakePlatform fake;
    fake.windows = {1, 5, 7, 9, 11, 22, 42, 77, 99, 1234, 4321};
    for (const auto& [snapshot, target] : cases) {
        fake.hostMemory["Sakura"] = snapshot;
        EXPECT_EQ(FindHostHwnd(fake).window, target) << target;
    }
    FakePlatform western(1252);
    western.windows = fake.windows;
    western.hostMemory["Sakura"] = Snapshot(hidden);
    EXPECT_EQ(FindHostHwnd(western).window, 99);
}

}  // namespace
}  // namespace vek
