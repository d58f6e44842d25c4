// vekhost: a stand-in for the desktop-mascot host. It opens a window, can
// write that window's handle into a vek.ini, and prints every WM_COPYDATA it
// receives, so that you can see exactly what vek.exe (or your script) sends.
//
//   vekhost [--ini DIR] [--log FILE] [--title TEXT] [--quit-after MS]
//           [--until-stdin-closes]

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../common/ToolText.h"

namespace {

using vek::tools::Decimal;
using vek::tools::Print;
using vek::tools::Utf8;

struct Options {
    std::wstring iniDir;
    std::wstring logPath;
    std::wstring title = L"VEK stand-in host";
    DWORD quitAfterMs = 0;
    bool untilStdinCloses = false;
};

Options g_options;
HWND g_window = nullptr;

constexpr UINT_PTR kQuitTimer = 1;

std::string HandleText(HWND hwnd) {
    return Decimal(static_cast<long>(reinterpret_cast<INT_PTR>(hwnd)));
}

void Record(const std::string& line) {
    if (!g_options.logPath.empty()) vek::tools::AppendLine(g_options.logPath, line);
}

void OnCopyData(HWND sender, const COPYDATASTRUCT& record) {
    std::string bytes;
    if (record.lpData != nullptr && record.cbData != 0) {
        bytes.assign(static_cast<const char*>(record.lpData), record.cbData);
    }
    Record("COPYDATA sender=" + HandleText(sender) + " dwData=" + Decimal(record.dwData) +
           " bytes=" + Decimal(record.cbData) + " hex=" + vek::tools::Hex(bytes));
    std::string text = Utf8(vek::tools::FromCodePage(932, bytes));
    Print("--- WM_COPYDATA from window " + HandleText(sender) + ", dwData " +
          Decimal(record.dwData) + ", " + Decimal(record.cbData) + " bytes (Shift_JIS):\n" + text +
          "\n---\n");
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COPYDATA:
            OnCopyData(reinterpret_cast<HWND>(wParam),
                       *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
            return TRUE;
        case WM_TIMER:
            if (wParam == kQuitTimer) DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Ends the host when whoever started it closes its standard input.
DWORD WINAPI WatchStdin(void*) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got != 0) {
    }
    PostMessageW(g_window, WM_CLOSE, 0, 0);
    return 0;
}

bool WriteIni(const std::wstring& dir) {
    std::wstring path = dir + L"\\vek.ini";
    std::string content = HandleText(g_window) + "\r\n";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    return ok != FALSE;
}

int Usage() {
    Print(
        "usage: vekhost [--ini DIR] [--log FILE] [--title TEXT] [--quit-after MS]\n"
        "               [--until-stdin-closes]\n"
        "Opens a window that records every WM_COPYDATA it receives.\n"
        "  --ini DIR             write the window's handle into DIR\\vek.ini\n"
        "  --log FILE            also append one line per message to FILE\n"
        "  --quit-after MS       close after MS milliseconds\n"
        "  --until-stdin-closes  close when standard input reaches its end\n");
    return 2;
}

bool ParseOptions(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        auto value = [&]() -> std::wstring { return i + 1 < argc ? argv[++i] : L""; };
        if (arg == L"--ini") {
            g_options.iniDir = value();
        } else if (arg == L"--log") {
            g_options.logPath = value();
        } else if (arg == L"--title") {
            g_options.title = value();
        } else if (arg == L"--quit-after") {
            g_options.quitAfterMs = static_cast<DWORD>(wcstoul(value().c_str(), nullptr, 10));
        } else if (arg == L"--until-stdin-closes") {
            g_options.untilStdinCloses = true;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (!ParseOptions(argc, argv)) return Usage();

    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"VEK.StandInHost";
    RegisterClassExW(&wc);
    g_window = CreateWindowExW(0, wc.lpszClassName, g_options.title.c_str(), WS_OVERLAPPEDWINDOW,
                               CW_USEDEFAULT, CW_USEDEFAULT, 320, 120, nullptr, nullptr, instance,
                               nullptr);
    if (g_window == nullptr) {
        Print("vekhost: could not create a window\n");
        return 1;
    }
    if (!g_options.iniDir.empty() && !WriteIni(g_options.iniDir)) {
        Print("vekhost: could not write " + Utf8(g_options.iniDir) + "\\vek.ini\n");
        return 1;
    }
    if (g_options.quitAfterMs != 0) SetTimer(g_window, kQuitTimer, g_options.quitAfterMs, nullptr);
    if (g_options.untilStdinCloses) {
        HANDLE thread = CreateThread(nullptr, 0, WatchStdin, nullptr, 0, nullptr);
        if (thread != nullptr) CloseHandle(thread);
    }

    Record("READY hwnd=" + HandleText(g_window) + " acp=" + Decimal(GetACP()));
    Print("vekhost: window " + HandleText(g_window) + " is waiting for requests (code page " +
          Decimal(GetACP()) + ")\nREADY " + HandleText(g_window) + "\n");

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    Record("QUIT");
    return 0;
}
