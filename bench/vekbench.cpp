// Times whole runs of Windows programs, start to exit, as a script calling
// them would see it: CreateProcess, then wait for the exit. Commands are run
// in turns (A, B, A, B, ...) so that both see the same conditions.
//
//   vekbench RUNS CMDLINE-FILE...
//
// Each command-line file holds one whole command line in UTF-8. Prints, for
// each command, the median and the mean in milliseconds, then the ratio of
// each median to the first one's.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::wstring ReadUtf8File(const wchar_t* path) {
    HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got != 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    int need =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(need), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                        need);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

// Milliseconds from CreateProcess to the exit of the process; negative on failure.
double TimeOneRun(const std::wstring& cmdline) {
    std::vector<wchar_t> buffer(cmdline.begin(), cmdline.end());
    buffer.push_back(L'\0');
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        return -1;
    }
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    QueryPerformanceCounter(&end);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vekbench RUNS CMDLINE-FILE...\n");
        return 2;
    }
    const int runs = std::max(1, _wtoi(argv[1]));
    std::vector<std::wstring> commands;
    for (int i = 2; i < argc; ++i) commands.push_back(ReadUtf8File(argv[i]));
    std::vector<std::vector<double>> times(commands.size());
    // One untimed round first: the first start of each program loads its
    // pages from disk.
    for (const std::wstring& c : commands) TimeOneRun(c);
    for (int r = 0; r < runs; ++r) {
        for (std::size_t k = 0; k < commands.size(); ++k) {
            double t = TimeOneRun(commands[k]);
            if (t < 0) {
                std::fprintf(stderr, "vekbench: cannot start command %zu (error %lu)\n", k + 1,
                             GetLastError());
                return 1;
            }
            times[k].push_back(t);
        }
    }
    std::vector<double> medians;
    for (std::size_t k = 0; k < commands.size(); ++k) {
        std::vector<double> sorted = times[k];
        std::sort(sorted.begin(), sorted.end());
        double median = sorted[sorted.size() / 2];
        double mean = 0;
        for (double t : sorted) mean += t;
        mean /= static_cast<double>(sorted.size());
        medians.push_back(median);
        std::printf("command %zu: median %.2f ms, mean %.2f ms over %d runs\n", k + 1, median, mean,
                    runs);
    }
    for (std::size_t k = 1; k < commands.size(); ++k) {
        std::printf("ratio of command %zu to command 1 (medians): %.3f\n", k + 1,
                    medians[k] / medians[0]);
    }
    return 0;
}
