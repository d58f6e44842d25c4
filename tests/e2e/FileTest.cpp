// The FILE command end to end: the real vek.exe reads a file under Wine and
// the stand-in host must receive exactly the Shift_JIS bytes expected.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Rig.h"

namespace vek::e2e {
namespace {

// Reference lines as the host receives them. Values are bytes: the selected
// lines must arrive as the file holds them.
struct Refs {
    std::string name;
    std::string start;
    std::string end;
    std::string lines;                 // Reference3
    std::optional<std::string> count;  // Reference4; none for a missing file
};

std::string FileNotification(const Refs& r, std::int32_t own) {
    std::vector<std::string> lines{"NOTIFY SSTP/1.0",        "Sender: VEK",
                                   "Event: OnFileRead",      "Reference0: " + r.name,
                                   "Reference1: " + r.start, "Reference2: " + r.end,
                                   "Reference3: " + r.lines};
    if (r.count) lines.push_back("Reference4: " + *r.count);
    lines.push_back("HWnd:" + Padded(own));
    lines.push_back("SecurityLevel: local");
    lines.push_back("Charset: Shift_JIS");
    return JoinCrLf(lines);
}

class FileTest : public ::testing::TestWithParam<Build> {
protected:
    const Build& build() const { return GetParam(); }

    // Runs each command against one host found through vek.ini and checks
    // that the host received the expected request for each, in order.
    using Runs = std::vector<std::pair<std::string, Refs>>;
    void ExpectDelivered(const Runs& runs) {
        Host host(dir.Path(), {.iniDir = dir.Path()});
        ExpectDelivered(host, runs);
    }
    void ExpectDelivered(const Host& host, const Runs& runs) {
        for (const auto& [args, refs] : runs) {
            RunResult run = RunVek(build(), dir.Path(), args);
            EXPECT_FALSE(run.timedOut) << args << "\n" << run.probeReport;
            EXPECT_EQ(run.exitCode, 0) << args << "\n" << run.stderrText;
            EXPECT_TRUE(run.boxes.empty()) << args;
        }
        const std::vector<CopyData> got = host.CopyDatas();
        ASSERT_EQ(got.size(), runs.size());
        for (std::size_t i = 0; i < runs.size(); ++i) {
            EXPECT_EQ(got[i].dwData, 9801u);
            EXPECT_EQ(got[i].bytes, FileNotification(runs[i].second, got[i].sender))
                << runs[i].first;
        }
    }

