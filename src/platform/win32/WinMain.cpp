// vek.exe: hands one request to the desktop-mascot host and ends.

#include <windows.h>

#include <new>

#include "app/F_ZERO.h"
#include "app/Failure.h"
#include "platform/win32/FormWindow.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinText.h"
#include "text/Text.h"

namespace vek::win32 {
namespace {

// Writes the report to the standard error handle, when the caller gave the
// program one (a GUI program started from a console has none).
void WriteToStderr(std::u16string_view report) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
    std::u16string line = u"VEK: " + std::u16string(report) + u"\r\n";
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(err, &mode)) {
        WriteConsoleW(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } else {
        std::string utf8 = ToUtf8(line);
        WriteFile(err, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
}

void ReportFailure(std::u16string_view report) {
    WriteToStderr(report);
    ShowVekMessage(nullptr, report, MB_ICONERROR);
}

int Main(HINSTANCE instance) {
    try {
        Win32Platform platform;
        F_ZERO form(platform);
        FormWindow window(instance, form);
        platform.SetOwnWindow(window.Handle());
        return window.Run(form.Form_Load());
    } catch (const RuntimeFailure& failure) {
        ReportFailure(failure.Report());
    } catch (const std::bad_alloc&) {
        ReportFailure(u"Out of memory");
    } catch (const std::exception& e) {
        ReportFailure(FromUtf8(e.what()));
    }
    return 1;
}

}  // namespace
}  // namespace vek::win32

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return vek::win32::Main(instance);
}
