// One run from the command line to what it did: the dispatch, the requests, INIT, DROP, where
// the request goes, what a script is told, and the exit code.

#include <optional>
#include <ostream>

#include "TestSupport.h"
#include "app/F_ZERO.h"
#include "app/Report.h"
#include "app/UsageText.h"
#include "delivery/Target.h"

namespace vek {
namespace {

// The host window vek.ini names in these tests, unless a test says otherwise.
constexpr Hwnd kHost = 77;

// What a run did: each request the host received (decoded by its Charset line), each request
// shown in a box instead, each path dropped, the window they went to, what the balloon plays,
// whether the test window opened, what vek.ini holds when the run changed it, the failure's
// report, and the exit code.
struct Result {
    std::vector<std::u16string> sent;
    std::vector<std::u16string> shown;
    std::vector<std::u16string> dropped;
    Hwnd to = 0;
    std::u16string balloon;
    bool testWindow = false;
    std::optional<std::string> ini;
    std::u16string report;
    int exitCode = 0;
    friend bool operator==(const Result&, const Result&) = default;
};

void PrintTo(const Result& run, std::ostream* out) {
    const auto list = [&](const char* name, const std::vector<std::u16string>& texts) {
        for (const auto& text : texts) *out << "\n  " << name << " " << Utf8(text);
    };
    list("sent", run.sent);
    list("shown", run.shown);
    list("dropped", run.dropped);
    *out << "\n  to " << run.to << ", balloon '" << Utf8(run.balloon) << "', test window "
         << run.testWindow << ", vek.ini " << (run.ini ? "'" + *run.ini + "'" : "unchanged")
         << ", report '" << Utf8(run.report) << "', exit code " << run.exitCode;
}

// Runs the command, with fake as it is set up: a copy, so that a test can run several commands
// on one set-up. A failure is reported as the program reports it, into a box.
Result RunCommand(FakePlatform fake, std::u16string_view commandLine) {
    fake.commandLine = commandLine;
    const std::string* ini = fake.FileBytes(u"vek.ini");
    const std::optional<std::string> before = ini ? std::optional(*ini) : std::nullopt;
    Result run;
    F_ZERO form{fake};
    try {
        const Outcome outcome = form.Form_Load();
        if (outcome == Outcome::ShowBalloon) run.balloon = form.BlnText;
        run.testWindow = outcome == Outcome::ShowTestWindow;
        run.exitCode = form.ExitCode();
    } catch (...) {
        run.exitCode = ReportFailure(fake, std::current_exception());
        run.report = fake.canShowWindows ? fake.failureMessages.at(0) : fake.eventLog.at(0);
    }
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
    if (ini = fake.FileBytes(u"vek.ini"); ini && (!before || *ini != *before)) run.ini = *ini;
    return run;
}

Result RunCommand(const FakePlatform& fake, const char16_t* command) {
    return RunCommand(fake, u"vek.exe " + std::u16string(command));
}

// The request texts as the host receives them: a notification or a SEND with these lines
// between their opening lines and their closing lines.
std::u16string Notification(std::u16string_view lines, std::u16string_view charset = u"Shift_JIS") {
    return u"NOTIFY SSTP/1.0\r\nSender: VEK\r\n" + std::u16string(lines) +
           u"\r\nHWnd: 1234\r\nSecurityLevel: local\r\nCharset: " + std::u16string(charset);
}
std::u16string Send(std::u16string_view lines, std::u16string_view charset = u"Shift_JIS") {
    return u"SEND SSTP/1.0\r\nSender: VEK\r\n" + std::u16string(lines) +
           u"\r\nHWnd: 1234\r\nCharset: " + std::u16string(charset);
}

// The host's memory: a 4-byte header, then text at byte offset at ('^' for the U+0001 after a
// key).
HostSnapshot Snapshot(std::string text, std::size_t at = 4, std::string_view header = "\x10") {
    std::replace(text.begin(), text.end(), '^', '\x01');
    HostSnapshot snapshot{};
    std::copy(header.begin(), header.end(), snapshot.begin());
    text.resize(std::min(text.size(), snapshot.size() - at));  // what lies beyond is not seen
    std::copy(text.begin(), text.end(), snapshot.begin() + static_cast<std::ptrdiff_t>(at));
    return snapshot;
}

const std::u16string kNotReady = u"Object Platform is not ready!!\\n";

// A platform whose vek.ini names the host window kHost, with three files of three lines.
FakePlatform WithHost(unsigned codePage = 932) {
    FakePlatform fake(codePage);
    fake.windows = {kHost};
    fake.AddFile(u"vek.ini", "77");
    for (const char16_t* name : {u"a.txt", u" b.txt", u"C:\\work\\C:\\x.txt", u"日本語の名前.txt"})
        fake.AddFile(name, "one\r\ntwo\r\nthree\r\n");
    return fake;
}

struct Case {
    const char16_t* command;
    Result result;
};

TEST(RunTest, TheCommandTextPicksTheRequest) {
    // clang-format off
    const Case cases[] = {
        {u"  OnBoot#first#second  ", {.sent = {Notification(u"Event: OnBoot\r\nReference0: first\r\n"
                                                            u"Reference1: second")}}},
        {u"On X ", {.sent = {Notification(u"Event: On X")}}},
        {u"OnX##c", {.sent = {Notification(u"Event: OnX\r\nReference0: \r\nReference1: c")}}},
        {u"OnX # a ", {.sent = {Notification(u"Event: OnX \r\nReference0: a")}}},
        {u"#x#", {.sent = {Notification(u"Event: \r\nReference0: x\r\nReference1: ")}}},
        // Only spaces are trimmed; a reference may hold a line break or a tag.
        {u"E#\ta\t#日\r\n#\\w5", {.sent = {Notification(u"Event: E\r\nReference0: \ta\t\r\n"
                                                         u"Reference1: 日\r\n\r\nReference2: \\w5")}}},
        // Eight references at most.
        {u"E#0#1#2#3#4#5#6#7#8", {.sent = {Notification(
            u"Event: E\r\nReference0: 0\r\nReference1: 1\r\nReference2: 2\r\nReference3: 3\r\n"
            u"Reference4: 4\r\nReference5: 5\r\nReference6: 6\r\nReference7: 7")}}},
        {u"/? x", {.sent = {Notification(u"Event: /? x")}}},
        {u"send#x", {.sent = {Notification(u"Event: send\r\nReference0: x")}}},
        {u"\"SEND#hi\"", {.sent = {Notification(u"Event: \"SEND\r\nReference0: hi\"")}}},
        {u"TestPoin", {.sent = {Notification(u"Event: TestPoin")}}},
        {u"SEND#\\h\\s0hi\\e", {.sent = {Send(u"Script: \\h\\s0hi\\e")}}},
        {u"SEND", {.sent = {Send(u"Script: ")}}},
        {u"SEND#  x y  ", {.sent = {Send(u"Script: x y")}}},
        {u"SENDER#x", {.sent = {Send(u"Script: R#x")}}},
        {u"FILE#a.txt/1-1", {.sent = {Notification(u"Event: OnFileRead\r\nReference0: a.txt\r\n"
            u"Reference1: 1\r\nReference2: 1\r\nReference3: two\\n\r\nReference4: 3")}}},
        // Shift_JIS where it holds the request; anything else in UTF-8.
        {u"SEND#こん", {.sent = {Send(u"Script: こん")}}},
        {u"OnX#é", {.sent = {Notification(u"Event: OnX\r\nReference0: é", u"UTF-8")}}},
    };
    // clang-format on
    // In Shift_JIS whatever the system's code page.
    for (const Case& c : cases) {
        Result expected = c.result;
        expected.to = kHost;
        for (const unsigned codePage : {932, 1252})
            EXPECT_EQ(RunCommand(WithHost(codePage), c.command), expected) << Utf8(c.command);
    }
}

TEST(RunTest, UsageTestPointInitAndDropDeliverNoRequest) {
    // clang-format off
    const Case cases[] = {
        {u"", {.balloon = std::u16string(kUsageText)}},
        {u"/?", {.balloon = std::u16string(kUsageText)}},
        {u"TestPoint", {.testWindow = true}},
        {u"TestPointer", {.testWindow = true}},
        {u"INIT#1234", {.ini = "1234\r\n"}},
        {u"INIT 0", {}},
        {u"INIT 00", {.ini = "00\r\n"}},
        {u"INIT", {.ini = "\r\n"}},
        {u"INIT# 5 ", {.ini = " 5\r\n"}},
        {u"INIT#４２日", {.ini = "\x82\x53\x82\x51\x93\xfa\r\n"}},
        {u"  DROP#a.txt  ", {.dropped = {u"C:\\work\\a.txt"}, .to = kHost}},
        {u"DROP# b.txt", {.dropped = {u"C:\\work\\ b.txt"}, .to = kHost}},
        {u"DROPxa.txt", {.dropped = {u"C:\\work\\a.txt"}, .to = kHost}},
        {u"DROP#C:\\x.txt", {.dropped = {u"C:\\work\\C:\\x.txt"}, .to = kHost}},
        {u"DROP#日本語の名前.txt", {.dropped = {u"C:\\work\\日本語の名前.txt"}, .to = kHost}},
        {u"DROP#missing.txt", {}},
        {u"DROP", {}},
    };
    // clang-format on
    for (const Case& c : cases) EXPECT_EQ(RunCommand(WithHost(), c.command), c.result) << Utf8(c.command);
}

// The program's name is split off as Windows splits it, not as the runtime's lpCmdLine is.
TEST(RunTest, TheCommandFollowsTheProgramsNameAsWindowsSplitsIt) {
    const Result hi = {.sent = {Send(u"Script: hi")}, .to = kHost};
    for (const char16_t* line :
         {u"vek.exe SEND#hi", u"\"C:\\Program Files\\vek.exe\" SEND#hi ", u"\"C:\\a b\\vek.exe\"SEND#hi",
          u"vek.exe \t  SEND#hi", u"vek.exe\tSEND#hi", u"C:\\dir\"x\"\\vek.exe SEND#hi"}) {
        EXPECT_EQ(RunCommand(WithHost(), std::u16string_view(line)), hi) << Utf8(line);
    }
    const Result usage = {.balloon = std::u16string(kUsageText)};
    for (const char16_t* line : {u"vek.exe", u"\"vek.exe", u""})
        EXPECT_EQ(RunCommand(WithHost(), std::u16string_view(line)), usage) << Utf8(line);
}

// vek.ini names the target while it names a window; else the host that runs now, enbryo before
// Sakura, is looked up: a memory with no live window in it (its host crashed and left it) passes
// to the next name, and one that may not be read matters only to a request with nowhere to go.
TEST(RunTest, TheTargetIsAWindowThatExistsNowFromVekIniElseFromTheHostsMemory) {
    const std::u16string higherRights =
        u"System error: the host that published 'enbryo' runs with higher rights than vek.exe "
        u"(as administrator?): its shared memory cannot be read";
    const std::u16string tooLarge =
        u"The target window handle in vek.ini: Overflow: '99999999999' is outside the signed "
        u"32-bit range";
    struct Target {
        const char* ini;     // nullptr: no vek.ini
        const char* enbryo;  // the hwnd entry of its memory; nullptr: none; "refused": unreadable
        const char* sakura;
        const char16_t* command;
        Result result;
    };
    // clang-format off
    const Target cases[] = {
        {"77", "1001", "2002", u"SEND", {.sent = {Send(u"Script: ")}, .to = 77}},
        {"abc", "1001", "2002", u"DROP#a.txt", {.dropped = {u"C:\\work\\a.txt"}, .to = 1001}},
        {"555", "1001", "2002", u"OnX", {.sent = {Notification(u"Event: OnX")}, .to = 1001}},
        {"555", "556", "2002", u"OnX", {.sent = {Notification(u"Event: OnX")}, .to = 2002}},
        {"555", "", "2002", u"DROP#a.txt", {.dropped = {u"C:\\work\\a.txt"}, .to = 2002}},
        {"65535", nullptr, nullptr, u"OnX", {.balloon = kNotReady + Notification(u"Event: OnX"),
                                            .exitCode = 1}},
        {"555", nullptr, nullptr, u"DROP#a.txt", {}},
        {"-1", "1001", nullptr, u"OnX#a", {.shown = {Notification(u"Event: OnX\r\nReference0: a")}}},
        {"-1", nullptr, nullptr, u"SEND#😀", {.shown = {Send(u"Script: 😀", u"UTF-8")}}},
        {"-1", nullptr, nullptr, u"DROP#a.txt", {}},
        {nullptr, nullptr, nullptr, u"SEND#\\w5", {.balloon = kNotReady + Send(u"Script: \\w5"),
                                                  .exitCode = 1}},
        {nullptr, "refused", "2002", u"OnX", {.sent = {Notification(u"Event: OnX")}, .to = 2002}},
        {"555", "refused", nullptr, u"OnX", {.report = higherRights, .exitCode = 1}},
        {nullptr, "refused", "556", u"FILE#a.txt", {.report = higherRights, .exitCode = 1}},
        {nullptr, "refused", nullptr, u"DROP#a.txt", {}},
        {"99999999999", "1001", nullptr, u"OnX", {.report = tooLarge, .exitCode = 1}},
        {"99999999999", "1001", nullptr, u"DROP#a.txt", {.report = tooLarge, .exitCode = 1}},
        // What delivers nothing reads no target: INIT repairs a vek.ini no run can read.
        {"99999999999", "refused", nullptr, u"INIT#5", {.ini = "5\r\n"}},
        {"99999999999", "refused", nullptr, u"/?", {.balloon = std::u16string(kUsageText)}},
        {"99999999999", "refused", nullptr, u"TestPoint", {.testWindow = true}},
    };
    // clang-format on
    for (const Target& c : cases) {
        FakePlatform fake;
        fake.windows = {1, 77, 1001, 2002};  // 1 too: no vek.ini names no window
        if (c.ini) fake.AddFile(u"vek.ini", c.ini);
        fake.AddFile(u"a.txt", "one\r\ntwo");
        for (const auto& [name, value] : {std::pair("enbryo", c.enbryo), {"Sakura", c.sakura}}) {
            if (value && value == std::string_view("refused")) {
                fake.refusedHostMemory.insert(name);
            } else if (value) {
                fake.hostMemory[name] = Snapshot(std::string("x.hwnd^") + value + "\r\n");
            }
        }
        EXPECT_EQ(RunCommand(fake, c.command), c.result) << (c.ini ? c.ini : "no vek.ini") << " "
                                                      << Utf8(c.command);
    }
}

// What became of a request or a drop decides the report and the exit code: 1 where it certainly
// did not reach the host, so that sending it again is safe; 2 where it may have.
TEST(RunTest, WhatBecameOfTheDeliveryIsReportedWithWhetherSendingAgainIsSafe) {
    const std::u16string window = u"System error: the host window 77 ";
    const std::u16string again = u": sending it again may deliver it twice";
    const std::u16string notHandedOver =
        window + u"is not responding: the file drop was not handed over; drop the file again once "
                 u"the host responds";
    struct Row {
        Delivery delivery;
        std::u16string request;  // the report of an event of 94 bytes
        std::u16string drop;     // the report of a drop
        int requestExitCode, dropExitCode;
    };
    // clang-format off
    const Row cases[] = {
        {{Handed::HigherRights},
         window + u"runs with higher rights than vek.exe (as administrator?): the request (94 bytes) "
                  u"was not taken",
         window + u"runs with higher rights than vek.exe (as administrator?): the file drop was not "
                  u"taken", 1, 1},
        {{Handed::GoneBefore}, window + u"closed before it took the request (94 bytes)",
         window + u"closed before it took the file drop", 1, 1},
        {{Handed::ClosedWhileHandling}, window + u"closed while it handled the request (94 bytes)" + again,
         window + u"closed before it took the file drop", 2, 1},
        {{Handed::HungBefore}, window + u"is not responding: the request (94 bytes) was not sent",
         notHandedOver, 1, 1},
        {{Handed::HungWhileHandling},
         window + u"is not responding: the request (94 bytes) may have reached it (a request the host "
                  u"had begun is handled to its end, one it had not begun is dropped as vek.exe ends)" +
             again,
         notHandedOver, 2, 1},
        {{Handed::Failed, u"Not enough quota (error 1816)"},
         u"System error: the request (94 bytes) was not taken by window 77: Not enough quota (error 1816)",
         u"System error: the file drop was not taken by window 77: Not enough quota (error 1816)", 1, 1},
        {{Handed::Failed}, u"System error: the request (94 bytes) was not taken by window 77",
         u"System error: the file drop was not taken by window 77", 1, 1},
        {{Handed::LostTrack, u"Invalid handle (error 6)"},
         u"System error: waiting for the host window 77 failed: Invalid handle (error 6): the request "
         u"(94 bytes) may have reached it" + again,
         u"System error: waiting for the host window 77 failed: Invalid handle (error 6): the file drop "
         u"may have reached it" + again, 2, 2},
    };
    // clang-format on
    for (const Row& c : cases) {
        FakePlatform fake = WithHost();
        fake.delivery = c.delivery;
        const Result request = RunCommand(fake, u"OnX");
        EXPECT_EQ(std::pair(request.report, request.exitCode), std::pair(c.request, c.requestExitCode));
        const Result drop = RunCommand(fake, u"DROP#a.txt");
        EXPECT_EQ(std::pair(drop.report, drop.exitCode), std::pair(c.drop, c.dropExitCode));
    }
}

// A report always reaches somebody and waits for nobody: a program that captures standard error
// has it; else a box shows it where one can be seen, and the event log keeps it where none can.
TEST(RunTest, AFailureIsReportedOnStandardErrorInABoxOrInTheEventLog) {
    const auto fileError = std::make_exception_ptr(RuntimeFailure(FailureKind::FileError, u"x"));
    struct Routing {
        ErrorStream stream;
        bool visible;
        bool writeFails = false;
        std::exception_ptr failure;
        std::u16string written;
        std::vector<std::u16string> boxes, events;
    };
    const std::u16string report = u"File error: x", line = u"VEK: File error: x\r\n";
    const Routing cases[] = {
        {.stream = ErrorStream::None, .visible = true, .failure = fileError, .boxes = {report}},
        {.stream = ErrorStream::Console, .visible = true, .failure = fileError, .written = line,
         .boxes = {report}},
        {.stream = ErrorStream::Captured, .visible = true, .failure = fileError, .written = line},
        // A pipe whose reader has gone.
        {.stream = ErrorStream::Captured, .visible = true, .writeFails = true, .failure = fileError,
         .boxes = {report}},
        {.stream = ErrorStream::None, .visible = false, .failure = fileError, .events = {report}},
        {.stream = ErrorStream::Console, .visible = false, .failure = fileError, .written = line},
        {.stream = ErrorStream::Captured, .visible = false, .writeFails = true, .failure = fileError,
         .events = {report}},
        {.stream = ErrorStream::Captured, .visible = true,
         .failure = std::make_exception_ptr(std::bad_alloc()), .written = u"VEK: Out of memory\r\n"},
        {.stream = ErrorStream::None, .visible = true,
         .failure = std::make_exception_ptr(std::runtime_error("überall")),
         .boxes = {u"Unexpected failure: überall"}},
        {.stream = ErrorStream::None, .visible = false, .failure = std::make_exception_ptr(42),
         .events = {u"Unexpected failure"}},
    };
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
    // A fault of the program itself goes the same ways, with its own exit code.
    FakePlatform fake;
    fake.errorStream = ErrorStream::Captured;
    EXPECT_EQ(ReportInternalError(fake), 3);
    EXPECT_EQ(fake.errorOutput,
              u"VEK: internal error: vek.exe stopped on a fault of its own; whether the request "
              u"reached the host is not known\r\n");
}

// Where no window can be seen, nothing waits to be closed: what would show one fails with a
// report instead, the start of the request it would show included; what shows nothing is not
// touched.
TEST(RunTest, WhereNoWindowCanBeSeenNothingIsShown) {
    const std::u16string unseen =
        u" cannot be shown: this program runs where no window can be seen (as a service, or as a "
        u"task that runs whether the user is logged on or not)";
    // A request quoted is cut after 1000 characters, here before a character of two units.
    const std::u16string script = std::u16string(963, u'x') + u"😀";
    const std::u16string quoted =
        Send(u"Script: " + script, u"UTF-8").substr(0, 999) + u"... (1028 characters in all)";
    struct Unseen {
        const char* ini;
        std::u16string command;
        Result result;
    };
    const Unseen cases[] = {
        {"77", u"/?", {.report = u"System error: the usage text" + unseen, .exitCode = 1}},
        {"77", u"TestPoint", {.report = u"System error: the test window" + unseen, .exitCode = 1}},
        {"-1", u"SEND#" + script,
         {.report = u"System error: the request (target -1 shows it instead of sending it)" +
                    unseen + u": " + quoted,
          .exitCode = 1}},
        {"0", u"OnX",
         {.report = u"System error: \"Object Platform is not ready!!\" (no host window is known)" +
                    unseen + u": " + Notification(u"Event: OnX"),
          .exitCode = 1}},
        {"77", u"OnX", {.sent = {Notification(u"Event: OnX")}, .to = kHost}},
        {"77", u"INIT#5", {.ini = "5\r\n"}},
    };
    for (const Unseen& c : cases) {
        FakePlatform fake = WithHost();
        fake.canShowWindows = false;
        fake.AddFile(u"vek.ini", c.ini);
        EXPECT_EQ(RunCommand(fake, c.command.c_str()), c.result) << Utf8(c.command.substr(0, 20));
    }
}

TEST(RunTest, TheTargetIsTheFirstFieldOfVekIni) {
    // clang-format off
    const std::pair<std::string, Hwnd> cases[] = {
        {"1234\r\n", 1234}, {"-1", -1}, {"123,456\r\n", 123}, {"abc\r\n", 0}, {" 1 2 \r\n999", 12},
        {"&H1F\n", 31}, {"", 0}, {"\r\n5", 0}, {",5", 0}, {"  77  \r\n88", 77}, {"\t9\n", 9},
        {"\"4,2\",3", 4}, {" \t\"42", 42},
        // UTF-8 and UTF-16 of either byte order by their marks.
        {"\xEF\xBB\xBF" "4321\r\n", 4321},
        {std::string("\xFF\xFE" "5\0" "6\0" "7\0" "8\0", 10), 5678},
        {std::string("\xFE\xFF\0" "5\0" "6\0\r", 8), 56},
        // A character whose first byte is not 0 (U+8035) ends the number in either byte order.
        {std::string("\xFF\xFE" "4\0" "\x35\x80", 6), 4}, {std::string("\xFE\xFF\0" "4\x80\x35", 6), 4},
    };
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
    EXPECT_EQ(RunCommand(fake, u"OnX").report, u"File error: Could not open '.\\vek.ini'");
    EXPECT_EQ(RunCommand(fake, u"INIT#5").ini, "5\r\n");  // INIT replaces a file held open
    fake.failWrites = true;
    EXPECT_EQ(RunCommand(fake, u"INIT#9").report, u"File error: Could not write 'vek.ini'");
    EXPECT_EQ(RunCommand(WithHost(1252), u"INIT#４２日").report,
              u"INIT: File error: '４２日' cannot be written in the system's code page");
    // In a drive's root the path keeps both backslashes.
    FakePlatform root;
    root.currentDirectory = u"C:\\";
    root.AddFile(u"vek.ini", "77");
    root.AddFile(u"C:\\\\a.txt");
    EXPECT_EQ(RunCommand(root, u"DROP#a.txt").dropped, std::vector<std::u16string>{u"C:\\\\a.txt"});
}

TEST(RunTest, TheHostWindowIsTheFirstHwndEntryOfTheHostsMemory) {
    struct Memory {
        HostSnapshot snapshot;
        Hwnd target;
        unsigned codePage = 932;
    };
    // clang-format off
    const Memory cases[] = {
        {Snapshot("name^host\r\nabc.hwnd^1234\r\n"), 1234}, {Snapshot("hwnd^77\r\n"), 77},
        {Snapshot("a.hwnd^11\r\nb.hwnd^22\r\n"), 11}, {Snapshot("x.hwnd^ 5 678 \r\n"), 5678},
        {Snapshot("x.hwnd^42abc\r\n"), 42}, {Snapshot("x.hwnd^-2147483648\r\n"), -2147483648},
        {Snapshot("x.hwnd^9\rtrailing"), 9}, {Snapshot("1234abc^value\r\n"), 0}, {Snapshot("99\r\n"), 0},
        {Snapshot("x.hwnd=5\r\n"), 0}, {Snapshot("x.HWND^5\r\n"), 0}, {Snapshot("x.hwndx^5\r\n"), 0},
        {Snapshot("x.hwnd^1234"), 0}, {Snapshot("x.hwnd^1234\n"), 0},
        {Snapshot("x.hwnd^99999999999\r\n"), 0}, {Snapshot("x.hwnd^&HFFFFFFFFF\r\n"), 0},
        {Snapshot("\x96\xbc\x91\x4f^\x82\xb3\r\nx.hwnd^5\r\n"), 5},
        // 0x83 0x68 is one Shift_JIS character, and two in code page 1252.
        {Snapshot("\x83hwnd^99\r\nx.hwnd^42\r\n"), 42},
        {Snapshot("\x83hwnd^99\r\nx.hwnd^42\r\n"), 99, 1252},
        // The header is skipped as bytes, never read as text.
        {Snapshot("hwnd^7\r\n", 4, std::string_view("\0\0\0\x83", 4)), 7},
        {Snapshot("^5\r\n", 4, "hwnd"), 0},
        // Only the snapshot is seen.
        {Snapshot("x.hwnd^4321\r", kHostSnapshotSize - 12), 4321},
        {Snapshot("x.hwnd^4321\r", kHostSnapshotSize - 11), 0},
    };
    // clang-format on
    for (const Memory& c : cases) {
        FakePlatform fake(c.codePage);
        fake.hostMemory["Sakura"] = c.snapshot;
        fake.windows = {5, 7, 9, 11, 22, 42, 77, 99, 1234, 4321, 5678, -2147483648};
        EXPECT_EQ(FindHostHwnd(fake).window, c.target) << c.target;
    }
}

}  // namespace
}  // namespace vek
