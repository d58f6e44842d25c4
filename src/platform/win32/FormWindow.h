#pragma once
// The window of the form F_ZERO: created hidden before the form loads, shown
// afterwards as the balloon or the test window when the run goes on. The label
// LbBln is no child window but the text it paints at its client area's top left.

#include <windows.h>

#include <exception>
#include <string>

#include "app/F_ZERO.h"
#include "platform/win32/ScopedWin.h"

namespace vek::win32 {

class FormWindow {
public:
    FormWindow(HINSTANCE instance, F_ZERO& form);
    ~FormWindow();
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    HWND Handle() const { return hwnd_; }

    // Carries on after Form_Load returned outcome; returns the form's exit
    // code once the run has ended. A failure in a handler is rethrown here.
    int Run(Outcome outcome);

private:
    enum class Mode { Hidden, Balloon, TestWindow };

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void Show(Mode mode);
    void Fit();
    void Paint(HDC dc);
    void UseDpi(UINT dpi);
    void RethrowFailure();

    F_ZERO& form_;
    HWND hwnd_ = nullptr;
    Mode mode_ = Mode::Hidden;
    bool loopRunning_ = false;
    std::exception_ptr failure_;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    ScopedFont font_;
    std::wstring lbBlnCaption_;
};

}  // namespace vek::win32
