// The command spine end to end: events, SEND, INIT, the message box, stale
// and broadcast targets and the failure report, through the real vek.exe.

#include <gtest/gtest.h>

#include <cstdlib>

#include "Rig.h"

namespace vek::e2e {
namespace {

class SpineTest : public ::testing::TestWithParam<Build> {
protected:
    const Build& build() const { return GetParam(); }

    // The request as the host must receive it, built by hand from the text
    // lines and the handle that vek.exe reported as sender.
    static std::string Notification(const std::vector<std::string>& middle, std::int32_t own) {
        std::vector<std::string> lines{"NOTIFY SSTP/1.0", "Sender: VEK"};
        lines.insert(lines.end(), middle.begin(), middle.end());
        lines.push_back("HWnd:" + Padded(own));
        lines.push_back("SecurityLevel: local");
        lines.push_back("Charset: Shift_JIS");
        return ShiftJis(JoinCrLf(lines));
    }
    static std::string SendRequest(const std::string& script, std::int32_t own) {
        return ShiftJis(JoinCrLf({"SEND SSTP/1.0", "Sender: VEK", "Script: " + script,
                                  "HWnd:" + Padded(own), "Charset: Shift_JIS"}));
    }

    // Runs args against a fresh host found through vek.ini; returns what the host got.
    std::vector<CopyData> Deliver(std::string_view args) {
        Host host(dir.Path(), {.iniDir = dir.Path()});
        RunResult run = RunVek(build(), dir.Path(), args);
        EXPECT_FALSE(run.timedOut) << run.probeReport;
        EXPECT_EQ(run.exitCode, 0) << run.stderrText;
        EXPECT_TRUE(run.boxes.empty());
        auto received = host.CopyDatas();
        for (const CopyData& c : received) {
            EXPECT_EQ(c.dwData, 9801u);
            EXPECT_NE(c.sender, host.Hwnd());
        }
        return received;
    }

    ScratchDir dir;
};

TEST_P(SpineTest, HostRunsInTheCodePageUnderTest) {
    const char* expected = std::getenv("VEK_E2E_EXPECT_ACP");
    if (expected == nullptr) GTEST_SKIP() << "VEK_E2E_EXPECT_ACP is not set";
    Host host(dir.Path());
    EXPECT_EQ(host.CodePage(), static_cast<unsigned>(std::atoi(expected)));
}

TEST_P(SpineTest, EventWithoutReferences) {
    auto got = Deliver("OnBoot");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, Notification({"Event: OnBoot"}, got[0].sender));
}

TEST_P(SpineTest, EventWithReferences) {
    auto got = Deliver("  OnX # a #  # c#d#e#f#g#h#dropped#too  ");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, Notification({"Event: OnX ", "Reference0: a", "Reference1: ",
                                          "Reference2: c", "Reference3: d", "Reference4: e",
                                          "Reference5: f", "Reference6: g", "Reference7: h"},
                                         got[0].sender));
}

TEST_P(SpineTest, SendVariants) {
    auto got = Deliver("SEND#\\h\\s0hi\\e");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, SendRequest("\\h\\s0hi\\e", got[0].sender));

    got = Deliver("SEND");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, SendRequest("", got[0].sender));

    got = Deliver("SENDER#x");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, SendRequest("R#x", got[0].sender));

    // Quotes are part of the command text: this is an event named '"SEND'.
    got = Deliver("\"SEND#hi\"");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, Notification({"Event: \"SEND", "Reference0: hi\""}, got[0].sender));
}

TEST_P(SpineTest, JapaneseTextArrivesAsShiftJisInEveryCodePage) {
    auto got = Deliver("SEND#\\0こんにちは、世界\\e");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, SendRequest("\\0こんにちは、世界\\e", got[0].sender));

    got = Deliver("On日本語#参照～①#ｶﾀｶﾅ");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes,
              Notification({"Event: On日本語", "Reference0: 参照～①", "Reference1: ｶﾀｶﾅ"},
                           got[0].sender));
}

TEST_P(SpineTest, ProgramNameIsSkippedAsWindowsSplitsIt) {
    Host host(dir.Path(), {.iniDir = dir.Path()});
    RunOptions quoted;
    quoted.programToken = "\"C:\\Program Files\\VEK Tools\\vek.exe\"";
    RunResult run = RunVek(build(), dir.Path(), "  SEND#quoted  ", quoted);
    EXPECT_EQ(run.exitCode, 0);
    RunOptions bare;
    bare.programToken = "vek";
    run = RunVek(build(), dir.Path(), "\tSEND#bare", bare);
    EXPECT_EQ(run.exitCode, 0);
    auto got = host.CopyDatas();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].bytes, SendRequest("quoted", got[0].sender));
    EXPECT_EQ(got[1].bytes, SendRequest("bare", got[1].sender));
}

