// The real vek.exe of every build under test, for what only shows with the real program on a
// real desktop. What depends on the system's code page is an EndToEndInEachCodePage test.

#include <algorithm>
#include <cmath>
#include <regex>

#include "Harness.h"
#include "platform/win32/WinText.h"

namespace vek::test {
namespace {

// The exit code, no box, and standard error: empty, or `VEK: ` and what the pattern report finds,
// in the code page of the console the caller runs in, as cmd reads it.
void Expect(const RunResult& run, DWORD exitCode, const std::wstring& report = L"") {
    EXPECT_EQ(run.exitCode, exitCode);
    EXPECT_TRUE(run.boxes.empty());
    const std::wstring line = report.empty() ? L"" : L"VEK: [\\s\\S]*" + report + L"[\\s\\S]*\r\n";
    EXPECT_TRUE(std::regex_match(run.err, std::regex(Bytes(ConsoleCodePage(), line)))) << run.err;
}

struct EndToEnd : testing::TestWithParam<fs::path> {
    EndToEnd() { Target(std::to_string(Id(host.hwnd))); }
    RunResult Vek(const std::wstring& args, const Act& act = {}, const Start& start = {}) {
        return RunExe(GetParam(), dir.dir, args, act, start);
    }
    void Target(const std::string& value) { WriteBytes(dir / L"vek.ini", value + "\r\n"); }
    // The command delivers one request from the window it names, holding the line exactly: in
    // Shift_JIS where code page 932 holds the request, else in UTF-8 (its wording is the core's).
    void Delivers(const std::wstring& command, const std::wstring& line, bool shiftJis = true) {
        host.got.clear();
        Expect(Vek(command), 0);
        ASSERT_EQ(host.got.size(), 1u);
        const auto& [sender, dwData, bytes] = host.got[0];
        EXPECT_EQ(dwData, 9801u);
        const std::regex from("\r\nHWnd: ?" + std::to_string(Id(sender)) + "\r\n");
        EXPECT_TRUE(std::regex_search(bytes, from));
        EXPECT_NE(bytes.find(Bytes(shiftJis ? 932 : CP_UTF8, L"\r\n" + line + L"\r\n")),
                  bytes.npos);
    }
    Scratch dir;
    Host host;
};

// The code page 1252 test presets run this suite, by its name, and the Win32 layer's.
struct EndToEndInEachCodePage : EndToEnd {};

// The command line is read as Unicode, and a file in Shift_JIS or UTF-8 is decoded by the
// system: every text reaches the host exactly, whatever the system's code page.
TEST_P(EndToEndInEachCodePage, EveryTextReachesTheHostInShiftJisWhereCodePage932HoldsItElseInUtf8) {
    // ～ as code page 932's fullwidth tilde; 10,000 あ and ASCII, to a command line of 32,000.
    std::wstring script = L"～" + std::wstring(10000, L'あ');
    script.append(32000 - 8 - GetParam().wstring().size() - script.size(), L'a');
    Delivers(L"SEND#" + script, L"Script: " + script);
    // Code page 932's variants of Shift_JIS characters, JIS's among the texts it does not hold;
    // 〜 is the wave dash an input method types.
    for (const wchar_t* text : {L"ｶﾀｶﾅ", L"日本語のテキスト表示", L"～∥－￠￡￢―①髙"})
        Delivers(L"SEND#" + std::wstring(text), L"Script: " + std::wstring(text));
    for (const wchar_t* text : {L"Café del Mar", L"😀🎵", L"한국어", L"简体中文", L"〜", L"‖−¢£¬—"})
        Delivers(L"SEND#" + std::wstring(text), L"Script: " + std::wstring(text), false);
    // ソ表能 end in the byte 0x5C, ① and 髙 are NEC's and IBM's; a lead byte cut off becomes ・.
    WriteBytes(dir / L"jp.txt", Bytes(932, L"ソ表能\r\n①髙 ｶﾀｶﾅ ～∥－￠￡￢―\r\n") + "\x82\r\n");
    Delivers(L"FILE#jp.txt", L"Reference3: ソ表能\\n①髙 ｶﾀｶﾅ ～∥－￠￡￢―\\n・\\n");
    WriteBytes(dir / L"utf8.txt", Bytes(CP_UTF8, L"Café 😀 〜\r\n"));
    Delivers(L"FILE#utf8.txt", L"Reference3: Café 😀 〜\\n", false);
}

// DROP finds a file by its exact name, whatever it holds, and the host gets the drop.
TEST_P(EndToEndInEachCodePage, AFileWithANonAsciiNameIsDroppedOnTheHostInEveryCodePage) {
    const std::wstring names[] = {L"日本語.txt", L"Café.txt", L"〜 😀.txt"};  // 932, 1252, neither
    for (const std::wstring& name : names) WriteBytes(dir.dir / name, "x");
    if (!std::ranges::all_of(names, [&](auto& name) { return fs::exists(dir.dir / name); }))
        GTEST_SKIP() << "this file system keeps only ASCII names (Wine in the C locale does)";
    std::vector<std::wstring> paths;
    for (const std::wstring& name : names) {
        Expect(Vek(L"DROP#" + name), 0);
        paths.push_back((dir.dir / name).wstring());
        ASSERT_EQ(host.drops.size(), paths.size()) << Bytes(CP_UTF8, name);
    }
    if (kUnderWine) GTEST_SKIP() << "Wine keeps another process's drop block from the receiver";
    EXPECT_EQ(host.drops, paths);
}

// Started from a desktop, with no standard error, a failure shows in a box in front of every
// window; also when its starter asks for its first window hidden, which would hide the box.
TEST_P(EndToEnd, AFailureWithNoStandardErrorShowsInABoxAlsoWhenStartedHidden) {
    Target("99999999999");
    const RunResult run = Vek(L"OnX", {}, {.captureErr = false, .show = SW_HIDE});
    EXPECT_EQ(run.exitCode, 1u);
    ASSERT_EQ(run.boxes.size(), 1u);
    const auto& [caption, text, topmost] = run.boxes[0];
    EXPECT_EQ(caption, L"VEK");
    EXPECT_TRUE(text.starts_with(L"The target window handle in vek.ini: Overflow"));
    if (kUnderWine) GTEST_SKIP() << "Wine ignores MB_TOPMOST: whether the box was in front";
    EXPECT_TRUE(topmost);
}

// vek.exe, which has no console, writes a report in the code page of its caller's console.
TEST_P(EndToEndInEachCodePage, AReportIsWrittenInTheCodePageOfTheCallersConsole) {
    const UINT before = GetConsoleOutputCP();
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (before == 0) FreeConsole();  // Wine leaves a program run from a pipe an unusable one
    ASSERT_TRUE(before != 0 || AllocConsole());
    ASSERT_TRUE(SetConsoleOutputCP(CP_UTF8));
    Expect(Vek(L"FILE#日本é/x"), 1, L"'FILE#日本é/x'");  // while the console reads UTF-8
    before == 0 ? FreeConsole() : SetConsoleOutputCP(before);
    SetStdHandle(STD_ERROR_HANDLE, err);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
}

// The system keeps a program at low integrity from sending or posting to the windows of a process
// with higher rights, as a host run as administrator keeps out vek.exe.
TEST_P(EndToEnd, ARequestOrADropToAHostWithHigherRightsIsReportedAsNotTaken) {
    if (kUnderWine) GTEST_SKIP() << "Wine has no integrity levels";
    HANDLE own = nullptr, low = nullptr;
    OpenProcessToken(GetCurrentProcess(),
                     TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ADJUST_DEFAULT | TOKEN_ASSIGN_PRIMARY,
                     &own);
    DuplicateTokenEx(own, 0, nullptr, SecurityImpersonation, TokenPrimary, &low);
    PSID sid = nullptr;
    ConvertStringSidToSidW(L"S-1-16-4096", &sid);  // low integrity
    TOKEN_MANDATORY_LABEL label{{sid, SE_GROUP_INTEGRITY}};
    ASSERT_TRUE(SetTokenInformation(low, TokenIntegrityLevel, &label,
                                    static_cast<DWORD>(sizeof label + GetLengthSid(sid))));
    WriteBytes(dir / L"a.txt", "x");
    for (const wchar_t* command : {L"OnX", L"DROP#a.txt"})
        Expect(Vek(command, {}, {.token = low}), 1,
               L"the host window \\d+ runs with higher rights");
    for (const HANDLE token : {own, low}) CloseHandle(token);
    LocalFree(sid);
    EXPECT_TRUE(host.got.empty() && host.drops.empty());
}

// The stand-in host in a process of its own, with options; vek.exe runs command once it is ready
// (and judged hung, when hungFirst). The run, and how many requests the host logged taking.
std::pair<RunResult, int> WithHost(const std::wstring& options, bool hungFirst,
                                   const wchar_t* command) {
    Scratch dir;
    WriteBytes(dir / L"a.txt", "x");
    RunResult run;
    const bool quits = options.find(L"--quit-after") != std::wstring::npos;
    RunExe(Beside(L"vekhost.exe"), dir.dir, options + L" --ini . --log host.log", [&](HWND, auto) {
        const std::string ini = ReadBytes(dir / L"vek.ini");
        if (run.exitCode == STILL_ACTIVE && ini.ends_with("\r\n") &&
            (!hungFirst || IsHungAppWindow(HWND(INT_PTR(stoi(ini))))))
            run = RunExe(Exes().front(), dir.dir, command);
        return run.exitCode != STILL_ACTIVE && !quits;
    });
    std::istringstream log(ReadBytes(dir / L"host.log"));
    int taken = 0;
    for (std::string line; std::getline(log, line);) taken += line.starts_with("COPYDATA ");
    return {run, taken};
}

// Hosts that end or hang while they handle the request, hang before it, or take their time. 0: the
// host took it; 1: it never arrives, even once the host responds again; 2: it may have arrived.
TEST(HostEndToEnd, EachExitCodeKeepsItsPromiseWithHostsThatEndHangOrTakeTheirTime) {
    struct Case {
        const wchar_t* host;     // the stand-in host's options
        bool hungFirst = false;  // vek.exe starts once the system judges the host hung
        DWORD exitCode = 0;
        const wchar_t* report = L"";
        ULONGLONG atLeast = 0, atMost;  // ms the run takes
    };
    // clang-format off
    const Case cases[] = {
        {.host = L"--exit-in-copydata", .exitCode = 2, .report = L"closed while it handled",
         .atMost = 5000},
        // Not responding for three seconds in a row; it responds at 12 s, and quits at 14 s.
        {.host = L"--freeze 12000 --quit-after 14000", .hungFirst = true, .exitCode = 1,
         .report = L"is not responding: .* was not sent", .atLeast = 2900, .atMost = 5000},
        {.host = L"--freeze-in-copydata 20000", .exitCode = 2,
         .report = L"is not responding: .* may have reached it", .atLeast = 7500, .atMost = 13000},
        // Hung for two seconds, and back within the watch.
        {.host = L"--freeze 7000", .hungFirst = true, .atLeast = 500, .atMost = 4000},
        {.host = L"--slow-in-copydata 7000", .atLeast = 6900, .atMost = 12000},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        const auto [run, taken] = WithHost(c.host, c.hungFirst, L"OnHost");
        Expect(run, c.exitCode, c.report);
        EXPECT_TRUE(run.ended >= c.atLeast && run.ended <= c.atMost) << run.ended << " ms";
        EXPECT_EQ(taken, c.exitCode == 1 ? 0 : 1);  // each of these hosts logs a request it begins
    }
}

// Windows hands another process a dropped file's list in a message it sends before it posts the
// drop: given up on while the host does not respond, the drop may still arrive when it does.
TEST(HostEndToEnd, ADropToAHostThatStopsRespondingMayStillArrive) {
    if (kUnderWine) GTEST_SKIP() << "Wine posts a drop without handing the list over: it is queued";
    Expect(WithHost(L"--freeze 20000", false, L"DROP#a.txt").first, 2,
           L"is not responding: the file drop may have reached it, or may still reach it if the "
           L"host responds");
}

TEST_P(EndToEnd, NotReadyBalloonSitsBottomLeftGrowsByLinesStaysBehindAndEndsOnTime) {
    const HWND user =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 600, 100, 200, 100, 0, 0, 0, 0);
    SetForegroundWindow(user);
    Target("");  // no host
    const RunResult run = Vek(L"SEND#a\\cb");
    DestroyWindow(user);
    EXPECT_EQ(run.exitCode, 1u);
    ASSERT_FALSE(run.samples.empty());
    const auto& [shown, own, first, foreground0] = run.samples[0];
    const double px = TwipPixels();
    const double bottom = GetSystemMetrics(SM_CYSCREEN) - 500 * px;
    const int margin = int(std::lround(120 * px)), line = first.bottom - first.top - margin;
    std::vector<int> lines;
    for (const auto& [t, hwnd, rect, foreground] : run.samples) {
        const int height = rect.bottom - rect.top - margin;
        EXPECT_TRUE(!foreground && height % line == 0 && std::abs(rect.left - 500 * px) <= 1 &&
                    std::abs(rect.bottom - bottom) <= 1)
            << t << " ms: " << rect.left << "," << rect.bottom << " " << height << foreground;
        if (lines.empty() || lines.back() != height / line) lines.push_back(height / line);
    }
    // The report, "SEND SSTP/1.0", "Sender: VEK", "Script: a"; cleared; "b", the closing lines.
    EXPECT_EQ(lines, (std::vector<int>{1, 2, 3, 4, 1, 2, 3}));
    // A 50 ms tick for each character or tag of the text, and 81 more; Wine's timers may fire late.
    const std::wstring hwnd = (Id(own) < 0 ? L"HWnd:" : L"HWnd: ") + std::to_wstring(Id(own));
    const std::wstring text =
        L"Object Platform is not ready!!\\nSEND SSTP/1.0\r\nSender: VEK\r\n"
        L"Script: a\\cb\r\n" +
        hwnd + L"\r\nCharset: Shift_JIS";
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
        for (int i = 0; i < 4; ++i)
            clicks[i].mi.dwFlags = i % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
        clicked = SendInput(4, clicks, sizeof(INPUT)) == 4 ? GetTickCount64() : 0;
        return false;
    });
    Expect(run, 0);
    ASSERT_NE(clicked, 0u);
    EXPECT_LT(GetTickCount64() - clicked, 1000u);  // the usage text plays for some 20 s
}

