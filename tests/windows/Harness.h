#pragma once
// What every Windows test uses: text in a code page, files, scratch directories, a host window
// of this process, and runs of vek.exe (or the stand-in host), answered.

#include <windows.h>

#include <gtest/gtest.h>
#include <sddl.h>
#include <shellapi.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

namespace vek::test {

namespace fs = std::filesystem;

inline double TwipPixels() {  // in the physical pixels main made this process see
    const HDC screen = GetDC(nullptr);
    const double px = GetDeviceCaps(screen, LOGPIXELSY) / 1440.0;
    ReleaseDC(nullptr, screen);
    return px;
}

inline const bool kUnderWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version");

inline std::int32_t Id(HWND hwnd) {  // as vek.exe writes it
    return static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(hwnd));
}

inline void Pump() {
    for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
}

// The bytes of text in a code page, '?' for what it lacks.
inline std::string Bytes(UINT codePage, std::wstring_view text) {
    std::string out(text.size() * 4, '\0');
    out.resize(WideCharToMultiByte(codePage, codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS,
                                   text.data(), static_cast<int>(text.size()), out.data(),
                                   static_cast<int>(out.size()), nullptr, nullptr));
    return out;
}

// The code page a program in this console reads another program's output in.
inline UINT ConsoleCodePage() {
    return GetConsoleOutputCP() != 0 ? GetConsoleOutputCP() : GetOEMCP();
}

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::wstring WindowText(HWND hwnd) {
    std::wstring text(GetWindowTextLengthW(hwnd) + 1, L'\0');
    return text.substr(0, GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size())));
}

inline fs::path Beside(const wchar_t* name) {  // beside this program
    wchar_t own[MAX_PATH];
    return fs::path(own, own + GetModuleFileNameW(nullptr, own, MAX_PATH)).replace_filename(name);
}

// The vek.exe files under test: VEK_TEST_EXES, ';' between paths, else the one beside this.
inline std::vector<fs::path> Exes() {
    std::wstringstream list(_wgetenv(L"VEK_TEST_EXES") ? _wgetenv(L"VEK_TEST_EXES") : L"");
    std::vector<fs::path> exes;
    for (std::wstring exe; std::getline(list, exe, L';');)
        if (!exe.empty()) exes.push_back(fs::absolute(fs::path(exe).make_preferred()));
    return exes.empty() ? std::vector{Beside(L"vek.exe")} : exes;
}

inline fs::path Unique() {  // a new path in the temporary directory
    static int count = 0;
    return fs::temp_directory_path() /
           ("vek-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(count++));
}

struct Scratch {  // a fresh directory, removed afterwards
    fs::path dir = Unique();
    std::error_code ignored;
    Scratch() { fs::create_directories(dir); }
    ~Scratch() { fs::remove_all(dir, ignored); }
    fs::path operator/(const wchar_t* name) const { return dir / name; }
};

// A message-only window of this thread that records what it receives. It answers a request
// with 0, as a host may: the request was taken all the same.
struct Host {
    std::vector<std::tuple<HWND, ULONG_PTR, std::string>> got;  // sender, dwData, bytes
    std::vector<std::wstring> drops;  // a path, empty where Wine keeps another process's block
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
    Host() {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Receive));
    }
    ~Host() { DestroyWindow(hwnd); }
    static LRESULT CALLBACK Receive(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto& self = *reinterpret_cast<Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message == WM_COPYDATA) {
            const auto& data = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            self.got.emplace_back(reinterpret_cast<HWND>(wParam), data.dwData,
                                  std::string(static_cast<const char*>(data.lpData), data.cbData));
            return 0;
        }
        if (message != WM_DROPFILES) return DefWindowProcW(hwnd, message, wParam, lParam);
        const auto drop = reinterpret_cast<HDROP>(wParam);
        wchar_t path[MAX_PATH];
        self.drops.emplace_back(path, DragQueryFileW(drop, 0, path, MAX_PATH));
        DragFinish(drop);
        return 0;
    }
};

