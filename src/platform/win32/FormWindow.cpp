#include "platform/win32/FormWindow.h"

#include "app/Failure.h"
#include "platform/win32/WinText.h"

namespace vek::win32 {
namespace {

constexpr wchar_t kClassName[] = L"VEK.F_ZERO";

}  // namespace

FormWindow::FormWindow(HINSTANCE instance, F_ZERO& form) : form_(form) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &FormWindow::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
    // Most runs only send one message and end, so the window starts as a
    // message-only window: it has its handle at once, but costs no desktop
    // (or X11) resources and receives no broadcasts. It becomes a top-level
    // window, with the same handle, only when it is to be shown.
    hwnd_ = CreateWindowExW(0, kClassName, L"VEK", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, HWND_MESSAGE, nullptr,
                            instance, this);
    if (hwnd_ == nullptr) {
        throw RuntimeFailure(FailureKind::SystemError,
                             u"could not create the window: " + SystemMessage(GetLastError()));
    }
}

FormWindow::~FormWindow() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

int FormWindow::Run(Outcome outcome) {
    if (outcome != Outcome::ShowBalloon && outcome != Outcome::ShowTestWindow) return 0;
    // The balloon and the test window are not shown yet: the run ends here.
    return 0;
}

void FormWindow::EndRun() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

LRESULT CALLBACK FormWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    FormWindow* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    } else {
        self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    // Exceptions must not unwind through the system's code: keep the failure
    // and end the run; Run rethrows it.
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        self->failure_ = std::current_exception();
        PostQuitMessage(1);
        return 0;
    }
}

LRESULT FormWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            hwnd_ = nullptr;
            // Only a running message loop is told to stop: a quit message left
            // behind would close the failure report's message box at once.
            if (loopRunning_) PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace vek::win32