    ScratchDir dir;
};

TEST_P(FileTest, RangesOfAThreeLineFile) {
    WriteFile(dir / "a.txt", "one\r\ntwo\r\nthree\r\n");
    WriteFile(dir / "my-list.txt", "a\r\nb\r\nc\r\nd");
    ExpectDelivered({
        {"FILE#a.txt", {"a.txt", "0", "1024", "one\\ntwo\\nthree\\n", "3"}},
        {"FILE#a.txt/1-1", {"a.txt", "1", "1", "two\\n", "3"}},
        {"FILE#a.txt/5", {"a.txt", "5", "1024", "", "3"}},
        {"FILE#a.txt/2-", {"a.txt", "2", "0", "", "3"}},
        {"FILE#a.txt/-3", {"a.txt", "0", "3", "one\\ntwo\\nthree\\n", "3"}},
        {"FILE#my-list.txt/1-2", {"my-list.txt", "1", "2", "b\\nc\\n", "4"}},
        {"FILE#a.txt/0-2147483647", {"a.txt", "0", "2147483647", "one\\ntwo\\nthree\\n", "3"}},
    });
}

TEST_P(FileTest, OnlyCrEndsALine) {
    WriteFile(dir / "lf.txt", "a\nb\nc\n");
    WriteFile(dir / "cr.txt", "a\rb\r\rc");
    WriteFile(dir / "split.txt", "x\r\n\ny\r");
    ExpectDelivered({
        {"FILE#lf.txt", {"lf.txt", "0", "1024", "a\nb\nc\n\\n", "1"}},
        {"FILE#cr.txt", {"cr.txt", "0", "1024", "a\\nb\\n\\nc\\n", "4"}},
        {"FILE#split.txt", {"split.txt", "0", "1024", "x\\n\ny\\n", "2"}},
    });
}

TEST_P(FileTest, DefaultRangeOfALongFileTakes1025LinesAndCountsAll) {
    std::string bytes;
    std::string selected;
    for (int i = 0; i < 1100; ++i) {
        bytes += "line " + std::to_string(i) + "\r\n";
        if (i <= 1024) selected += "line " + std::to_string(i) + "\\n";
    }
    WriteFile(dir / "many.txt", bytes);
    ExpectDelivered({
        {"FILE#many.txt", {"many.txt", "0", "1024", selected, "1100"}},
        {"FILE#many.txt/1098", {"many.txt", "1098", "1024", "", "1100"}},
        {"FILE#many.txt/1098-5000",
         {"many.txt", "1098", "5000", "line 1098\\nline 1099\\n", "1100"}},
    });
}

TEST_P(FileTest, JapaneseLinesArriveByteExactInEveryCodePage) {
    // Kanji and kana, trail bytes that are a backslash (ソ, 表, 能), NEC and
    // IBM extensions (①, 髙), half-width katakana, the wave dash.
    const std::string line1 = "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x5c\x83\x74\x83\x67";
    const std::string line2 = "\x95\x5c\x8e\xa6\x94\x5c \x87\x40\xfb\xfc \xb6\xc0\xb6\xc5\x81\x60";
    WriteFile(dir / "jp.txt", line1 + "\r\n" + line2 + "\r\n");
    Runs runs = {
        {"FILE#jp.txt", {"jp.txt", "0", "1024", line1 + "\\n" + line2 + "\\n", "2"}},
        {"FILE#jp.txt/1", {"jp.txt", "1", "1024", line2 + "\\n", "2"}},
    };
    Host host(dir.Path(), {.iniDir = dir.Path()});
    // Japanese file names need Wine in the Japanese locale.
    if (host.CodePage() == 932) {
        WriteFile(dir / "日本語.txt", line2);
        runs.push_back(
            {"FILE#日本語.txt", {ShiftJis("日本語.txt"), "0", "1024", line2 + "\\n", "1"}});
        runs.push_back({"FILE#無い.txt",
                        {ShiftJis("無い.txt"), "0", "1024", ShiftJis("File(無い.txt)NotFound"),
                         std::nullopt}});
    }
    ExpectDelivered(host, runs);
}

TEST_P(FileTest, WhatIsNoFileGivesTheNotFoundReference) {
    WriteFile(dir / "a.txt", "x\r\n");
    fs::create_directory(dir / "sub");
    ExpectDelivered({
        {"FILE# b.txt", {"b.txt", "0", "1024", "File( b.txt)NotFound", std::nullopt}},
        {"FILE#*.txt", {"*.txt", "0", "1024", "File(*.txt)NotFound", std::nullopt}},
        {"FILE#a.tx?/0-0", {"a.tx?", "0", "0", "File(a.tx?)NotFound", std::nullopt}},
        {"FILE#sub", {"sub", "0", "1024", "File(sub)NotFound", std::nullopt}},
    });
}

TEST_P(FileTest, FailuresAreReportedAndNothingIsSent) {
    fs::create_directory(dir / "dir");
    WriteFile(dir / "dir" / "a.txt", "x\r\n");
    Host host(dir.Path(), {.iniDir = dir.Path()});
    struct Case {
        const char* args;
        const char* report;
    };
    const Case cases[] = {
        // The first "/" starts the range, even inside a path.
        {"FILE#dir/a.txt",
         "FILE: the start line after the \"/\" in 'FILE#dir/a.txt': Type mismatch: 'a.txt' is "
         "not a number"},
        {"FILE", "FILE: Invalid procedure call or argument: 'FILE' names no file"},
        {"FILE#dir/0-99999999999",
         "FILE: the end line after the \"-\" in "
         "'FILE#dir/0-99999999999': Overflow: '99999999999' is outside"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        RunResult run = RunVek(build(), dir.Path(), c.args);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 1);
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_EQ(run.boxes[0].caption, "VEK");
        EXPECT_TRUE(run.boxes[0].text.starts_with(c.report)) << run.boxes[0].text;
        EXPECT_NE(run.stderrText.find(c.report), std::string::npos) << run.stderrText;
    }
    EXPECT_TRUE(host.CopyDatas().empty());
}

INSTANTIATE_TEST_SUITE_P(Builds, FileTest, ::testing::ValuesIn(Builds()),
                         [](const ::testing::TestParamInfo<Build>& p) { return p.param.name; });

}  // namespace
}  // namespace vek::e2e