struct RunResult {
    DWORD exitCode = STILL_ACTIVE;
    ULONGLONG ended = 0;                                              // ms after the start
    std::vector<std::tuple<std::wstring, std::wstring, bool>> boxes;  // caption, text, topmost
    // Every 20 ms, each visible window but a box: when (ms), which, where, foreground or not.
    std::vector<std::tuple<ULONGLONG, HWND, RECT, bool>> samples;
    std::string err;  // what it wrote to standard error, when it had one
};
// Every 20 ms: the run's window seen last, and for how long it has shown one; true ends the run.
using Act = std::function<bool(HWND shown, ULONGLONG shownFor)>;

// How a run starts, beyond its command line.
struct Start {
    bool captureErr = true;  // standard error to a file, else none (as from a desktop)
    HANDLE token = nullptr;  // the rights it runs with; this process's when none
    int show = -1;           // the show state its starter asks for, if any
};

// Runs `"exe" args` in cwd until it ends (or for 30 s), pumping this thread's messages,
// answering message boxes and sampling other windows.
inline RunResult RunExe(const fs::path& exe, const fs::path& cwd, const std::wstring& args,
                        const Act& act = {}, const Start& start = {}) {
    const fs::path err = Unique();
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    STARTUPINFOW si{sizeof si};
    si.dwFlags = STARTF_USESTDHANDLES | (start.show >= 0 ? STARTF_USESHOWWINDOW : 0);
    si.wShowWindow = static_cast<WORD>(start.show);
    if (start.captureErr)
        si.hStdError = CreateFileW(err.c_str(), GENERIC_WRITE, 0, &inherit, CREATE_ALWAYS, 0, 0);
    std::wstring line = L"\"" + exe.wstring() + L"\" " + args;
    PROCESS_INFORMATION pi{};
    BOOL started = FALSE;  // three tries: Wine now and then loses a start (the process dies unborn)
    for (int attempt = 0; !started && attempt < 3; ++attempt) {
        if (attempt > 0) Sleep(100);
        started = start.token ? CreateProcessAsUserW(start.token, exe.c_str(), line.data(), 0, 0,
                                                     TRUE, 0, 0, cwd.c_str(), &si, &pi)
                              : CreateProcessW(exe.c_str(), line.data(), 0, 0, TRUE, 0, 0,
                                               cwd.c_str(), &si, &pi);
    }
    EXPECT_TRUE(started) << "error " << GetLastError();
    if (si.hStdError) CloseHandle(si.hStdError);
    RunResult run;
    std::set<HWND> answered;
    HWND shown = nullptr;
    for (const ULONGLONG began = GetTickCount64(); pi.hProcess && run.ended < 30000;) {
        const DWORD wait = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 20, QS_ALLINPUT);
        Pump();  // what it sent or posted
        run.ended = GetTickCount64() - began;
        if (wait == WAIT_OBJECT_0) break;
        DWORD owner = 0, foreground = 0;
        GetWindowThreadProcessId(GetForegroundWindow(), &foreground);
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, nullptr, nullptr)) != nullptr;) {
            wchar_t name[8] = {};
            GetWindowThreadProcessId(w, &owner);
            if (owner != pi.dwProcessId || !IsWindowVisible(w) || !GetClassNameW(w, name, 8))
                continue;
            if (std::wstring_view(name) != L"#32770") {
                RECT rect{};
                GetWindowRect(w, &rect);
                run.samples.emplace_back(run.ended, w, rect, foreground == pi.dwProcessId);
                shown = w;
            } else if (answered.insert(w).second) {
                std::wstring text;
                for (HWND c = nullptr; text.empty() && (c = FindWindowExW(w, c, L"Static", 0));)
                    text = WindowText(c);
                const bool topmost = (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
                run.boxes.emplace_back(WindowText(w), text, topmost);
                PostMessageW(w, WM_COMMAND, IDOK, 0);
            }
        }
        if (act && act(shown, shown ? run.ended - std::get<0>(run.samples[0]) : 0))
            TerminateProcess(pi.hProcess, 0);  // the wait sees it end
    }
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &run.exitCode) && run.exitCode != STILL_ACTIVE)
        << exe << " " << args << " overstayed 30 s";
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 5000);
    for (const HANDLE handle : {pi.hProcess, pi.hThread}) CloseHandle(handle);
    run.err = ReadBytes(err);
    DeleteFileW(err.c_str());
    return run;
}

}  // namespace vek::test
