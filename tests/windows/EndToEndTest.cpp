// The real vek.exe of every build under test, for what only shows with the real program on a
// real desktop. CodePageEndToEnd holds what depends on the system's code page, EndToEnd the rest.

#include <cmath>
#include <regex>

#include "Harness.h"
#include "delivery/FileDrop.h"
#include "platform/win32/Win32Platform.h"

// clang-format off: the case tables are laid out by hand, a case to a line.
namespace vek::test {
namespace {

// A request's last lines; own sent it.
std::wstring Closing(HWND own, bool notification, const wchar_t* charset = L"Shift_JIS") {
    return L"\r\nHWnd:" + std::wstring(Id(own) < 0 ? L"" : L" ") + std::to_wstring(Id(own)) +
           (notification ? L"\r\nSecurityLevel: local" : L"") + L"\r\nCharset: " + charset;
}

// The exit code, and what pattern matches: a failure's report on the standard error the run was
// given, with no box; else one message box captioned "VEK", in front of every window (none for "").
void Expect(const RunResult& run, DWORD exitCode, const std::wstring& pattern = L"") {
    EXPECT_EQ(run.exitCode, exitCode);
    if (exitCode != 0 && run.errCaptured) {
        EXPECT_TRUE(run.boxes.empty());
        // As cmd reads it: in the code page of the console it runs in.
        const UINT console = GetConsoleOutputCP();
        const std::string report = Bytes(console ? console : GetOEMCP(), L"^VEK: .*" + pattern + L".*\r\n$");
        EXPECT_TRUE(std::regex_search(run.err, std::regex(report))) << run.err;
        return;
    }
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(run.boxes.size(), pattern.empty() ? 0u : 1u);
    if (pattern.empty()) return;
    EXPECT_EQ(run.boxes[0].caption, L"VEK");
    EXPECT_TRUE(run.boxes[0].topmost || UnderWine());  // Wine ignores MB_TOPMOST
    EXPECT_TRUE(std::regex_search(run.boxes[0].text, std::wregex(pattern))) << run.boxes[0].text;
}

struct EndToEnd : testing::TestWithParam<fs::path> {
    RunResult Vek(const std::wstring& args, const Act& act = {}, const Start& start = {}) {
        return RunExe(GetParam(), dir.dir, args, act, start);
    }
    void Target(const std::string& value) { WriteBytes(dir / L"vek.ini", value + "\r\n"); }
    Scratch dir;
    Host host;
};
class CodePageEndToEnd : public EndToEnd {};

// Every kind of text through every way in: the host receives it exactly, in Shift_JIS where that
// holds it (byte for byte as always), else in UTF-8, as the Charset line says; a drop, the very name.
const std::pair<std::wstring, bool> kTexts[] = {  // the text, and whether code page 932 holds it
    {L"Café del Mar Beyoncé", false}, {L"😀🎵", false}, {L"한국어", false}, {L"简体中文", false},
    {L"〜", false},  // the wave dash of an input method
    {L"ｶﾀｶﾅ", true}, {L"日本語のテキスト表示", true},
    {L"～∥－￠￡￢―①髙", true}, {L"‖−¢£¬—", false}};  // code page 932's variants of Shift_JIS, and JIS's

std::string Utf16(std::wstring_view text, bool bigEndian) {  // with the byte-order mark
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const wchar_t c : text) bytes += {char(bigEndian ? c >> 8 : c), char(bigEndian ? c : c >> 8)};
    return bytes;
}

TEST_P(CodePageEndToEnd, EveryTextArrivesIntactThroughEveryWayInAndInitWritesTheCodePageOrRefuses) {
    Expect(Vek(L"INIT#" + std::wstring(host.id.begin(), host.id.end())), 0);
    const auto delivers = [&](const std::wstring& command, const std::wstring& opening, bool shiftJis) {
        host.got.clear();
        Expect(Vek(command), 0);
        ASSERT_EQ(host.got.size(), 1u);
        const auto& [sender, dwData, got] = host.got[0];
        EXPECT_EQ(dwData, 9801u);
        const wchar_t* charset = shiftJis ? L"Shift_JIS" : L"UTF-8";
        EXPECT_EQ(got, Bytes(shiftJis ? 932 : CP_UTF8, opening + Closing(sender, opening[0] == L'N', charset)));
    };
    // ～ as code page 932's fullwidth tilde; 10,000 あ and ASCII, to a command line of 32,000 characters.
    std::wstring script = L"～" + std::wstring(10000, L'あ');
    script.append(32000 - 8 - GetParam().wstring().size() - script.size(), L'a');
    delivers(L"SEND#" + script, L"SEND SSTP/1.0\r\nSender: VEK\r\nScript: " + script, true);
    // ソ表能 end in the byte 0x5C; ① and 髙 are NEC and IBM extensions; a lead byte cut off becomes ・.
    WriteBytes(dir / L"jp.txt", Bytes(932, L"ソ表能\r\n①髙 ｶﾀｶﾅ\r\n") + "\x82\r\n");
    delivers(L"FILE#jp.txt",
             L"NOTIFY SSTP/1.0\r\nSender: VEK\r\nEvent: OnFileRead\r\nReference0: jp.txt\r\n"
             L"Reference1: 0\r\nReference2: 1024\r\nReference3: ソ表能\\n①髙 ｶﾀｶﾅ\\n・\\n\r\nReference4: 3",
             true);
    Expect(Vek(L"DROP#jp.txt"), 0);  // an ASCII name, in every code page
    ASSERT_EQ(host.drops.size(), 1u);
    EXPECT_TRUE(host.drops[0].empty() || host.drops[0] == (dir / L"jp.txt").wstring());
    for (const auto& [text, shiftJis] : kTexts) {
        const std::wstring file = L"NOTIFY SSTP/1.0\r\nSender: VEK\r\nEvent: OnFileRead\r\n"
                                  L"Reference0: f.txt\r\nReference1: 0\r\nReference2: 1024\r\n"
                                  L"Reference3: " + text + L"\\nx\\n\r\nReference4: 2";
        const std::wstring lines = text + L"\r\nx\r\n";
        std::vector<std::tuple<const wchar_t*, std::wstring, std::string, std::wstring>> ways = {
            {L"event", L"OnX#" + text, "", L"NOTIFY SSTP/1.0\r\nSender: VEK\r\nEvent: OnX\r\nReference0: " + text},
            {L"SEND", L"SEND#" + text, "", L"SEND SSTP/1.0\r\nSender: VEK\r\nScript: " + text},
            {L"FILE UTF-8 with a mark", L"FILE#f.txt", "\xEF\xBB\xBF" + Bytes(CP_UTF8, lines), file},
            {L"FILE UTF-8", L"FILE#f.txt", Bytes(CP_UTF8, lines), file},
            {L"FILE UTF-16 LE", L"FILE#f.txt", Utf16(lines, false), file},
            {L"FILE UTF-16 BE", L"FILE#f.txt", Utf16(lines, true), file}};
        if (shiftJis) ways.emplace_back(L"FILE Shift_JIS", L"FILE#f.txt", Bytes(932, lines), file);
        for (const auto& [way, command, bytes, opening] : ways) {
            SCOPED_TRACE(testing::Message() << way << " " << Bytes(CP_UTF8, text));
            if (!bytes.empty()) WriteBytes(dir / L"f.txt", bytes);
            delivers(command, opening, shiftJis);
        }
        // A name the ANSI code page cannot hold is dropped all the same. Wine keeps another
        // process's drop block from the receiver: the name is read back from an own drop as well.
        const fs::path path = dir.dir / (text + L".txt");
        WriteBytes(path, "x");
        const bool made = fs::exists(path) || !UnderWine();  // Wine in the C locale stores only ASCII names
        if (!made) std::printf("DROP#%s not run: Wine cannot make the file\n", Bytes(CP_UTF8, text).c_str());
        host.drops.clear();
        if (made) Expect(Vek(L"DROP#" + path.filename().wstring()), 0);
        win32::Win32Platform platform;
        platform.PostDropFiles(Id(host.hwnd), BuildDropBlock(platform, path.u16string()));
        Pump();
        ASSERT_EQ(host.drops.size(), made ? 2u : 1u);
        EXPECT_TRUE(!made || (UnderWine() && host.drops[0].empty()) || host.drops[0] == path.wstring());
        EXPECT_EQ(host.drops.back(), path.wstring());
    }
    const bool japanese = GetACP() == 932;
    Expect(Vek(L"INIT#４２日本"), japanese ? 0 : 1, japanese ? L"" : L"'４２日本'");
    EXPECT_EQ(ReadBytes(dir / L"vek.ini"), japanese ? Bytes(932, L"４２日本\r\n") : host.id + "\r\n");
}

// Memory a host with higher rights published keeps vek.exe out: a request with nowhere else to go
// fails for it (what else does not is the unit tests'). A restarted host has another window:
// vek.ini's names none, and the host that runs now is looked up, past the memory it may not read.
TEST_P(EndToEnd, ARefusedHostMemoryStopsOnlyARequestAndAStaleVekIniGivesWayToTheHostThatRuns) {
    const Mapping refused(L"enbryo", "", 4096, 0, L"D:(D;;GA;;;WD)");
    Expect(Vek(L"OnX"), 1, L"the host that published 'enbryo' runs with higher rights than vek\\.exe "
                           L"\\(as administrator\\?\\): its shared memory cannot be read");
    const HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
    DestroyWindow(gone);
    Target(std::to_string(Id(gone)));
    // A host's shared memory: a 4-byte header, then key, 0x01, value, CR LF.
    const Mapping published(L"Sakura", std::string("\x20\0\0\0vek.hwnd\x01", 13) + host.id + "\r\n");
    Expect(Vek(L"OnStale#1"), 0);
    EXPECT_EQ(host.got.size(), 1u);
}

TEST_P(EndToEnd, BoxesShowTheRequestForMinusOneAndFailuresOnlyWhereNoProgramTakesTheReport) {
    Target("-1");
    Expect(Vek(L"OnX#a"), 0,
           L"^NOTIFY SSTP/1\\.0\r\nSender: VEK\r\nEvent: OnX\r\nReference0: a\r\n"
           L"HWnd: ?-?\\d+\r\nSecurityLevel: local\r\nCharset: Shift_JIS$");
    Target("99999999999");
    Expect(Vek(L"OnX"), 1, L"'99999999999'");
    Expect(Vek(L"INIT#1234"), 0);  // what it cannot read, INIT can repair
    EXPECT_EQ(ReadBytes(dir / L"vek.ini"), "1234\r\n");
    Target("99999999999");
    // Started from a desktop, with no standard error: the report in a box, also when started hidden.
    for (const int show : {-1, SW_HIDE}) {
        Expect(Vek(L"OnX", {}, {.captureErr = false, .show = show}), 1,
               L"^The target window handle in vek\\.ini: Overflow: ");
    }
}

// A report on standard error is read back by a program in a console in that console's code page,
// whatever it is set to: vek.exe, which has no console, writes in its caller's.
TEST_P(EndToEnd, AReportIsWrittenInTheCodePageOfTheCallersConsole) {
    const UINT before = GetConsoleOutputCP();
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (before == 0) {  // Wine leaves a program run from a pipe a console it cannot use
        FreeConsole();
        ASSERT_TRUE(AllocConsole());
    }
    ASSERT_TRUE(SetConsoleOutputCP(CP_UTF8));
    const RunResult run = Vek(L"FILE#日本é/x");
    if (before == 0) {
        FreeConsole();
    } else {
        SetConsoleOutputCP(before);
    }
    SetStdHandle(STD_ERROR_HANDLE, err);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.err, Bytes(CP_UTF8, L"VEK: FILE: the start line after the \"/\" in 'FILE#日本é/x': "
                                      L"Type mismatch: 'x' is not a number\r\n"));
}

