#pragma once
// The window of the form F_ZERO: created hidden before the form loads, shown
// afterwards as the balloon or the test window when the run goes on.

#include <windows.h>

#include <exception>

#include "app/F_ZERO.h"

namespace vek::win32 {

class FormWindow {
public:
    FormWindow(HINSTANCE instance, F_ZERO& form);
    ~FormWindow();
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    HWND Handle() const { return hwnd_; }

    // Carries on after Form_Load returned outcome; returns the exit code once
    // the run has ended. A failure in a handler is rethrown here.
    int Run(Outcome outcome);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void EndRun();

    F_ZERO& form_;
    HWND hwnd_ = nullptr;
    bool loopRunning_ = false;
    std::exception_ptr failure_;
};

}  // namespace vek::win32
