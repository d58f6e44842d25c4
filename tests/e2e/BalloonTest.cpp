// The balloon and the test window on a real (virtual) screen: where they sit,
// how the balloon grows and shrinks while it types, how long it stays, and
// how a double-click or closing the window ends the run. The probe watches
// vek.exe's windows and reports what it saw.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <set>
#include <sstream>

#include "Rig.h"

namespace vek::e2e {
namespace {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

Rect ParseRect(const std::string& text) {
    Rect r;
    char comma = 0;
    std::istringstream in(text);
    in >> r.left >> comma >> r.top >> comma >> r.right >> comma >> r.bottom;
    return r;
}

std::string FromHexText(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

struct WindowSample {
    long t = 0;
    std::int32_t hwnd = 0;
    long pid = 0;
    Rect rect;
    Rect client;
    std::string windowClass;
    std::string caption;
    bool foreground = false;
};

// What the probe saw of one run.
struct Watched {
    long pid = 0;
    int screenHeight = 0;
    int dpi = 0;
    std::vector<WindowSample> samples;
    std::vector<std::string> foregroundOwners;
    std::set<std::int32_t> gone;
    std::optional<long> ended, doubleClicked, closed;

    // Twips as pixels on the probed screen, unrounded.
    double Px(int twips) const { return twips * dpi / 1440.0; }
    long FirstSeen() const { return samples.front().t; }
};

Watched Watch(const RunResult& run) {
    Watched w;
    std::istringstream in(run.probeReport);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const HostRecord r{line.substr(0, line.find(' ')), line};
        if (r.kind == "PID") {
            w.pid = std::stol(line.substr(4));
        } else if (r.kind == "SCREEN") {
            w.screenHeight = std::stoi(r.Value("h"));
            w.dpi = std::stoi(r.Value("dpi"));
        } else if (r.kind == "WINDOW") {
            WindowSample s;
            s.t = std::stol(r.Value("t"));
            s.hwnd = static_cast<std::int32_t>(std::stol(r.Value("hwnd")));
            s.pid = std::stol(r.Value("pid"));
            s.rect = ParseRect(r.Value("rect"));
            s.client = ParseRect(r.Value("client"));
            s.windowClass = FromHexText(r.Value("class"));
            s.caption = FromHexText(r.Value("caption"));
            s.foreground = r.Value("foreground") == "1";
            w.samples.push_back(s);
        } else if (r.kind == "FOREGROUND") {
            w.foregroundOwners.push_back(r.Value("owner"));
        } else if (r.kind == "GONE") {
            w.gone.insert(static_cast<std::int32_t>(std::stol(r.Value("hwnd"))));
        } else if (r.kind == "ENDED") {
            w.ended = std::stol(r.Value("t"));
        } else if (r.kind == "DBLCLICK") {
            w.doubleClicked = std::stol(r.Value("t"));
        } else if (r.kind == "CLOSE") {
            w.closed = std::stol(r.Value("t"));
        }
    }
    return w;
}

class BalloonTest : public ::testing::TestWithParam<Build> {
protected:
    const Build& build() const { return GetParam(); }

    // Runs vek.exe with args and no target while the probe watches its windows.
    Watched RunWatched(std::string_view args, std::vector<std::string> probeArgs) {
        probeArgs.insert(probeArgs.begin(), {"--sample-windows", "20"});
        RunResult run =
            RunVek(build(), dir.Path(), args, {.timeout = 40s, .probeArgs = std::move(probeArgs)});
        EXPECT_FALSE(run.timedOut) << run.probeReport;
        EXPECT_EQ(run.exitCode, 0) << run.stderrText;
        EXPECT_TRUE(run.boxes.empty());
        Watched w = Watch(run);
        EXPECT_FALSE(w.samples.empty()) << run.probeReport;
        EXPECT_TRUE(w.ended.has_value()) << run.probeReport;
        report = run.probeReport;
        return w;
    }

    // Every sample is of one window of vek.exe's own, neither a message box
    // nor in the foreground.
    static void ExpectOneOwnWindow(const Watched& w) {
        for (const WindowSample& s : w.samples) {
            EXPECT_EQ(s.pid, w.pid);
            EXPECT_EQ(s.hwnd, w.samples.front().hwnd);
            EXPECT_NE(s.windowClass, "#32770");
            EXPECT_FALSE(s.foreground) << "at " << s.t << " ms";
        }
    }

    // The balloon's left edge and bottom edge stay where the twips put them.
    static void ExpectBottomLeft(const Watched& w) {
        for (const WindowSample& s : w.samples) {
            EXPECT_LE(std::abs(s.rect.left - w.Px(500)), 1.0) << "at " << s.t << " ms";
            EXPECT_LE(std::abs(s.rect.bottom - (w.screenHeight - w.Px(500))), 1.0)
                << "at " << s.t << " ms";
        }
    }

