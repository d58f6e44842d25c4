// vek.exe: hands one request to the desktop-mascot host and ends.

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <exception>

#include "app/F_ZERO.h"
#include "app/Report.h"
#include "platform/win32/FormWindow.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinText.h"

namespace vek::win32 {
namespace {

// A caller that starts vek.exe hidden or minimized (WshShell.Run "vek.exe
// ...", 0; STARTF_USESHOWWINDOW with SW_HIDE) makes the process's first
// ShowWindow take that state, whatever it asks for. That first window could
// be a failure's message box: hidden, it would wait for ever for a click
// nobody can give. A window of no use takes that state instead, so that
// every window of the run shows as it would otherwise.
void ConsumeHiddenStart(HINSTANCE instance) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    if ((startup.dwFlags & STARTF_USESHOWWINDOW) == 0) return;
    switch (startup.wShowWindow) {
        case SW_HIDE:
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
        case SW_FORCEMINIMIZE:
            break;
        default:
            return;  // a state that shows a window does no harm, and must not flash one
    }
    const HWND eater =
        CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"STATIC", L"", WS_POPUP, -32000,
                        -32000, 0, 0, nullptr, nullptr, instance, nullptr);
    if (eater == nullptr) return;
    // SW_SHOWDEFAULT takes the starter's state by definition, so the eater is
    // hidden (or minimized) however the system applies its first-call rule.
    ShowWindow(eater, SW_SHOWDEFAULT);
    DestroyWindow(eater);
}

// The platform a fault that escapes is reported through, while Main runs.
Win32Platform* g_platform = nullptr;

// A fault of the program itself (an exception where none may leave, a call
// that cannot be made): reported where every failure is, then the run ends
// with exit code 3 at once. A fault while reporting one ends it unreported.
[[noreturn]] void OnTerminate() noexcept {
    static std::atomic_flag reporting = ATOMIC_FLAG_INIT;
    UINT exitCode = kInternalErrorExitCode;
    if (!reporting.test_and_set() && g_platform != nullptr) {
        try {
            exitCode = static_cast<UINT>(ReportInternalError(*g_platform));
        } catch (...) {
        }
    }
    TerminateProcess(GetCurrentProcess(), exitCode);
    std::abort();  // not reached
}

DWORD WINAPI ReportFault(void*) {
    OnTerminate();
}

// A fault the system raises in any thread (an access violation, a stack
// overflow): reported as the program's own, and the run ends with exit code
// 3, not with the fault's code, which cmd reads as a negative ERRORLEVEL
// that "if errorlevel 1" lets pass. It is reported from a thread of its own:
// an overflowed stack has no room left for it.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS*) {
    if (const HANDLE reporter = CreateThread(nullptr, 0, &ReportFault, nullptr, 0, nullptr)) {
        WaitForSingleObject(reporter, INFINITE);
    }
    OnTerminate();
}

// From the start of the run, no fault shows the system's own dialogs (the
// error report's, a drive's "not ready"), which would hold an unattended
// caller; the program reports its faults itself.
void TakeOverFaults() {
    std::set_terminate(&OnTerminate);
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    using WerSetFlagsFn = HRESULT(WINAPI*)(DWORD);
    constexpr DWORD kNoUi = 0x20;  // WER_FAULT_REPORTING_NO_UI
    if (const auto setFlags =
            SystemFunction<WerSetFlagsFn>(GetModuleHandleW(L"kernel32.dll"), "WerSetFlags")) {
        setFlags(kNoUi);
    }
    SetUnhandledExceptionFilter(&OnUnhandledException);
}

int Main(HINSTANCE instance) {
    TakeOverFaults();
    ConsumeHiddenStart(instance);
    Win32Platform platform;
    // Faults are reported through platform while it lives, and no longer.
    g_platform = &platform;
    struct Forget {
        ~Forget() { g_platform = nullptr; }
    } forget;
    F_ZERO form(platform);
    try {
        FormWindow window(instance, form);
        platform.SetOwnWindow(window.Handle());
        return window.Run(form.Form_Load());
    } catch (...) {
        return ReportFailure(platform, std::current_exception(), form.HandedOver());
    }
}

}  // namespace
}  // namespace vek::win32

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return vek::win32::Main(instance);
}

#if defined(__GLIBCXX__)
// libstdc++'s default terminate handler names the uncaught exception's type
// on standard error, and for that links in a C++ name demangler: some 45 KB,
// a sixth of vek.exe, for a message a GUI program has nowhere to show. Main
// puts its own handler in its place; this one serves what runs before.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    vek::win32::OnTerminate();
}
}  // namespace __gnu_cxx
#endif
