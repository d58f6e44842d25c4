#include "platform/win32/FormWindow.h"

#include <algorithm>
#include <utility>

#include "balloon/Layout.h"
#include "balloon/Player.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/WinText.h"
#include "text/Text.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace vek::win32 {
namespace {

constexpr wchar_t kClassName[] = L"VEK.F_ZERO";
constexpr UINT_PTR kTmBln = 1;

// The balloon: a thin frame and no title bar, so that the frame fits inside
// the margin around the label; no task-bar button, and it never takes the
// keyboard focus, not even when it is clicked.
constexpr DWORD kBalloonStyle = WS_POPUP | WS_BORDER;
constexpr DWORD kBalloonExStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
// Until it is shown, a message-only child (see BecomeTopLevel).
constexpr DWORD kHiddenStyle = WS_CHILD;
// The test window shows its caption, so it has a title bar and a close box.
constexpr DWORD kTestStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kTestExStyle = 0;

// LbBln's look.
constexpr COLORREF kLabelBackColor = RGB(64, 64, 64);
constexpr COLORREF kLabelForeColor = RGB(0, 255, 0);
constexpr int kLabelPoints = 12;
// "ＭＳ 明朝"; where it is missing, the font mapper picks a Japanese substitute
// from the character set.
constexpr wchar_t kLabelFace[] = L"\uFF2D\uFF33 \u660E\u671D";
// One line at a time (lines end only at CR LF, split beforehand), tabs
// expanded, '&' shown as it is rather than taken as a mnemonic prefix.
constexpr UINT kLabelFormat =
    DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS | DT_NOCLIP;

// Calls f for every line of text; only CR LF ends a line, so a text ending
// in CR LF has an empty last line, and an empty text has one empty line. A
// CR or LF on its own shows nothing: while a CR LF is being typed, the CR
// must not flash up as a glyph for a tick.
template <typename F>
void ForEachLine(std::wstring_view text, F&& f) {
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(L"\r\n", start);
        std::wstring line(text.substr(start, end - start));  // the rest, when no CR LF follows
        std::erase_if(line, [](wchar_t c) { return c == L'\r' || c == L'\n'; });
        f(std::wstring_view(line));
        if (end == std::wstring_view::npos) return;
        start = end + 2;
    }
}

// The window's DPI: its monitor's on systems that scale per monitor
// (GetDpiForWindow, looked up at run time so that older systems still start),
// the screen's otherwise.
UINT WindowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    const auto getDpiForWindow =
        SystemFunction<GetDpiForWindowFn>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        if (UINT dpi = getDpiForWindow(hwnd); dpi != 0) return dpi;
    }
    const ScopedDc screen(CreateCompatibleDC(nullptr));
    const int dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

HFONT CreateLabelFont(UINT dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(kLabelPoints, static_cast<int>(dpi), 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = SHIFTJIS_CHARSET;  // precision, quality, pitch and family: the defaults (0)
    std::copy(std::begin(kLabelFace), std::end(kLabelFace), font.lfFaceName);
    return CreateFontIndirectW(&font);
}

}  // namespace

FormWindow::FormWindow(HINSTANCE instance, F_ZERO& form) : form_(form) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &FormWindow::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = kClassName;
    // No background brush: the paint covers the whole client area itself.
    RegisterClassExW(&wc);
    // Most runs only send one message and end, so the window starts as a
    // message-only window: it has its handle at once, but costs no desktop
    // (under Wine, no display driver) and receives no broadcasts. It becomes a
    // top-level window, with the same handle, only when it is to be shown.
    hwnd_ = CreateWindowExW(kBalloonExStyle, kClassName, L"VEK", kHiddenStyle, 0, 0, 0, 0,
                            HWND_MESSAGE, nullptr, instance, this);
    if (hwnd_ == nullptr) ThrowLastError(Operation::CreateWindow);
}

FormWindow::~FormWindow() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

