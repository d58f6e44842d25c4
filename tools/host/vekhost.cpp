// vekhost: a stand-in for the desktop-mascot host. It opens a window, can
// write that window's handle into a vek.ini or publish it in named shared
// memory, and prints every WM_COPYDATA and WM_DROPFILES it receives, so that
// you can see exactly what vek.exe (or your script) sends.
//
//   vekhost [--ini DIR] [--log FILE] [--title TEXT] [--quit-after MS]
//           [--until-stdin-closes] [--publish NAME]... [--exit-in-copydata]
//           [--freeze MS] [--freeze-in-copydata MS] [--slow-in-copydata MS]

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../common/ToolText.h"
#include "platform/win32/ScopedWin.h"

namespace {

using vek::tools::Decimal;
using vek::tools::Print;
using vek::tools::Utf8;
using vek::win32::NullIfInvalid;
using vek::win32::ScopedHandle;
using vek::win32::ScopedView;

struct Options {
    std::wstring iniDir;
    std::vector<std::wstring> publish;
    std::wstring logPath;
    std::wstring title = L"VEK stand-in host";
    DWORD quitAfterMs = 0;
    bool untilStdinCloses = false;
    bool exitInCopyData = false;   // die while the sender waits for the first request
    DWORD freezeMs = 0;            // stop taking messages this long, once ready
    DWORD freezeInCopyDataMs = 0;  // ... or while handling a request
    DWORD slowInCopyDataMs = 0;    // take this long over a request, taking messages meanwhile
};

Options g_options;
HWND g_window = nullptr;
// The published mappings live as long as the host.
std::vector<vek::win32::ScopedHandle> g_mappings;

constexpr UINT_PTR kQuitTimer = 1;

std::string HandleText(HWND hwnd) {
    return Decimal(static_cast<long>(reinterpret_cast<INT_PTR>(hwnd)));
}

void Record(const std::string& line) {
    if (!g_options.logPath.empty()) vek::tools::AppendLine(g_options.logPath, line);
}

// How a request is decoded: by its last "Charset: " line, as a host reads it.
// CR and LF are never part of a Shift_JIS or UTF-8 character, so the line is
// found in the bytes. No such line, or another charset, is read as Shift_JIS.
std::pair<UINT, std::string> Charset(std::string_view bytes) {
    const std::size_t line = bytes.rfind("\r\nCharset: ");
    const std::string_view rest = line == std::string_view::npos ? "" : bytes.substr(line + 11);
    const std::string_view name = rest.substr(0, rest.find('\r'));
    if (name == "UTF-8") return {CP_UTF8, "UTF-8"};
    if (name == "Shift_JIS") return {932, "Shift_JIS"};
    return {932,
            (line == std::string_view::npos ? "no Charset line" : "Charset " + std::string(name)) +
                ", read as Shift_JIS"};
}

void OnCopyData(HWND sender, const COPYDATASTRUCT& record) {
    std::string bytes;
    if (record.lpData != nullptr && record.cbData != 0) {
        bytes.assign(static_cast<const char*>(record.lpData), record.cbData);
    }
    Record("COPYDATA sender=" + HandleText(sender) + " dwData=" + Decimal(record.dwData) +
           " bytes=" + Decimal(record.cbData) + " hex=" + vek::tools::Hex(bytes));
    if (g_options.exitInCopyData) ExitProcess(3);
    // A host that hangs, or one that is slow but goes on taking messages.
    Sleep(g_options.freezeInCopyDataMs);
    for (const ULONGLONG end = GetTickCount64() + g_options.slowInCopyDataMs;
         GetTickCount64() < end;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(10);
    }
    const auto [codePage, charset] = Charset(bytes);
    std::string text = Utf8(vek::tools::FromCodePage(codePage, bytes));
    Print("--- WM_COPYDATA from window " + HandleText(sender) + ", dwData " +
          Decimal(record.dwData) + ", " + Decimal(record.cbData) + " bytes (" + charset + "):\n" +
          text + "\n---\n");
}

// Under Wine the block of a WM_DROPFILES posted by another process cannot be
// read here; the record then says that the message came, with no files.
void OnDropFiles(HDROP drop) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::string paths;
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
        if (i != 0) paths += "\n";
        paths += Utf8(path);
    }
    DragFinish(drop);
    Record("DROPFILES window=" + HandleText(g_window) + " files=" + Decimal(count) +
           " paths=" + vek::tools::Hex(paths));
    if (count == 0) {
        Print("--- WM_DROPFILES; its file list cannot be read here\n");
    } else {
        Print("--- WM_DROPFILES, " + Decimal(count) + " file(s):\n" + paths + "\n---\n");
    }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COPYDATA:
            OnCopyData(reinterpret_cast<HWND>(wParam),
                       *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
            return TRUE;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
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
    const ScopedHandle file(NullIfInvalid(CreateFileW(
        path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
    DWORD written = 0;
    return file && WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()),
                             &written, nullptr);
}

// What a host publishes: a 4-byte size, then entries of key, 0x01, value and
// CR LF in the ANSI code page, the window handle among them.
std::string HostMemoryContent() {
    const std::string id = "vekhost." + Decimal(GetCurrentProcessId());
    std::string entries =
        id + ".name\x01" + vek::tools::ToCodePage(CP_ACP, g_options.title) + "\r\n";
    entries += id + ".hwnd\x01" + HandleText(g_window) + "\r\n";
    const auto size = static_cast<std::uint32_t>(4 + entries.size());
    std::string content(4, '\0');
    std::memcpy(content.data(), &size, 4);
    return content + entries;
}

// Publishes the window under NAME; a name already taken (another host) is an
// error, so that no test reads a stranger's memory.
bool Publish(const std::wstring& name) {
    const std::string content = HostMemoryContent();
    ScopedHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            static_cast<DWORD>(content.size()), name.c_str()));
    if (!mapping || GetLastError() == ERROR_ALREADY_EXISTS) {
        Print("vekhost: could not publish " + Utf8(name) +
              (mapping ? ": another program already did" : "") + "\n");
        return false;
    }
    const ScopedView view(MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, 0));
    if (!view) {
        Print("vekhost: could not map " + Utf8(name) + "\n");
        return false;
    }
    std::memcpy(const_cast<void*>(view.Get()), content.data(), content.size());
    g_mappings.push_back(std::move(mapping));
    return true;
}