// A run on a window station nobody sees (a service's, a task's that runs whether the user is
// logged on or not) shows nothing and waits for nothing: its report goes to standard error, else
// to the event log.
TEST_P(EndToEnd, WhereNoWindowCanBeSeenARunWaitsForNothing) {
    const std::wstring station = L"vek-test-" + std::to_wstring(GetCurrentProcessId());
    const HWINSTA unseen = CreateWindowStationW(station.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
    ASSERT_NE(unseen, nullptr);
    const HWINSTA own = GetProcessWindowStation();
    SetProcessWindowStation(unseen);
    const HDESK desk = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    SetProcessWindowStation(own);
    USEROBJECTFLAGS flags{};
    GetUserObjectInformationW(unseen, UOI_FLAGS, &flags, sizeof flags, nullptr);
    const std::wstring desktop = station + L"\\Default";
    Target("99999999999");
    if ((flags.dwFlags & WSF_VISIBLE) == 0) {  // standard error captured is as on any desktop
        EXPECT_EQ(Vek(L"OnX", {}, {.captureErr = false, .desktop = desktop.c_str()}).exitCode, 1u);
        if (!UnderWine()) {  // Wine keeps no event log
            EXPECT_NE(NewestVekEvent().find(L"'99999999999'"), std::wstring::npos);
        }
        Target("");
        Expect(Vek(L"OnX", {}, {.desktop = desktop.c_str()}), 1, L"\"Object Platform is not ready!!\" \\(no host window is "
               L"known\\) cannot be shown: [\\s\\S]*Event: OnX[\\s\\S]*Charset: Shift_JIS");
    }
    CloseDesktop(desk);
    CloseWindowStation(unseen);
    if (flags.dwFlags & WSF_VISIBLE) GTEST_SKIP() << "this system shows every window station";
}

// A host with higher rights than vek.exe: the system keeps a program at low integrity from
// sending or posting to this process's windows, and says so.
TEST_P(EndToEnd, AHostWithHigherRightsIsReportedWhereverItRefuses) {
    if (UnderWine()) GTEST_SKIP() << "Wine has no integrity levels";
    const HANDLE low = LowIntegrityToken();
    Target(host.id);
    WriteBytes(dir / L"a.txt", "x");
    for (const wchar_t* command : {L"OnX", L"DROP#a.txt"}) {
        Expect(Vek(command, {}, {.token = low}), 1,
               L"the host window " + std::wstring(host.id.begin(), host.id.end()) +
                   L" runs with higher rights than vek\\.exe \\(as administrator\\?\\): the ");
    }
    CloseHandle(low);
    EXPECT_TRUE(host.got.empty() && host.drops.empty());
}

// How many requests the stand-in host logged taking, in its log file.
std::size_t Taken(const fs::path& log) {
    std::istringstream lines(ReadBytes(log));
    std::size_t taken = 0;
    for (std::string line; std::getline(lines, line);) taken += line.starts_with("COPYDATA ");
    return taken;
}

// The stand-in host in a process of its own, started with options and its vek.ini in dir;
// once it is ready (and, when hungFirst, judged hung by the system) vek.exe runs command there.
// The host is ended then, unless its options end it themselves.
RunResult WithHost(const Scratch& dir, const std::wstring& options, bool hungFirst,
                   const wchar_t* command) {
    RunResult run;
    const std::wstring host =
        options + L" --ini \"" + dir.dir.wstring() + L"\" --log \"" + (dir / L"host.log").wstring() + L"\"";
    RunExe(Beside(L"vekhost.exe"), dir.dir, host, [&](HWND, ULONGLONG) {
        const std::string ini = ReadBytes(dir / L"vek.ini");
        if (run.exitCode != STILL_ACTIVE) return options.find(L"--quit-after") == std::wstring::npos;
        if (!ini.ends_with("\r\n") || (hungFirst && !IsHungAppWindow(HWND(INT_PTR(stoi(ini))))))
            return false;
        run = RunExe(Exes().front(), dir.dir, command);
        return options.find(L"--quit-after") == std::wstring::npos;
    });
    return run;
}

// A host that ends or hangs while it handles the request, has hung before it, or takes its time
// but goes on taking messages. Each exit code keeps its promise: 0, the host took the request;
// 1, it never arrives, even once the host responds again; 2, it may have arrived.
TEST(HostEndToEnd, EachExitCodeKeepsItsPromiseWithHostsThatEndHangOrTakeTheirTime) {
    const std::wstring host = L"System error: the host window \\d+ ";
    const std::wstring request = L"the request \\(\\d+ bytes\\)";
    const std::wstring again = L": sending it again may deliver it twice";
    struct Case {
        const wchar_t* options;
        bool hungFirst = false;
        DWORD exitCode = 0;
        std::wstring report;
        ULONGLONG atLeast = 0, atMost;  // ms the run takes
    };
    // clang-format off
    const Case cases[] = {
        {.options = L"--exit-in-copydata", .exitCode = 2,
         .report = host + L"closed while it handled " + request + again, .atMost = 5000},
        // Judged not responding when the system says so for three seconds in a row; the host
        // responds again after twelve, and quits after fourteen.
        {.options = L"--freeze 12000 --quit-after 14000", .hungFirst = true, .exitCode = 1,
         .report = host + L"is not responding: " + request + L" was not sent", .atLeast = 2900,
         .atMost = 5000},
        {.options = L"--freeze-in-copydata 20000", .exitCode = 2,
         .report = host + L"is not responding: " + request + L" may have reached it", .atLeast = 7500,
         .atMost = 13000},
        // Hung for two seconds, and back within the watch.
        {.options = L"--freeze 7000", .hungFirst = true, .atLeast = 500, .atMost = 4000},
        {.options = L"--slow-in-copydata 7000", .atLeast = 6900, .atMost = 12000},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        Scratch dir;
        const RunResult run = WithHost(dir, c.options, c.hungFirst, L"OnHost");
        Expect(run, c.exitCode, c.report);
        EXPECT_TRUE(run.ended >= c.atLeast && run.ended <= c.atMost) << run.ended << " ms";
        const std::size_t taken = Taken(dir / L"host.log");
        EXPECT_TRUE(c.exitCode == 0 ? taken == 1 : c.exitCode == 1 ? taken == 0 : taken <= 1) << taken;
    }
}

// Windows cancels a sent message the receiver has not begun when its sender ends: a request sent
// to a host that stops responding before it takes it never arrives.
TEST(HostEndToEnd, ARequestTheHostHadNotBegunIsDroppedAsVekEnds) {
    if (UnderWine()) GTEST_SKIP() << "Wine keeps a sent message queued after its sender ends";
    Scratch dir;
    Expect(WithHost(dir, L"--freeze 12000 --quit-after 14000", false, L"OnHost"), 2,
           L"is not responding: the request \\(\\d+ bytes\\) may have reached it");
    EXPECT_EQ(Taken(dir / L"host.log"), 0u);
}

// Windows hands another process a dropped file's list in a message of its own before it posts the
// drop: a host that takes no messages never gets it.
TEST(HostEndToEnd, ADropToAHostThatStopsRespondingIsNotHandedOver) {
    if (UnderWine()) GTEST_SKIP() << "Wine posts a drop without handing the host its file list";
    Scratch dir;
    WriteBytes(dir / L"a.txt", "x");
    Expect(WithHost(dir, L"--freeze 20000", false, L"DROP#a.txt"), 1,
           L"System error: the host window \\d+ is not responding: the file drop was not handed over");
}

TEST_P(EndToEnd, NotReadyBalloonSitsBottomLeftGrowsByLinesStaysBehindAndEndsOnTime) {
    const HWND user = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 600, 100, 200, 100, 0, 0, 0, 0);
    SetForegroundWindow(user);
    const RunResult run = Vek(L"SEND#a\\cb");
    DestroyWindow(user);
    ASSERT_FALSE(run.samples.empty());
    const auto& [shown, own, first, foreground0] = run.samples[0];
    const double bottom = GetSystemMetrics(SM_CYSCREEN) - 500 * kPx;
    const int margin = int(std::lround(120 * kPx)), line = first.bottom - first.top - margin;
    std::vector<int> lines;
    for (const auto& [t, hwnd, rect, foreground] : run.samples) {
        const int height = rect.bottom - rect.top - margin;
        EXPECT_TRUE(!foreground && height % line == 0 && std::abs(rect.left - 500 * kPx) <= 1 &&
                    std::abs(rect.bottom - bottom) <= 1)
            << t << " ms: " << rect.left << "," << rect.bottom << " " << height << foreground;
        if (lines.empty() || lines.back() != height / line) lines.push_back(height / line);
    }
    // The report, "SEND SSTP/1.0", "Sender: VEK", "Script: a"; cleared; "b", the closing lines.
    EXPECT_EQ(lines, (std::vector<int>{1, 2, 3, 4, 1, 2, 3}));
    // A 50 ms tick for each character or tag, and 81 more; Wine's timers may fire late.
    const std::wstring text =
        L"Object Platform is not ready!!\\nSEND SSTP/1.0\r\nSender: VEK\r\nScript: a\\cb" + Closing(own, false);
    const double ms = double(text.size() - 2 + 81) * 50, lifetime = double(run.ended - shown);
    EXPECT_GE(lifetime, ms * 0.95 - 60);
    EXPECT_LE(lifetime, ms * 2 + 3000);
}

