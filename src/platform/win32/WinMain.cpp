// vek.exe: hands one request to the desktop-mascot host and ends.

#include <windows.h>

#include "app/F_ZERO.h"
#include "app/Report.h"
#include "platform/win32/FormWindow.h"
#include "platform/win32/Win32Platform.h"

namespace vek::win32 {
namespace {

int Main(HINSTANCE instance) {
    Win32Platform platform;
    try {
        F_ZERO form(platform);
        FormWindow window(instance, form);
        platform.SetOwnWindow(window.Handle());
        return window.Run(form.Form_Load());
    } catch (...) {
        return ReportFailure(platform, std::current_exception());
    }
}

}  // namespace
}  // namespace vek::win32

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return vek::win32::Main(instance);
}