int Usage() {
    Print(
        "usage: vekhost [--ini DIR] [--log FILE] [--title TEXT] [--quit-after MS]\n"
        "               [--until-stdin-closes] [--publish NAME]...\n"
        "Opens a window that records every WM_COPYDATA and WM_DROPFILES it receives.\n"
        "  --ini DIR             write the window's handle into DIR\\vek.ini\n"
        "  --publish NAME        publish the window's handle in shared memory NAME\n"
        "                        (enbryo or Sakura, as a host does)\n"
        "  --log FILE            also append one line per message to FILE\n"
        "  --quit-after MS       close after MS milliseconds\n"
        "  --until-stdin-closes  close when standard input reaches its end\n"
        "  --exit-in-copydata    end the host while it handles the first request\n"
        "  --freeze MS           once ready, take no messages for MS milliseconds (hang)\n"
        "  --freeze-in-copydata MS   hang for MS milliseconds in each request\n"
        "  --slow-in-copydata MS     take MS milliseconds over each request, still taking\n"
        "                        messages (slow, but not hanging)\n");
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
        } else if (arg == L"--publish" && i + 1 < argc) {
            g_options.publish.push_back(value());
        } else if (arg == L"--until-stdin-closes") {
            g_options.untilStdinCloses = true;
        } else if (arg == L"--freeze") {
            g_options.freezeMs = static_cast<DWORD>(wcstoul(value().c_str(), nullptr, 10));
        } else if (arg == L"--freeze-in-copydata") {
            g_options.freezeInCopyDataMs =
                static_cast<DWORD>(wcstoul(value().c_str(), nullptr, 10));
        } else if (arg == L"--slow-in-copydata") {
            g_options.slowInCopyDataMs = static_cast<DWORD>(wcstoul(value().c_str(), nullptr, 10));
        } else if (arg == L"--exit-in-copydata") {
            g_options.exitInCopyData = true;
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
    DragAcceptFiles(g_window, TRUE);
    for (const std::wstring& name : g_options.publish)
        if (!Publish(name)) return 1;
    if (g_options.quitAfterMs != 0) SetTimer(g_window, kQuitTimer, g_options.quitAfterMs, nullptr);
    if (g_options.untilStdinCloses)
        ScopedHandle(CreateThread(nullptr, 0, WatchStdin, nullptr, 0, nullptr));

    Print("vekhost: window " + HandleText(g_window) + " is waiting for requests (code page " +
          Decimal(GetACP()) + ")\n");
    Sleep(g_options.freezeMs);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
