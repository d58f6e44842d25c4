// vekprobe: the Windows side of the end-to-end tests. It starts a program
// with an exact command line (so that quoting and Japanese text reach it
// unchanged whatever the console code page), answers the message boxes the
// program opens, and reports how it ended.
//
//   vekprobe run --exe PATH --cmdline-file FILE --cwd DIR --out FILE
//                [--stderr FILE] [--timeout MS] [--dismiss-message-boxes]
//
//                [--sample-windows MS] [--double-click-after MS]
//                [--close-after MS] [--hold-foreground] [--memory]
//
// The command-line file holds the whole command line in UTF-8. The report
// holds one line per event: "PID n", "MSGBOX caption=HEX text=HEX" (UTF-8 in
// hex), then "EXIT code" or "TIMEOUT".
//
// Watching the program's windows (times t in ms since the program started,
// handles in signed decimal, rectangles left,top,right,bottom in screen
// pixels, texts as UTF-8 in hex):
//   --sample-windows MS     looks at the program's visible top-level windows
//                           every MS ms; reports "SCREEN w= h= dpi=" once,
//                           "WINDOW t= hwnd= pid= rect= client= class=
//                           caption= foreground=0|1" when a window appears or
//                           changes, "GONE t= hwnd=" when it goes, and
//                           "ENDED t=" when the program has ended
//   --double-click-after MS double-clicks (real mouse input) the middle of the
//                           client area of the program's first window MS ms
//                           after it appeared: "DBLCLICK t= x= y="
//   --close-after MS        asks that window to close (WM_CLOSE) MS ms after
//                           it appeared: "CLOSE t= hwnd="
//   --hold-foreground       opens a window of the probe's own in the
//                           foreground first, and reports "FOREGROUND t=
//                           owner=probe|program|other|none" as that changes
//
// Measuring:
//   --memory                reports "MEMORY peak_private= peak_working_set="
//                           (bytes) once the program has ended

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "../common/ToolText.h"

namespace {

using vek::tools::Decimal;
using vek::tools::Hex;
using vek::tools::ReadWholeFile;
using vek::tools::Utf8;

struct RunOptions {
    std::wstring exe;
    std::wstring cmdlineFile;
    std::wstring cwd;
    std::wstring out;
    std::wstring stderrFile;
    DWORD timeoutMs = 20000;
    bool dismissMessageBoxes = false;
    DWORD sampleMs = 0;
    long long doubleClickAfterMs = -1;
    long long closeAfterMs = -1;
    bool holdForeground = false;
    bool memory = false;
};

std::wstring WindowText(HWND hwnd) {
    int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got < 0 ? 0 : got));
    return text;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

struct WindowSearch {
    DWORD pid;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindows(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid && IsWindowVisible(hwnd)) search->windows.push_back(hwnd);
    return TRUE;
}

// The visible top-level windows of a process.
std::vector<HWND> VisibleWindowsOf(DWORD pid) {
    WindowSearch search{pid, {}};
    EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

struct BoxContent {
    std::wstring text;
    HWND okButton = nullptr;
};

BOOL CALLBACK ReadBoxChild(HWND child, LPARAM param) {
    auto* content = reinterpret_cast<BoxContent*>(param);
    std::wstring cls = ClassOf(child);
    if (_wcsicmp(cls.c_str(), L"Static") == 0) {
        std::wstring text = WindowText(child);
        if (!text.empty() && content->text.empty()) content->text = text;
    } else if (_wcsicmp(cls.c_str(), L"Button") == 0 && GetDlgCtrlID(child) == IDOK) {
        content->okButton = child;
    }
    return TRUE;
}

void Report(const RunOptions& options, const std::string& line) {
    vek::tools::AppendLine(options.out, line);
}

// Window handles as the programs under test write them: signed 32-bit.
std::string HandleText(HWND hwnd) {
    return Decimal(static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(hwnd)));
}

std::string RectText(const RECT& r) {
    return Decimal(r.left) + "," + Decimal(r.top) + "," + Decimal(r.right) + "," +
           Decimal(r.bottom);
}

