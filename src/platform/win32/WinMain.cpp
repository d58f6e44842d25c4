// vek.exe: hands one request to the desktop-mascot host and ends.

#include <windows.h>

#include <new>

#include "app/F_ZERO.h"
#include "platform/win32/FormWindow.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinText.h"
#include "text/Failure.h"

namespace vek::win32 {
namespace {

// The report goes to the standard error handle too, when the caller gave the
// program one (a GUI program started from a console has none): as text on a
// console, as UTF-8 into a pipe or file.
void ReportFailure(const Platform& platform, std::u16string_view report) {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    const std::u16string line = u"VEK: " + std::u16string(report) + u"\r\n";
    DWORD mode = 0;
    DWORD written = 0;
    if (err != nullptr && err != INVALID_HANDLE_VALUE) {
        if (GetConsoleMode(err, &mode)) {
            WriteConsoleW(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        } else {
            const std::string utf8 = platform.Encode(CodePage::Utf8, line);
            WriteFile(err, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
        }
    }
    ShowVekMessage(nullptr, report, MB_ICONERROR);
}

int Main(HINSTANCE instance) {
    Win32Platform platform;
    try {
        F_ZERO form(platform);
        FormWindow window(instance, form);
        platform.SetOwnWindow(window.Handle());
        return window.Run(form.Form_Load());
    } catch (const RuntimeFailure& failure) {
        ReportFailure(platform, failure.Report());
    } catch (const std::bad_alloc&) {
        ReportFailure(platform, u"Out of memory");
    } catch (const std::exception& e) {
        ReportFailure(platform,
                      u"Unexpected failure: " + platform.Decode(CodePage::Utf8, e.what()));
    }
    return 1;
}

}  // namespace
}  // namespace vek::win32

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return vek::win32::Main(instance);
}