int FormWindow::Run(Outcome outcome) {
    RethrowFailure();
    if (outcome == Outcome::ShowBalloon) {
        ShowBalloon();
    } else if (outcome == Outcome::ShowTestWindow) {
        ShowTestWindow();
    } else {
        return form_.ExitCode();
    }
    RethrowFailure();

    loopRunning_ = true;
    for (;;) {
        MSG msg;
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) break;
        if (got == -1) {
            loopRunning_ = false;
            ThrowLastError(Operation::ReadMessages);
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    loopRunning_ = false;
    RethrowFailure();
    return form_.ExitCode();
}

void FormWindow::RethrowFailure() {
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

// StartBln's part on the screen: the balloon appears at the bottom left,
// fitted to its still empty label, and the timer starts. It stays on the
// primary screen, where the window already is, at that screen's DPI.
void FormWindow::ShowBalloon() {
    mode_ = Mode::Balloon;
    BecomeTopLevel(kBalloonStyle, kBalloonExStyle);
    UseDpi(WindowDpi(hwnd_));
    Fit();
    if (SetTimer(hwnd_, kTmBln, kBlnTickMs, nullptr) == 0) ThrowLastError(Operation::StartTimer);
    // In front of other windows, the task bar included, without taking the
    // keyboard focus from whatever the user is doing.
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateWindow(hwnd_);
}

// The test window: no player and no timer; it stays until it is closed. Its
// caption is its own handle; the system may widen it to its smallest size
// for a window with a title bar.
void FormWindow::ShowTestWindow() {
    mode_ = Mode::TestWindow;
    BecomeTopLevel(kTestStyle, kTestExStyle);
    UseDpi(WindowDpi(hwnd_));
    const PixelRect r = TestWindowRect(static_cast<int>(dpi_));
    SetWindowPos(hwnd_, nullptr, r.left, r.top, r.width, r.height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    SetWindowTextW(hwnd_, Wide(PlainNumber(FromHwnd(hwnd_))).c_str());
    SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateWindow(hwnd_);
}

// From a message-only window to a top-level one, still hidden, keeping its
// handle. The window is a child while it changes parents, so that the move
// cannot activate it (some systems activate a re-parented top-level window);
// it takes its own style once it is on the desktop.
void FormWindow::BecomeTopLevel(DWORD style, DWORD exStyle) {
    if (SetParent(hwnd_, nullptr) == nullptr) ThrowLastError(Operation::ShowWindow);
    SetWindowLongPtrW(hwnd_, GWL_STYLE, static_cast<LONG_PTR>(style));
    SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle));
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void FormWindow::TmBln_Timer() {
    if (form_.TmBln_Timer() == Outcome::EndRun) {
        EndRun();
        return;
    }
    SetLabelCaption(form_.BlnShown);
    Fit();
    UpdateWindow(hwnd_);
}

void FormWindow::SetLabelCaption(std::u16string_view caption) {
    if (caption == U16(lbBlnCaption_)) return;  // while waiting: nothing to repaint
    lbBlnCaption_ = Wide(caption);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

// The label sizes itself to its caption: as wide as its widest line, as high
// as its lines, one line for an empty caption.
SIZE FormWindow::LabelSize() const {
    const ScopedDc dc(CreateCompatibleDC(nullptr));
    SelectObject(dc.Get(), font_.Get());
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc.Get(), &metrics);
    LONG width = 0;
    LONG lines = 0;
    ForEachLine(lbBlnCaption_, [&](std::wstring_view line) {
        ++lines;
        if (line.empty()) return;
        RECT r{};
        DrawTextW(dc.Get(), line.data(), static_cast<int>(line.size()), &r,
                  kLabelFormat | DT_CALCRECT);
        width = std::max(width, r.right - r.left);
    });
    return {width, lines * metrics.tmHeight};
}

// The label fills the client area from its top left corner; the window's
// outer size, frame included, is the label's size plus the margin, so the
// frame takes its share of the margin and the rest shows as background
// right of and below the text. The bottom edge stays at its gap above the
// bottom of the primary screen, where the balloon's left edge also is.
void FormWindow::Fit() {
    const SIZE label = LabelSize();
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const int dpi = static_cast<int>(dpi_);
    const PixelRect want = BalloonRect({label.cx, label.cy}, screenHeight, dpi);
    SetWindowPos(hwnd_, nullptr, want.left, want.top, want.width, want.height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
    // The system may not give the window the height asked for: the top
    // follows the height it took, so that the bottom edge stays in place.
    RECT got{};
    GetWindowRect(hwnd_, &got);
    const int top = BalloonTop(got.bottom - got.top, screenHeight, dpi);
    if (got.top != top || got.left != want.left) {
        SetWindowPos(hwnd_, nullptr, want.left, top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
    }
}

void FormWindow::UseDpi(UINT dpi) {
    dpi_ = dpi;
    font_.Reset(CreateLabelFont(dpi));
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void FormWindow::Paint(HDC dc) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    SetDCBrushColor(dc, kLabelBackColor);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SelectObject(dc, font_.Get());
    SetTextColor(dc, kLabelForeColor);
    SetBkMode(dc, TRANSPARENT);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    LONG y = 0;
    ForEachLine(lbBlnCaption_, [&](std::wstring_view line) {
        RECT r{0, y, client.right, y + metrics.tmHeight};
        DrawTextW(dc, line.data(), static_cast<int>(line.size()), &r, kLabelFormat);
        y += metrics.tmHeight;
    });
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
    // After a failure no handler runs any more; the run is ending.
    if (self->failure_ && message != WM_DESTROY && message != WM_NCDESTROY) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    // Exceptions must not unwind through the system's code: keep the failure
    // and end the run; Run rethrows it.
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        self->failure_ = std::current_exception();
        if (self->loopRunning_) PostQuitMessage(1);
        return 0;
    }
}

LRESULT FormWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kTmBln && mode_ == Mode::Balloon) TmBln_Timer();
            return 0;
        case WM_LBUTTONDBLCLK:
            // A double-click on the label ends the run. The label covers the
            // balloon but for the margin's strip, which counts as the label
            // too.
            if (mode_ == Mode::Balloon) EndRun();
            return 0;
        case WM_MOUSEACTIVATE:
            if (mode_ == Mode::Balloon) return MA_NOACTIVATE;
            break;
        case WM_ERASEBKGND:
            return 1;  // the paint covers everything: erasing first would flicker
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            if (const HDC dc = BeginPaint(hwnd_, &paint)) Paint(dc);
            EndPaint(hwnd_, &paint);
            return 0;
        }
        case WM_DPICHANGED:
            // The test window, wherever the user took it, at the size the
            // new DPI suggests. The balloon keeps the DPI it started with for
            // its few seconds.
            if (mode_ == Mode::TestWindow) {
                UseDpi(HIWORD(wParam));
                const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
                SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                             suggested->right - suggested->left, suggested->bottom - suggested->top,
                             SWP_NOZORDER | SWP_NOACTIVATE);
            }
            return 0;
        case WM_DESTROY:
            // Only a running message loop is told to stop: a quit message left
            // behind would close the failure report's message box at once.
            if (loopRunning_) PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY: {
            HWND hwnd = std::exchange(hwnd_, nullptr);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace vek::win32