    ScratchDir dir;
    std::string report;
};

TEST_P(BalloonTest, NotReadyBalloonTypesGrowsShrinksAndEndsByItself) {
    const Watched w = RunWatched("SEND#a\\cb", {"--hold-foreground"});
    ASSERT_FALSE(w.samples.empty());
    ASSERT_TRUE(w.ended);
    ExpectOneOwnWindow(w);
    ExpectBottomLeft(w);
    // The user's window keeps the foreground.
    for (const std::string& owner : w.foregroundOwners) EXPECT_NE(owner, "program");

    // Heights are whole label lines plus the margin: the first sample has
    // one line (empty or the first character).
    const int margin = static_cast<int>(std::lround(w.Px(120)));
    const int lineHeight = w.samples.front().rect.Height() - margin;
    ASSERT_GT(lineHeight, 0);
    std::vector<int> lines;
    for (const WindowSample& s : w.samples) {
        ASSERT_EQ((s.rect.Height() - margin) % lineHeight, 0) << report;
        const int count = (s.rect.Height() - margin) / lineHeight;
        if (lines.empty() || lines.back() != count) lines.push_back(count);
    }
    // "Object Platform is not ready!!", "SEND SSTP/1.0", "Sender: VEK",
    // "Script: a" then the clear tag; "b", "HWnd: ..." and "Charset: ..." after it.
    EXPECT_EQ(lines, (std::vector<int>{1, 2, 3, 4, 1, 2, 3})) << report;
    // The first line grows to the right as it is typed.
    EXPECT_GT(w.samples[1].rect.Width(), w.samples[0].rect.Width());

    // The tick count: every position one tick, but the new-line and clear
    // tags take one tick for two positions; the run ends on the 81st tick
    // after the end of the text.
    const std::int32_t own = w.samples.front().hwnd;
    const std::string text = "Object Platform is not ready!!\\n" +
                             JoinCrLf({"SEND SSTP/1.0", "Sender: VEK", "Script: a\\cb",
                                       "HWnd:" + Padded(own), "Charset: Shift_JIS"});
    const long ticks = static_cast<long>(text.size()) - 2 + 81;
    const long expectedMs = ticks * 50;
    const long lifetime = *w.ended - w.FirstSeen();
    std::cout << "[ lifetime ] " << build().name << ": " << ticks << " ticks = " << expectedMs
              << " ms; the balloon was up for " << lifetime << " ms\n";
    // Timers do not fire early; under Wine they may fire late.
    EXPECT_GE(lifetime, expectedMs * 95 / 100 - 60) << report;
    EXPECT_LE(lifetime, expectedMs * 2 + 3000) << report;
}

TEST_P(BalloonTest, DoubleClickEndsTheUsageBalloonEarly) {
    const Watched w = RunWatched("", {"--double-click-after", "1500"});
    ASSERT_FALSE(w.samples.empty());
    ASSERT_TRUE(w.ended && w.doubleClicked) << report;
    ExpectOneOwnWindow(w);
    ExpectBottomLeft(w);
    // It was typing, on more than one line, when the double-click came.
    const auto widest = std::max_element(w.samples.begin(), w.samples.end(), [](auto& a, auto& b) {
        return a.rect.Width() < b.rect.Width();
    });
    EXPECT_GT(widest->rect.Width(), w.samples.front().rect.Width());
    EXPECT_GT(w.samples.back().rect.Height(), w.samples.front().rect.Height());
    // The usage text plays for about 20 s; the double-click ended it at once.
    EXPECT_LT(*w.ended - *w.doubleClicked, 1000) << report;
}

TEST_P(BalloonTest, HelpCommandPlaysTheUsageTextUntilClosed) {
    const Watched w = RunWatched("  /?  ", {"--close-after", "1500"});
    ASSERT_FALSE(w.samples.empty());
    ASSERT_TRUE(w.ended && w.closed) << report;
    ExpectOneOwnWindow(w);
    ExpectBottomLeft(w);
    EXPECT_GT(w.samples.back().rect.Height(), w.samples.front().rect.Height());
    EXPECT_GT(w.samples.size(), 10u);  // it kept typing, tick after tick
    EXPECT_LT(*w.ended - *w.closed, 1500) << report;
}

TEST_P(BalloonTest, TestPointShowsItsOwnHandleUntilClosed) {
    const Watched w = RunWatched("TestPoint", {"--close-after", "1500"});
    ASSERT_FALSE(w.samples.empty());
    ASSERT_TRUE(w.ended && w.closed) << report;
    ExpectOneOwnWindow(w);
    const WindowSample& s = w.samples.back();
    EXPECT_EQ(s.caption, std::to_string(s.hwnd));
    EXPECT_LE(std::abs(s.rect.left - w.Px(1500)), 1.0);
    EXPECT_LE(std::abs(s.rect.top - w.Px(1500)), 1.0);
    EXPECT_LE(std::abs(s.rect.Height() - w.Px(1900)), 1.0);
    // The system may widen a window with a title bar beyond the 180 twips.
    EXPECT_GE(s.rect.Width(), std::floor(w.Px(180)));
    // It has a title bar: the client area starts below the top edge.
    EXPECT_GT(s.client.top - s.rect.top, 10);
    // It stayed, unchanged, until it was asked to close.
    EXPECT_EQ(w.samples.size(), 1u) << report;
    EXPECT_GE(*w.ended, *w.closed);
}

INSTANTIATE_TEST_SUITE_P(Builds, BalloonTest, ::testing::ValuesIn(Builds()),
                         [](const ::testing::TestParamInfo<Build>& p) { return p.param.name; });

}  // namespace
}  // namespace vek::e2e
