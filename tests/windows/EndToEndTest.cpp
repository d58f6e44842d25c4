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
        const std::string report = Bytes(GetOEMCP(), L"^VEK: .*" + pattern + L".*\r\n$");  // as cmd reads it
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
    // Started from a desktop, with no standard error: the report in a box, also when started hidden.
    for (const int show : {-1, SW_HIDE}) {
        Expect(Vek(L"OnX", {}, {.captureErr = false, .show = show}), 1,
               L"^The target window handle in vek\\.ini: Overflow: ");
    }
}

// The newest event of the Application log from the source VEK: its text.
std::wstring NewestVekEvent() {
    const HANDLE log = OpenEventLogW(nullptr, L"Application");
    std::vector<BYTE> buffer(1 << 16);
    DWORD got = 0, more = 0;
    std::wstring text;
    while (log && text.empty() && ReadEventLogW(log, EVENTLOG_BACKWARDS_READ | EVENTLOG_SEQUENTIAL_READ, 0,
                                                buffer.data(), DWORD(buffer.size()), &got, &more)) {
        for (DWORD at = 0; text.empty() && at < got;) {
            const auto* record = reinterpret_cast<const EVENTLOGRECORD*>(buffer.data() + at);
            const auto* source = reinterpret_cast<const wchar_t*>(record + 1);
            if (std::wstring_view(source) == L"VEK" && record->NumStrings > 0)
                text = reinterpret_cast<const wchar_t*>(buffer.data() + at + record->StringOffset);
            at += record->Length;
        }
    }
    if (log) CloseEventLog(log);
    return text;
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

// A host in a process of its own that ends or hangs while it handles the request, has hung before
// it, or takes its time but goes on taking messages; a drop hands a hung host its file list in a
// message it must take.
TEST(HostEndToEnd, HostsThatEndOrHangAreReportedAndSlowOnesWaitedFor) {
    const std::wstring kHost = L"System error: the host window \\d+ ";
    // The host's options, the command, whether the host is hung first, the exit code, the report, ms taken.
    const std::tuple<const wchar_t*, const wchar_t*, bool, DWORD, std::wstring, ULONGLONG, ULONGLONG> cases[] = {
        {L"--exit-in-copydata", L"OnHost", false, 1, kHost + L"closed before it took the request \\(\\d+ bytes\\)", 0, 5000},
        // Judged hung when the system says so for three seconds in a row.
        {L"--freeze 20000", L"OnHost", true, 1, kHost + L"is not responding: the request \\(\\d+ bytes\\) stays queued and "
                                                        L"reaches it if it recovers: sending it again may deliver it twice", 2900, 5000},
        {L"--freeze-in-copydata 20000", L"OnHost", false, 1, L"is not responding", 7500, 13000},
        {L"--freeze 7000", L"OnHost", true, 0, L"", 500, 4000},  // hung for two seconds, and back: no report
        {L"--slow-in-copydata 7000", L"OnHost", false, 0, L"", 6900, 12000},
        {L"--freeze 20000", L"DROP#a.txt", false, 1, kHost + L"is not responding: the file drop was not handed over", 0, 10000}};
    for (const auto& [option, command, hungFirst, exitCode, report, atLeast, atMost] : cases) {
        SCOPED_TRACE(option);
        if (UnderWine() && command[0] == L'D') {
            std::printf("%ls not run: Wine posts a drop without handing the host its file list\n", command);
            continue;
        }
        Scratch dir;
        WriteBytes(dir / L"a.txt", "x");
        RunResult run;
        const std::wstring host = option + (L" --ini \"" + dir.dir.wstring() + L"\"");
        RunExe(Beside(L"vekhost.exe"), dir.dir, host, [&](HWND, ULONGLONG) {
            const std::string ini = ReadBytes(dir / L"vek.ini");
            if (!ini.ends_with("\r\n") || (hungFirst && !IsHungAppWindow(HWND(INT_PTR(stoi(ini))))))
                return false;
            run = RunExe(Exes().front(), dir.dir, command);
            return true;
        });
        Expect(run, exitCode, report);
        EXPECT_TRUE(run.ended >= atLeast && run.ended <= atMost) << run.ended << " ms";
    }
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