// Screen coordinates in physical pixels, also on scaled screens.
void BecomeDpiAware() {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    using ContextFn = BOOL(WINAPI*)(HANDLE);
    auto setContext = reinterpret_cast<ContextFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (setContext != nullptr && setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) {
        return;
    }
    using AwareFn = BOOL(WINAPI*)();
    auto setAware = reinterpret_cast<AwareFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDPIAware")));
    if (setAware != nullptr) setAware();
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// Everything the report says about one window, as the report says it.
std::string DescribeWindow(HWND hwnd, DWORD pid) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    RECT client{};
    GetClientRect(hwnd, &client);
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return "hwnd=" + HandleText(hwnd) + " pid=" + Decimal(pid) + " rect=" + RectText(rect) +
           " client=" + RectText(client) + " class=" + Hex(Utf8(ClassOf(hwnd))) +
           " caption=" + Hex(Utf8(WindowText(hwnd))) +
           " foreground=" + (GetForegroundWindow() == hwnd ? "1" : "0");
}

// Watches the program's windows and acts on the first one.
class WindowWatch {
public:
    WindowWatch(const RunOptions& options, DWORD pid, ULONGLONG start)
        : options_(options), pid_(pid), start_(start) {}

    bool Active() const {
        return options_.sampleMs != 0 || options_.doubleClickAfterMs >= 0 ||
               options_.closeAfterMs >= 0 || options_.holdForeground;
    }

    void Sample() {
        const ULONGLONG now = GetTickCount64();
        if (options_.sampleMs != 0 && now < nextSample_) return;
        nextSample_ = now + options_.sampleMs;
        std::map<HWND, std::string> seen;
        for (HWND hwnd : VisibleWindowsOf(pid_)) {
            std::string description = DescribeWindow(hwnd, pid_);
            auto known = reported_.find(hwnd);
            if (known == reported_.end() || known->second != description) {
                Report(options_, "WINDOW t=" + Time() + " " + description);
            }
            seen[hwnd] = std::move(description);
            if (first_ == nullptr) {
                first_ = hwnd;
                firstSeen_ = now;
            }
        }
        for (const auto& [hwnd, description] : reported_) {
            if (seen.count(hwnd) == 0) {
                Report(options_, "GONE t=" + Time() + " hwnd=" + HandleText(hwnd));
            }
        }
        reported_ = std::move(seen);
        ReportForeground();
        Act(now);
    }

    void Ended() {
        if (Active()) Report(options_, "ENDED t=" + Time());
    }

    void SetOwnWindow(HWND own) { own_ = own; }

private:
    std::string Time() const { return Decimal(static_cast<long long>(GetTickCount64() - start_)); }

    void ReportForeground() {
        if (!options_.holdForeground) return;
        HWND foreground = GetForegroundWindow();
        std::string owner = "none";
        if (foreground != nullptr) {
            DWORD pid = 0;
            GetWindowThreadProcessId(foreground, &pid);
            owner = foreground == own_ ? "probe" : pid == pid_ ? "program" : "other";
        }
        if (owner == foregroundOwner_) return;
        foregroundOwner_ = owner;
        Report(options_, "FOREGROUND t=" + Time() + " owner=" + owner);
    }

