// The baseline of the delivery benchmark: a bare program that only sends the
// same WM_COPYDATA as vek.exe and exits. Sending the same message takes a
// sender window (its handle is wParam and the HWnd line), so it creates the
// cheapest window there is, a message-only one; nothing else: no parsing, no
// files, no conversion.
//
//   baresend TARGET EVENT [--no-window]
//
// --no-window sends with no sender at all, to show for scale what creating
// any window costs (under Wine: starting the display driver).

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const bool noWindow = argc > 3 && std::wcscmp(argv[3], L"--no-window") == 0;
    HWND own = nullptr;
    if (!noWindow) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"baresend";
        RegisterClassExW(&wc);
        own = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, nullptr);
    }
    HWND target = reinterpret_cast<HWND>(static_cast<INT_PTR>(_wtoi(argv[1])));
    char request[512];
    char event[256] = {};
    for (int i = 0; argv[2][i] != 0 && i < 255; ++i) event[i] = static_cast<char>(argv[2][i]);
    int length = std::snprintf(
        request, sizeof request,
        "NOTIFY SSTP/1.0\r\nSender: VEK\r\nEvent: %s\r\nHWnd: %ld\r\nSecurityLevel: local\r\n"
        "Charset: Shift_JIS",
        event, static_cast<long>(reinterpret_cast<INT_PTR>(own)));
    COPYDATASTRUCT record{9801, static_cast<DWORD>(length), request};
    SendMessageW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(own),
                 reinterpret_cast<LPARAM>(&record));
    return 0;
}
