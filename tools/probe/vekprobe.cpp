// vekprobe: the Windows side of the end-to-end tests. It starts a program
// with an exact command line (so that quoting and Japanese text reach it
// unchanged whatever the console code page), answers the message boxes the
// program opens, and reports how it ended.
//
//   vekprobe run --exe PATH --cmdline-file FILE --cwd DIR --out FILE
//                [--stderr FILE] [--timeout MS] [--dismiss-message-boxes]
//
// The command-line file holds the whole command line in UTF-8. The report
// holds one line per event: "PID n", "MSGBOX caption=HEX text=HEX" (UTF-8 in
// hex), then "EXIT code" or "TIMEOUT".

#include <windows.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "../common/ToolText.h"

namespace {

using vek::tools::Decimal;
using vek::tools::Hex;
using vek::tools::Utf8;

struct RunOptions {
    std::wstring exe;
    std::wstring cmdlineFile;
    std::wstring cwd;
    std::wstring out;
    std::wstring stderrFile;
    DWORD timeoutMs = 20000;
    bool dismissMessageBoxes = false;
};

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got != 0) bytes.append(buffer, got);
    CloseHandle(file);
    return true;
}

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

struct BoxSearch {
    DWORD pid;
    std::vector<HWND> boxes;
};

BOOL CALLBACK CollectBoxes(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid && IsWindowVisible(hwnd) && ClassOf(hwnd) == L"#32770") {
        search->boxes.push_back(hwnd);
    }
    return TRUE;
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
    Report(options, "PID " + Decimal(pi.dwProcessId));

    std::set<HWND> answered;
    const ULONGLONG deadline = GetTickCount64() + options.timeoutMs;
    bool timedOut = false;
    for (;;) {
        DWORD wait = WaitForSingleObject(pi.hProcess, 20);
        if (wait == WAIT_OBJECT_0) break;
        if (GetTickCount64() > deadline) {
            timedOut = true;
            TerminateProcess(pi.hProcess, 259);
            WaitForSingleObject(pi.hProcess, 5000);
            break;
        }
        if (!options.dismissMessageBoxes) continue;
        BoxSearch search{pi.dwProcessId, {}};
        EnumWindows(CollectBoxes, reinterpret_cast<LPARAM>(&search));
        for (HWND box : search.boxes) {
            if (answered.count(box) != 0) continue;
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
    if (timedOut) {
        Report(options, "TIMEOUT");
    } else {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        Report(options, "EXIT " + Decimal(code));
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}

int Usage() {
    vek::tools::Print(
        "usage: vekprobe run --exe PATH --cmdline-file FILE --cwd DIR --out FILE\n"
        "                    [--stderr FILE] [--timeout MS] [--dismiss-message-boxes]\n");
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
            } else {
                return Usage();
            }
        }
        if (options.exe.empty() || options.cmdlineFile.empty() || options.out.empty()) return Usage();
        return Run(options);
    }
    return Usage();
}