    void Act(ULONGLONG now) {
        if (first_ == nullptr || !IsWindow(first_)) return;
        const long long since = static_cast<long long>(now - firstSeen_);
        if (!doubleClicked_ && options_.doubleClickAfterMs >= 0 &&
            since >= options_.doubleClickAfterMs) {
            doubleClicked_ = true;
            RECT client{};
            GetClientRect(first_, &client);
            MapWindowPoints(first_, nullptr, reinterpret_cast<POINT*>(&client), 2);
            const int x = (client.left + client.right) / 2;
            const int y = (client.top + client.bottom) / 2;
            SetCursorPos(x, y);
            INPUT clicks[4] = {};
            const DWORD flags[4] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN,
                                    MOUSEEVENTF_LEFTUP};
            for (int i = 0; i < 4; ++i) {
                clicks[i].type = INPUT_MOUSE;
                clicks[i].mi.dwFlags = flags[i];
            }
            SendInput(4, clicks, sizeof(INPUT));
            Report(options_, "DBLCLICK t=" + Time() + " x=" + Decimal(x) + " y=" + Decimal(y));
        }
        if (!closed_ && options_.closeAfterMs >= 0 && since >= options_.closeAfterMs) {
            closed_ = true;
            PostMessageW(first_, WM_CLOSE, 0, 0);
            Report(options_, "CLOSE t=" + Time() + " hwnd=" + HandleText(first_));
        }
    }

    const RunOptions& options_;
    DWORD pid_;
    ULONGLONG start_;
    ULONGLONG nextSample_ = 0;
    std::map<HWND, std::string> reported_;
    HWND first_ = nullptr;
    ULONGLONG firstSeen_ = 0;
    bool doubleClicked_ = false;
    bool closed_ = false;
    HWND own_ = nullptr;
    std::string foregroundOwner_;
};

