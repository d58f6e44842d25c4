#include "platform/win32/FormWindow.h"

#include <algorithm>
#include <utility>

#include "balloon/Layout.h"
#include "balloon/Player.h"
#include "platform/win32/WinText.h"
#include "text/Text.h"

namespace vek::win32 {
namespace {

constexpr wchar_t kClassName[] = L"VEK.F_ZERO";
constexpr UINT_PTR kTmBln = 1;

// The balloon: a thin frame, which fits inside the label's margin, and no title
// bar; no task-bar button, and it never takes the focus, not even when clicked.
constexpr DWORD kBalloonStyle = WS_POPUP | WS_BORDER;
constexpr DWORD kBalloonExStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
// The test window shows its caption, so it has a title bar and a close box.
constexpr DWORD kTestStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

constexpr COLORREF kLabelBackColor = RGB(64, 64, 64);
constexpr COLORREF kLabelForeColor = RGB(0, 255, 0);
constexpr int kLabelPoints = 12;
// "ＭＳ 明朝", else the font mapper's Japanese substitute for the character set.
constexpr wchar_t kLabelFace[] = L"\uFF2D\uFF33 \u660E\u671D";
// One line at a time (lines end only at CR LF, split beforehand), tabs
// expanded, '&' shown as it is rather than taken as a mnemonic prefix.
constexpr UINT kLabelFormat = DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS | DT_NOCLIP;

// Calls f for every line; only CR LF ends one, so a text ending in CR LF has an
// empty last line, and an empty text one empty line. A lone CR or LF shows
// nothing: while a CR LF is being typed, the CR must not flash up for a tick.
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

// The window's monitor's DPI where the system scales per monitor (looked up at
// run time, so that older systems still start), else the screen's.
UINT WindowDpi(HWND hwnd) {
    const auto getDpiForWindow =
        SystemFunction<UINT(WINAPI*)(HWND)>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    if (const UINT dpi = getDpiForWindow ? getDpiForWindow(hwnd) : 0; dpi != 0) return dpi;
    const ScopedDc screen(CreateCompatibleDC(nullptr));
    const int dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace

FormWindow::FormWindow(HINSTANCE instance, F_ZERO& form) : form_(form) {
    // No background brush: the paint covers the whole client area itself.
    const WNDCLASSEXW wc{.cbSize = sizeof(WNDCLASSEXW),
                         .style = CS_DBLCLKS,
                         .lpfnWndProc = &FormWindow::WindowProc,
                         .hInstance = instance,
                         .hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)),  // IDC_ARROW
                         .lpszClassName = kClassName};
    RegisterClassExW(&wc);
    // Most runs send one message and end: a message-only child has its handle at
    // once, costs no desktop (under Wine, no display driver), takes no broadcast.
    hwnd_ = CreateWindowExW(kBalloonExStyle, kClassName, L"VEK", WS_CHILD, 0, 0, 0, 0, HWND_MESSAGE,
                            nullptr, instance, this);
    if (hwnd_ == nullptr) ThrowLastError(Operation::CreateWindow);
}

FormWindow::~FormWindow() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

int FormWindow::Run(Outcome outcome) {
    RethrowFailure();
    if (outcome != Outcome::ShowBalloon && outcome != Outcome::ShowTestWindow) {
        return form_.ExitCode();
    }
    Show(outcome == Outcome::ShowBalloon ? Mode::Balloon : Mode::TestWindow);
    RethrowFailure();
    loopRunning_ = true;
    MSG msg;
    BOOL got = 0;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    loopRunning_ = false;
    if (got == -1) ThrowLastError(Operation::ReadMessages);
    RethrowFailure();
    return form_.ExitCode();
}

void FormWindow::RethrowFailure() {
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

// From a message-only window to a top-level one with the same handle, a child
// while it changes parents so that the move cannot activate it (some systems do).
// The balloon: bottom left on the primary screen, fitted to its empty label, in
// front of every window and the task bar, not taking the focus. The test window's
// caption is its handle; the system may widen it to a title bar's smallest size.
void FormWindow::Show(Mode mode) {
    mode_ = mode;
    const bool balloon = mode == Mode::Balloon;
    if (SetParent(hwnd_, nullptr) == nullptr) ThrowLastError(Operation::ShowWindow);
    SetWindowLongPtrW(hwnd_, GWL_STYLE,
                      static_cast<LONG_PTR>(balloon ? kBalloonStyle : kTestStyle));
    SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, static_cast<LONG_PTR>(balloon ? kBalloonExStyle : 0));
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    UseDpi(WindowDpi(hwnd_));
    if (balloon) {
        Fit();
        if (SetTimer(hwnd_, kTmBln, kBlnTickMs, nullptr) == 0)
            ThrowLastError(Operation::StartTimer);
    } else {
        const PixelRect r = TestWindowRect(static_cast<int>(dpi_));
        SetWindowPos(hwnd_, nullptr, r.left, r.top, r.width, r.height,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        SetWindowTextW(hwnd_, Wide(PlainNumber(FromHwnd(hwnd_))).c_str());
    }
    SetWindowPos(hwnd_, balloon ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateWindow(hwnd_);
}

// The label is as wide as its widest line and as high as its lines (one for an
// empty caption), from the client area's top left; the window, frame included,
// is the label plus the margin. The bottom edge stays at its gap above the
// primary screen's bottom, where the left edge also is.
void FormWindow::Fit() {
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
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const int dpi = static_cast<int>(dpi_);
    const PixelRect want = BalloonRect({width, lines * metrics.tmHeight}, screenHeight, dpi);
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
    LOGFONTW font{};
    font.lfHeight = -MulDiv(kLabelPoints, static_cast<int>(dpi), 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = SHIFTJIS_CHARSET;  // precision, quality, pitch and family: the defaults (0)
    std::copy(std::begin(kLabelFace), std::end(kLabelFace), font.lfFaceName);
    font_.Reset(CreateFontIndirectW(&font));
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

LRESULT CALLBACK FormWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<FormWindow*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    // After a failure no handler runs any more but those that end the window.
    if (self == nullptr || (self->failure_ && message != WM_DESTROY && message != WM_NCDESTROY)) {
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
            if (wParam != kTmBln || mode_ != Mode::Balloon) return 0;
            if (form_.TmBln_Timer() == Outcome::EndRun) {
                DestroyWindow(hwnd_);
                return 0;
            }
            if (std::wstring shown = Wide(form_.BlnShown); shown != lbBlnCaption_) {
                lbBlnCaption_ = std::move(shown);
                InvalidateRect(hwnd_, nullptr, FALSE);
            }
            Fit();
            UpdateWindow(hwnd_);
            return 0;
        case WM_LBUTTONDBLCLK:
            // On the label, or the margin's strip around it, it ends the run.
            if (mode_ == Mode::Balloon) DestroyWindow(hwnd_);
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
            // The test window, wherever the user took it, at the size the new DPI
            // suggests; the balloon keeps its DPI for its few seconds.
            if (mode_ == Mode::TestWindow) {
                UseDpi(HIWORD(wParam));
                const RECT& r = *reinterpret_cast<const RECT*>(lParam);  // the suggested one
                SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
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
