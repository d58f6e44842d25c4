// Times whole runs of Windows programs, start to exit, as a script calling
// them would see it: CreateProcess, then wait for the exit. Commands are run
// in turns (A, B, A, B, ...) so that both see the same conditions.
//
//   vekbench RUNS CMDLINE-FILE...   the median and the mean of each command in
//                                   milliseconds, and each median's ratio to the first
//   vekbench --memory CMDLINE-FILE  the peak private bytes and working set of one run,
//                                   ended once it shows a window
//
// Each command-line file holds one whole command line in UTF-8.

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "../tools/common/ToolText.h"
#include "platform/win32/ScopedWin.h"

using vek::win32::ScopedHandle;

namespace {

std::wstring ReadCommandLine(const wchar_t* path) {
    std::string bytes;
    vek::tools::ReadWholeFile(path, bytes);
    while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) bytes.pop_back();
    return vek::tools::FromCodePage(CP_UTF8, bytes);
}

int g_retried = 0;

// Starts the command; exits the benchmark with a message when it cannot.
// Under Wine a start fails now and then with ERROR_INTERNAL_ERROR, when the
// new process dies before it has started; such a start is tried again, and
// counted; started is when the last attempt began.
ScopedHandle Start(std::wstring commandLine, LARGE_INTEGER& started) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    for (int attempt = 1; QueryPerformanceCounter(&started),
             !CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process);
         ++attempt) {
        if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 3) {
            std::fprintf(stderr, "vekbench: cannot start %ls (error %lu)\n", commandLine.c_str(),
                         GetLastError());
            std::exit(1);
        }
        ++g_retried;
        Sleep(100);
    }
    CloseHandle(process.hThread);
    return ScopedHandle(process.hProcess);
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// Milliseconds from CreateProcess to the exit of the process.
double TimeOneRun(const std::wstring& commandLine) {
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    const ScopedHandle process = Start(commandLine, start);
    if (WaitForSingleObject(process.Get(), 30000) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
    }
    QueryPerformanceCounter(&end);
    return Milliseconds(start, end);
}

// True once the process shows a window: for a FILE run with no host, the
// not-ready balloon, its request built and encoded.
BOOL CALLBACK FindShown(HWND hwnd, LPARAM parameter) {
    auto& [id, found] = *reinterpret_cast<std::pair<DWORD, bool>*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    found = owner == id && IsWindowVisible(hwnd);
    return !found;
}
bool ShowsAWindow(DWORD processId) {
    std::pair<DWORD, bool> search{processId, false};
    EnumWindows(FindShown, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// Samples the memory every 5 ms while the process runs: some systems (Wine)
// forget a process's peaks once it has ended. A run that shows a window
// (the balloon, which would type for hours) has done its work: it is ended.
int Memory(const std::wstring& commandLine) {
    LARGE_INTEGER started;
    const ScopedHandle process = Start(commandLine, started);
    const DWORD processId = GetProcessId(process.Get());
    SIZE_T peakPrivate = 0;
    SIZE_T peakWorkingSet = 0;
    do {
        PROCESS_MEMORY_COUNTERS counters{};
        if (GetProcessMemoryInfo(process.Get(), &counters, sizeof counters)) {
            peakPrivate =
                std::max({peakPrivate, counters.PagefileUsage, counters.PeakPagefileUsage});
            peakWorkingSet =
                std::max({peakWorkingSet, counters.WorkingSetSize, counters.PeakWorkingSetSize});
        }
        if (ShowsAWindow(processId)) TerminateProcess(process.Get(), 0);
    } while (WaitForSingleObject(process.Get(), 5) == WAIT_TIMEOUT);
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    std::printf("peak_private=%llu peak_working_set=%llu exit=%lu\n",
                static_cast<unsigned long long>(peakPrivate),
                static_cast<unsigned long long>(peakWorkingSet), code);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"--memory") return Memory(ReadCommandLine(argv[2]));
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: vekbench RUNS CMDLINE-FILE... | vekbench --memory CMDLINE-FILE\n");
        return 2;
    }
    const int runs = std::max(1, _wtoi(argv[1]));
    std::vector<std::wstring> commands;
    for (int i = 2; i < argc; ++i) commands.push_back(ReadCommandLine(argv[i]));
    std::vector<std::vector<double>> times(commands.size());
    // One untimed round first: the first start of each program loads its
    // pages from disk.
    for (const std::wstring& command : commands) TimeOneRun(command);
    for (int r = 0; r < runs; ++r) {
        for (std::size_t k = 0; k < commands.size(); ++k)
            times[k].push_back(TimeOneRun(commands[k]));
    }
    std::vector<double> medians;
    for (std::size_t k = 0; k < commands.size(); ++k) {
        std::vector<double>& sorted = times[k];
        std::sort(sorted.begin(), sorted.end());
        double mean = 0;
        for (double t : sorted) mean += t / static_cast<double>(sorted.size());
        medians.push_back(sorted[sorted.size() / 2]);
        std::printf("command %zu: median %.2f ms, mean %.2f ms over %d runs\n", k + 1,
                    medians.back(), mean, runs);
    }
    for (std::size_t k = 1; k < commands.size(); ++k) {
        std::printf("ratio of command %zu to command 1 (medians): %.3f\n", k + 1,
                    medians[k] / medians[0]);
    }
    if (g_retried != 0)
        std::printf("%d starts failed with error 1359 and were retried\n", g_retried);
    return 0;
}