LRESULT CALLBACK FocusWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A window of the probe's own, standing for the application the user works
// in: the program under test must not take the foreground from it.
HWND OpenFocusWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = FocusWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"VekProbeFocus";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"vekprobe", WS_OVERLAPPEDWINDOW, 600, 100,
                                300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    if (hwnd == nullptr) return nullptr;
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
    return hwnd;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int Run(const RunOptions& options) {
    std::string cmdlineUtf8;
    if (!ReadWholeFile(options.cmdlineFile, cmdlineUtf8)) {
        Report(options, "ERROR cannot read the command-line file");
        return 2;
    }
    std::wstring cmdline = vek::tools::FromCodePage(CP_UTF8, cmdlineUtf8);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    HANDLE errFile = INVALID_HANDLE_VALUE;
    if (!options.stderrFile.empty()) {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        errFile = CreateFileW(options.stderrFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = nullptr;
        si.hStdOutput = nullptr;
        si.hStdError = errFile;
    }
    HWND focusWindow = nullptr;
    if (options.sampleMs != 0 || options.doubleClickAfterMs >= 0) BecomeDpiAware();
    if (options.holdForeground) {
        focusWindow = OpenFocusWindow();
        PumpMessages();
    }
    PROCESS_INFORMATION pi{};
    std::vector<wchar_t> mutableCmdline(cmdline.begin(), cmdline.end());
    mutableCmdline.push_back(L'\0');
    BOOL started = CreateProcessW(options.exe.c_str(), mutableCmdline.data(), nullptr, nullptr,
                                  errFile != INVALID_HANDLE_VALUE, 0, nullptr,
                                  options.cwd.empty() ? nullptr : options.cwd.c_str(), &si, &pi);
    if (errFile != INVALID_HANDLE_VALUE) CloseHandle(errFile);
    if (!started) {
        Report(options, "ERROR CreateProcess failed " + Decimal(GetLastError()));
        return 2;
    }
    const ULONGLONG start = GetTickCount64();
    Report(options, "PID " + Decimal(pi.dwProcessId));
    WindowWatch watch(options, pi.dwProcessId, start);
    watch.SetOwnWindow(focusWindow);
    if (watch.Active()) {
        Report(options, "SCREEN w=" + Decimal(GetSystemMetrics(SM_CXSCREEN)) +
                            " h=" + Decimal(GetSystemMetrics(SM_CYSCREEN)) +
                            " dpi=" + Decimal(ScreenDpi()));
    }

    std::set<HWND> answered;
    const ULONGLONG deadline = start + options.timeoutMs;
    const DWORD pollMs = options.sampleMs != 0 && options.sampleMs < 20 ? options.sampleMs : 20;
    bool timedOut = false;
    // Some systems (Wine) forget a process's peaks once it has ended: the
    // probe keeps its own, sampled while the program runs.
    SIZE_T peakPrivate = 0;
    SIZE_T peakWorkingSet = 0;
    auto sampleMemory = [&] {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (!GetProcessMemoryInfo(pi.hProcess, &counters, sizeof counters)) return;
        peakPrivate = std::max({peakPrivate, counters.PagefileUsage, counters.PeakPagefileUsage});
        peakWorkingSet =
            std::max({peakWorkingSet, counters.WorkingSetSize, counters.PeakWorkingSetSize});
    };
    for (;;) {
        DWORD wait = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, options.memory ? 5 : pollMs,
                                               QS_ALLINPUT);
        PumpMessages();
        if (options.memory) sampleMemory();
        if (wait == WAIT_OBJECT_0) break;
        if (watch.Active()) watch.Sample();
        if (GetTickCount64() > deadline) {
            timedOut = true;
            TerminateProcess(pi.hProcess, 259);
            WaitForSingleObject(pi.hProcess, 5000);
            break;
        }
        if (!options.dismissMessageBoxes) continue;
        for (HWND box : VisibleWindowsOf(pi.dwProcessId)) {
            if (ClassOf(box) != L"#32770" || answered.count(box) != 0) continue;
            BoxContent content;
            EnumChildWindows(box, ReadBoxChild, reinterpret_cast<LPARAM>(&content));
            answered.insert(box);
            Report(options, "MSGBOX caption=" + Hex(Utf8(WindowText(box))) +
                                " text=" + Hex(Utf8(content.text)));
            if (content.okButton != nullptr) {
                PostMessageW(content.okButton, BM_CLICK, 0, 0);
            } else {
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
        }
    }
    watch.Ended();
    if (focusWindow != nullptr) DestroyWindow(focusWindow);
    if (timedOut) {
        Report(options, "TIMEOUT");
    } else {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        if (options.memory) {
            Report(options,
                   "MEMORY peak_private=" + Decimal(static_cast<long long>(peakPrivate)) +
                       " peak_working_set=" + Decimal(static_cast<long long>(peakWorkingSet)));
        }
        Report(options, "EXIT " + Decimal(code));
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}

int Usage() {
    vek::tools::Print(
        "usage: vekprobe run --exe PATH --cmdline-file FILE --cwd DIR --out FILE\n"
        "                    [--stderr FILE] [--timeout MS] [--dismiss-message-boxes]\n"
        "                    [--sample-windows MS] [--double-click-after MS]\n"
        "                    [--close-after MS] [--hold-foreground] [--memory]\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    std::wstring command = argv[1];
    if (command == L"run") {
        RunOptions options;
        for (int i = 2; i < argc; ++i) {
            std::wstring arg = argv[i];
            auto value = [&]() -> std::wstring { return i + 1 < argc ? argv[++i] : L""; };
            if (arg == L"--exe") {
                options.exe = value();
            } else if (arg == L"--cmdline-file") {
                options.cmdlineFile = value();
            } else if (arg == L"--cwd") {
                options.cwd = value();
            } else if (arg == L"--out") {
                options.out = value();
            } else if (arg == L"--stderr") {
                options.stderrFile = value();
            } else if (arg == L"--timeout") {
                options.timeoutMs = static_cast<DWORD>(wcstoul(value().c_str(), nullptr, 10));
            } else if (arg == L"--dismiss-message-boxes") {
                options.dismissMessageBoxes = true;
            } else if (arg == L"--sample-windows") {
                options.sampleMs = static_cast<DWORD>(wcstoul(value().c_str(), nullptr, 10));
            } else if (arg == L"--double-click-after") {
                options.doubleClickAfterMs = wcstoll(value().c_str(), nullptr, 10);
            } else if (arg == L"--close-after") {
                options.closeAfterMs = wcstoll(value().c_str(), nullptr, 10);
            } else if (arg == L"--memory") {
                options.memory = true;
            } else if (arg == L"--hold-foreground") {
                options.holdForeground = true;
            } else {
                return Usage();
            }
        }
        if (options.exe.empty() || options.cmdlineFile.empty() || options.out.empty())
            return Usage();
        return Run(options);
    }
    return Usage();
}