TEST_P(EndToEnd, TestPointShowsItsOwnHandleUntilClosed) {
    std::wstring caption;  // after a second, and a double-click, which ends only a balloon
    const RunResult run = Vek(L"TestPoint", [&](HWND shown, ULONGLONG shownFor) {
        if (shown && shownFor == 0) PostMessageW(shown, WM_LBUTTONDBLCLK, 0, 0);
        if (shownFor < 1000) return false;
        caption = WindowText(shown);
        PostMessageW(shown, WM_CLOSE, 0, 0);
        return false;
    });
    Expect(run, 0);
    const double px = TwipPixels();
    const auto& [t, hwnd, rect, foreground] = run.samples.back();
    EXPECT_EQ(caption, std::to_wstring(Id(hwnd)));
    EXPECT_NEAR(rect.left, 1500 * px, 1);
    EXPECT_NEAR(rect.top, 1500 * px, 1);
    EXPECT_NEAR(rect.bottom - rect.top, 1900 * px, 1);
    EXPECT_GE(rect.right - rect.left, std::floor(180 * px));
}

// A fault the system raises in vek.exe (a thread started at address 0) is reported as its own,
// with exit code 3 and no dialog: not the fault's code, which "if errorlevel 1" would let pass.
TEST_P(EndToEnd, ACrashIsReportedAsAFaultOfItsOwnWithExitCode3) {
    const auto werGetFlags = win32::SystemFunction<HRESULT(WINAPI*)(HANDLE, DWORD*)>(
        GetModuleHandleW(L"kernel32.dll"), "WerGetFlags");
    DWORD werFlags = 0;
    HRESULT werAnswer = E_NOTIMPL;
    const RunResult run = Vek(L"TestPoint", [&](HWND shown, ULONGLONG) {
        DWORD id = 0;
        if (shown == nullptr || !GetWindowThreadProcessId(shown, &id)) return false;
        const HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, id);
        if (werGetFlags != nullptr) werAnswer = werGetFlags(process, &werFlags);
        const HANDLE fault = CreateRemoteThread(process, nullptr, 0, nullptr, nullptr, 0, nullptr);
        EXPECT_NE(fault, nullptr) << GetLastError();
        for (const HANDLE handle : {fault, process}) CloseHandle(handle);
        return false;
    });
    Expect(run, 3, L"internal error: vek.exe stopped on a fault of its own");
    if (kUnderWine) GTEST_SKIP() << "Wine has no error reporting to keep from showing a dialog";
    ASSERT_EQ(werAnswer, S_OK);
    EXPECT_TRUE(werFlags & 0x20);  // WER_FAULT_REPORTING_NO_UI
}

INSTANTIATE_TEST_SUITE_P(Builds, EndToEnd, testing::ValuesIn(Exes()));
INSTANTIATE_TEST_SUITE_P(Builds, EndToEndInEachCodePage, testing::ValuesIn(Exes()));

}  // namespace
}  // namespace vek::test
