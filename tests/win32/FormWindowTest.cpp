// The form's window against the real window system (under Wine here): the
// balloon's fit around its label, the test window, how a run ends, and a
// failure inside a handler reaching the caller. Checks run from inside the
// window's own message loop, on a thread timer.

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "app/F_ZERO.h"
#include "app/Failure.h"
#include "balloon/Layout.h"
#include "platform/win32/FormWindow.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinText.h"
#include "text/Text.h"

namespace vek::win32 {
namespace {

// Calls step every 20 ms from inside the running message loop until it
// returns true; gives up (and fails) after ten seconds.
class InLoop {
public:
    explicit InLoop(std::function<bool()> step) {
        step_ = std::move(step);
        deadline_ = GetTickCount64() + 10000;
        id_ = SetTimer(nullptr, 0, 20, &InLoop::Fire);
    }
    ~InLoop() {
        if (id_ != 0) KillTimer(nullptr, id_);
        step_ = nullptr;
    }
    InLoop(const InLoop&) = delete;
    InLoop& operator=(const InLoop&) = delete;

private:
    static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
        if (!step_) return;
        if (GetTickCount64() > deadline_) {
            ADD_FAILURE() << "the awaited state never came";
            step_ = nullptr;
            KillTimer(nullptr, id);
            PostQuitMessage(99);
            return;
        }
        if (step_()) {
            step_ = nullptr;
            KillTimer(nullptr, id);
        }
    }
    static inline std::function<bool()> step_;
    static inline ULONGLONG deadline_ = 0;
    UINT_PTR id_ = 0;
};

// The label's font as the balloon must use it, for the expected sizes.
struct LabelFont {
    explicit LabelFont(int dpi) {
        LOGFONTW lf{};
        lf.lfHeight = -MulDiv(12, dpi, 72);
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = SHIFTJIS_CHARSET;
        wcscpy(lf.lfFaceName, L"\uFF2D\uFF33 \u660E\u671D");
        font = CreateFontIndirectW(&lf);
        dc = GetDC(nullptr);
        old = SelectObject(dc, font);
    }
    ~LabelFont() {
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        DeleteObject(font);
    }
    int LineHeight() const {
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        return tm.tmHeight;
    }
    int Width(std::wstring_view line) const {
        RECT r{};
        DrawTextW(dc, line.data(), static_cast<int>(line.size()), &r,
                  DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS);
        return r.right - r.left;
    }
    HFONT font;
    HDC dc;
    HGDIOBJ old;
};

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

bool QuitMessageLeftBehind() {
    MSG msg;
    return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

class FormWindowTest : public ::testing::Test {
protected:
    // What StartBln leaves for the timer.
    void Play(std::u16string text) {
        form.BlnText = std::move(text);
        form.BlnShown.clear();
        form.BlnPos = 1;
        form.BlnWait = 0;
    }

    Win32Platform platform;
    F_ZERO form{platform};
    FormWindow window{GetModuleHandleW(nullptr), form};
    HWND hwnd = window.Handle();
};

struct Seen {
    RECT rect{};
    bool visible = false;
    bool foreground = false;
};

TEST_F(FormWindowTest, BalloonSitsAtTheBottomLeftAndEndsOnADoubleClick) {
    const int dpi = ScreenDpi();
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    Play(u"first\\nsecond line");
    Seen seen;
    // Once everything is typed, well before the run would end by itself.
    InLoop look([&] {
        if (form.BlnPos <= static_cast<std::int32_t>(form.BlnText.size())) return false;
        GetWindowRect(hwnd, &seen.rect);
        seen.visible = IsWindowVisible(hwnd) != FALSE;
        seen.foreground = GetForegroundWindow() == hwnd;
        PostMessageW(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
        return true;
    });
    EXPECT_EQ(window.Run(Outcome::ShowBalloon), 0);
    EXPECT_TRUE(seen.visible);
    EXPECT_FALSE(seen.foreground);
    EXPECT_EQ(seen.rect.left, TwipsToPixels(500, dpi));
    EXPECT_EQ(seen.rect.bottom, screenHeight - TwipsToPixels(500, dpi));
    EXPECT_LT(form.BlnPos, static_cast<std::int32_t>(form.BlnText.size()) + 40);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(QuitMessageLeftBehind());
}

TEST(FormWindowLabelTest, EveryLabelShapeFits) {
    // Each shape in a window of its own: a run ends with its window.
    const int dpi = ScreenDpi();
    const int margin = TwipsToPixels(120, dpi);
    const LabelFont font(dpi);
    struct Case {
        std::u16string text;
        int lines;
        int width;
    };
    const Case cases[] = {
        {u"ab\\ncd&e\r\n\tx", 3,
         std::max({font.Width(L"ab"), font.Width(L"cd&e"), font.Width(L"\tx")})},
        {u"a\rb\nc\r\n", 2, font.Width(L"abc")},
        {u"long line\r\nsecond\\cz", 1, font.Width(L"z")},
        {u"", 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text));
        Win32Platform platform;
        F_ZERO form{platform};
        FormWindow window{GetModuleHandleW(nullptr), form};
        HWND hwnd = window.Handle();
        form.BlnText = c.text;
        form.BlnPos = 1;
        RECT rect{};
        InLoop look([&] {
            // Everything typed, or for the empty text, the first tick done.
            if (form.BlnPos <= static_cast<std::int32_t>(form.BlnText.size()) || form.BlnPos == 1) {
                return false;
            }
            GetWindowRect(hwnd, &rect);
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
            return true;
        });
        EXPECT_EQ(window.Run(Outcome::ShowBalloon), 0);
        EXPECT_EQ(rect.right - rect.left, c.width + margin);
        EXPECT_EQ(rect.bottom - rect.top, c.lines * font.LineHeight() + margin);
        EXPECT_FALSE(IsWindow(hwnd));
    }
}

TEST_F(FormWindowTest, TestWindowShowsItsHandleAndStaysUntilClosed) {
    const int dpi = ScreenDpi();
    std::wstring caption;
    RECT rect{};
    bool survivedDoubleClick = false;
    int step = 0;
    InLoop look([&] {
        if (step++ == 0) {
            wchar_t text[64] = {};
            GetWindowTextW(hwnd, text, 64);
            caption = text;
            GetWindowRect(hwnd, &rect);
            PostMessageW(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
            return false;
        }
        if (step < 10) return false;  // some 200 ms later
        survivedDoubleClick = IsWindowVisible(hwnd) != FALSE;
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return true;
    });
    EXPECT_EQ(window.Run(Outcome::ShowTestWindow), 0);
    EXPECT_EQ(caption, Wide(PlainNumber(FromHwnd(hwnd))));
    EXPECT_NE(caption.front(), L' ');
    EXPECT_EQ(rect.left, TwipsToPixels(1500, dpi));
    EXPECT_EQ(rect.top, TwipsToPixels(1500, dpi));
    EXPECT_EQ(rect.bottom - rect.top, TwipsToPixels(1900, dpi));
    // At least as wide as asked; the system may widen a window with a title bar.
    EXPECT_GE(rect.right - rect.left, TwipsToPixels(180, dpi));
    EXPECT_TRUE(survivedDoubleClick);
    EXPECT_TRUE(form.BlnShown.empty());
    EXPECT_EQ(form.BlnPos, 0);  // the player never ran
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(FormWindowTest, RunsThatEndInFormLoadShowNothing) {
    EXPECT_EQ(window.Run(Outcome::EndRun), 0);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_FALSE(QuitMessageLeftBehind());
}

TEST_F(FormWindowTest, FailureInATickReachesTheCaller) {
    // Position 0 is no position: the first tick fails.
    form.BlnText = u"x";
    form.BlnPos = 0;
    try {
        window.Run(Outcome::ShowBalloon);
        ADD_FAILURE() << "Run returned";
    } catch (const RuntimeFailure& failure) {
        EXPECT_EQ(failure.Kind(), FailureKind::InvalidArgument);
    }
    // Nothing is left that would close the report's message box at once.
    EXPECT_FALSE(QuitMessageLeftBehind());
}

}  // namespace
}  // namespace vek::win32
