// vek.exe: hands one request to the desktop-mascot host and ends.

#include <windows.h>

#include <algorithm>
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

// A caller that starts vek.exe hidden or minimized (WshShell.Run "...", 0) makes
// its first ShowWindow take that state, and a failure's box would wait for ever
// for a click. A window of no use takes it (SW_SHOWDEFAULT: the starter's state,
// whichever call gets it); a state that shows one does no harm, must not flash.
void ConsumeHiddenStart(HINSTANCE instance) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    constexpr WORD kUnseen[] = {SW_HIDE, SW_SHOWMINIMIZED, SW_MINIMIZE, SW_SHOWMINNOACTIVE,
                                SW_FORCEMINIMIZE};
    if ((startup.dwFlags & STARTF_USESHOWWINDOW) == 0 ||
        std::ranges::find(kUnseen, startup.wShowWindow) == std::end(kUnseen)) {
        return;
    }
    const HWND eater =
        CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"STATIC", L"", WS_POPUP, -32000,
                        -32000, 0, 0, nullptr, nullptr, instance, nullptr);
    if (eater == nullptr) return;
    ShowWindow(eater, SW_SHOWDEFAULT);
    DestroyWindow(eater);
}

// The platform a fault that escapes is reported through, while it lives.
Win32Platform* g_platform = nullptr;

// A fault of the program itself (an exception where none may leave): reported,
// and the run ends with exit code 3 at once; a fault while reporting, unreported.
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

// A fault the system raises ends the run with exit code 3, not its own code, a
// negative ERRORLEVEL that "if errorlevel 1" lets pass; reported from a thread
// of its own, as an overflowed stack has no room left.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS*) {
    if (const HANDLE reporter = CreateThread(nullptr, 0, &ReportFault, nullptr, 0, nullptr)) {
        WaitForSingleObject(reporter, INFINITE);
    }
    OnTerminate();
}

// No fault shows the system's own dialogs (the error report's, a drive's "not
// ready"), which would hold an unattended caller.
void TakeOverFaults() {
    std::set_terminate(&OnTerminate);
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (const auto setFlags = SystemFunction<HRESULT(WINAPI*)(DWORD)>(
            GetModuleHandleW(L"kernel32.dll"), "WerSetFlags")) {
        setFlags(0x20);  // WER_FAULT_REPORTING_NO_UI
    }
    SetUnhandledExceptionFilter(&OnUnhandledException);
}

int Main(HINSTANCE instance) {
    TakeOverFaults();
    ConsumeHiddenStart(instance);
    Win32Platform platform;
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
// libstdc++'s default terminate handler links in a demangler (45 KB, a sixth of
// vek.exe) to name the exception on standard error; this one serves until Main's.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    vek::win32::OnTerminate();
}
}  // namespace __gnu_cxx
#endif