TEST_P(SpineTest, InitStoresTheTargetForLaterRuns) {
    Host host(dir.Path());
    RunResult run = RunVek(build(), dir.Path(), "INIT#" + std::to_string(host.Hwnd()));
    EXPECT_EQ(run.exitCode, 0) << run.stderrText;
    EXPECT_EQ(ReadFile(dir / "vek.ini"), std::to_string(host.Hwnd()) + "\r\n");

    run = RunVek(build(), dir.Path(), "INIT 0");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(ReadFile(dir / "vek.ini"), std::to_string(host.Hwnd()) + "\r\n");

    run = RunVek(build(), dir.Path(), "OnInit");
    EXPECT_EQ(run.exitCode, 0);
    auto got = host.CopyDatas();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, Notification({"Event: OnInit"}, got[0].sender));

    // No stray temporary files are left beside it.
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        if (entry.path().filename().string().rfind("vek.ini", 0) == 0) ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST_P(SpineTest, InitWritesTheSystemCodePageOrRefuses) {
    Host host(dir.Path());
    WriteFile(dir / "vek.ini", "42\r\n");
    RunResult run = RunVek(build(), dir.Path(), "INIT#４２日本");
    if (host.CodePage() == 932) {
        EXPECT_EQ(run.exitCode, 0) << run.stderrText;
        EXPECT_EQ(ReadFile(dir / "vek.ini"), ShiftJis("４２日本") + "\r\n");
    } else {
        // The text cannot be stored in this code page: refused, old target kept.
        EXPECT_EQ(run.exitCode, 1);
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_NE(run.boxes[0].text.find("INIT"), std::string::npos) << run.boxes[0].text;
        EXPECT_NE(run.stderrText.find("４２日本"), std::string::npos) << run.stderrText;
        EXPECT_EQ(ReadFile(dir / "vek.ini"), "42\r\n");
    }
}

TEST_P(SpineTest, FailedInitIsReportedAndNothingElseHappens) {
    Host host(dir.Path());
    fs::create_directory(dir / "vek.ini");
    RunResult run = RunVek(build(), dir.Path(), "INIT#" + std::to_string(host.Hwnd()));
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, "VEK");
    EXPECT_NE(run.boxes[0].text.find("vek.ini"), std::string::npos) << run.boxes[0].text;
    EXPECT_NE(run.stderrText.find("vek.ini"), std::string::npos) << run.stderrText;
    EXPECT_TRUE(fs::is_directory(dir / "vek.ini"));
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 3);  // vek.ini, the host's log and output: no temporary file left
}

TEST_P(SpineTest, MinusOneShowsTheRequestInAMessageBox) {
    Host host(dir.Path());
    WriteFile(dir / "vek.ini", "-1\r\n");
    RunResult run = RunVek(build(), dir.Path(), "OnX#a");
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, "VEK");
    // The box shows the request; its own-window line names vek's window,
    // which the host never saw, so compare around it.
    const std::string& text = run.boxes[0].text;
    EXPECT_EQ(
        text.rfind("NOTIFY SSTP/1.0\r\nSender: VEK\r\nEvent: OnX\r\nReference0: a\r\nHWnd: ", 0),
        0u)
        << text;
    EXPECT_TRUE(text.ends_with("\r\nSecurityLevel: local\r\nCharset: Shift_JIS")) << text;
    EXPECT_TRUE(host.CopyDatas().empty());
}

TEST_P(SpineTest, StaleAndBroadcastTargetsReceiveNothing) {
    Host host(dir.Path());
    for (const char* target : {"2147480000", "65535", "&HFFFF"}) {
        WriteFile(dir / "vek.ini", std::string(target) + "\r\n");
        RunResult run = RunVek(build(), dir.Path(), "OnStale");
        EXPECT_EQ(run.exitCode, 0) << target;
        EXPECT_FALSE(run.timedOut) << target;
        EXPECT_TRUE(run.boxes.empty()) << target;
    }
    // Sent to the broadcast handle, the request would have reached the host too.
    EXPECT_TRUE(host.CopyDatas().empty());
}

TEST_P(SpineTest, TargetOverflowIsReportedAndNothingIsSent) {
    Host host(dir.Path());
    WriteFile(dir / "vek.ini", "99999999999\r\n");
    RunResult run = RunVek(build(), dir.Path(), "OnX");
    EXPECT_NE(run.exitCode, 0);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, "VEK");
    EXPECT_NE(run.boxes[0].text.find("'99999999999'"), std::string::npos) << run.boxes[0].text;
    EXPECT_NE(run.boxes[0].text.find("vek.ini"), std::string::npos) << run.boxes[0].text;
    EXPECT_NE(run.stderrText.find("'99999999999'"), std::string::npos) << run.stderrText;
    EXPECT_TRUE(host.CopyDatas().empty());
}

TEST_P(SpineTest, TargetFileFormsThatStillWork) {
    Host host(dir.Path());
    const std::string h = std::to_string(host.Hwnd());
    for (const std::string& ini :
         {"\xEF\xBB\xBF" + h + "\r\n", h + ",999\r\n", " " + h, "\"" + h + "\"\r\n"}) {
        WriteFile(dir / "vek.ini", ini);
        RunResult run = RunVek(build(), dir.Path(), "OnForm");
        EXPECT_EQ(run.exitCode, 0) << ini;
    }
    EXPECT_EQ(host.CopyDatas().size(), 4u);
}

TEST_P(SpineTest, NoTargetDeliversNothing) {
    Host host(dir.Path());
    for (const char* ini : {"", "abc\r\n"}) {
        WriteFile(dir / "vek.ini", ini);
        // The not-ready balloon would play for seconds: close it once it is up.
        RunResult run = RunVek(build(), dir.Path(), "OnNothing",
                               {.probeArgs = {"--sample-windows", "20", "--close-after", "300"}});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.boxes.empty());
        EXPECT_NE(run.probeReport.find("\nCLOSE "), std::string::npos) << run.probeReport;
    }
    EXPECT_TRUE(host.CopyDatas().empty());
}

INSTANTIATE_TEST_SUITE_P(Builds, SpineTest, ::testing::ValuesIn(Builds()),
                         [](const ::testing::TestParamInfo<Build>& p) { return p.param.name; });

}  // namespace
}  // namespace vek::e2e