TEST_P(EndToEnd, UsageBalloonEndsAtOnceOnADoubleClick) {
    ULONGLONG clicked = 0;
    const RunResult run = Vek(L"/?", [&](HWND shown, ULONGLONG shownFor) {
        RECT at{};
        if (clicked != 0 || shownFor < 500 || !GetWindowRect(shown, &at)) return false;
        SetCursorPos((at.left + at.right) / 2, (at.top + at.bottom) / 2);
        INPUT clicks[4] = {{INPUT_MOUSE}, {INPUT_MOUSE}, {INPUT_MOUSE}, {INPUT_MOUSE}};
        for (int i = 0; i < 4; ++i) clicks[i].mi.dwFlags = i % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
        clicked = SendInput(4, clicks, sizeof(INPUT)) == 4 ? GetTickCount64() : 0;
        return false;
    });
    Expect(run, 0);
    ASSERT_NE(clicked, 0u);
    EXPECT_LT(GetTickCount64() - clicked, 1000u);  // the usage text plays for some 20 s
}

TEST_P(EndToEnd, TestPointShowsItsOwnHandleUntilClosed) {
    std::wstring caption;  // once it has been up for a second
    const RunResult run = Vek(L"TestPoint", [&](HWND shown, ULONGLONG shownFor) {
        if (shown && shownFor == 0) PostMessageW(shown, WM_LBUTTONDBLCLK, 0, 0);  // no end for this one
        if (caption.empty() && shownFor >= 1000) caption = WindowText(shown);
        if (!caption.empty()) PostMessageW(shown, WM_CLOSE, 0, 0);
        return false;
    });
    Expect(run, 0);
    const auto& [t, hwnd, rect, foreground] = run.samples.back();
    EXPECT_EQ(caption, std::to_wstring(Id(hwnd)));
    EXPECT_NEAR(rect.left, 1500 * kPx, 1);
    EXPECT_NEAR(rect.top, 1500 * kPx, 1);
    EXPECT_NEAR(rect.bottom - rect.top, 1900 * kPx, 1);
    EXPECT_GE(rect.right - rect.left, std::floor(180 * kPx));
}

INSTANTIATE_TEST_SUITE_P(Builds, EndToEnd, testing::ValuesIn(Exes()));
INSTANTIATE_TEST_SUITE_P(Builds, CodePageEndToEnd, testing::ValuesIn(Exes()));

}  // namespace
}  // namespace vek::test
