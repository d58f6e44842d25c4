// Hostile input, end to end: every case either delivers exactly what it
// should or ends with a clear report and a non-zero exit code; nothing hangs,
// nothing is delivered half, nothing stored is lost.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Rig.h"

namespace vek::e2e {
namespace {

std::string Fnv(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (unsigned char b : bytes) {
        hash ^= b;
        hash *= 0x100000001b3u;
    }
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (int i = 0; i < 8; ++i) {  // the bytes as they lie in memory, low first
        const unsigned b = (hash >> (8 * i)) & 0xFF;
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

class HostileTest : public ::testing::TestWithParam<Build> {
protected:
    const Build& build() const { return GetParam(); }

    // A failed run: non-zero exit, the report in the box and on stderr, naming what.
    static void ExpectReported(const RunResult& run, std::string_view names) {
        EXPECT_FALSE(run.timedOut) << run.probeReport;
        EXPECT_EQ(run.exitCode, 1) << run.probeReport;
        ASSERT_EQ(run.boxes.size(), 1u) << run.probeReport;
        EXPECT_EQ(run.boxes[0].caption, "VEK");
        EXPECT_NE(run.boxes[0].text.find(names), std::string::npos) << run.boxes[0].text;
        EXPECT_NE(run.stderrText.find(names), std::string::npos) << run.stderrText;
    }
    static void ExpectClean(const RunResult& run) {
        EXPECT_FALSE(run.timedOut) << run.probeReport;
        EXPECT_EQ(run.exitCode, 0) << run.stderrText;
        EXPECT_TRUE(run.boxes.empty()) << (run.boxes.empty() ? "" : run.boxes[0].text);
    }

    ScratchDir dir;
};

TEST_P(HostileTest, CommandLineOf32000Characters) {
    Host host(dir.Path(), {.iniDir = dir.Path()});
    // 32,000 UTF-16 units with the program's name, a third of them Japanese.
    std::string script;
    for (int i = 0; i < 10000; ++i) script += "\xe3\x81\x82";  // あ
    script += std::string(21900, 'a');
    RunResult run = RunVek(build(), dir.Path(), "SEND#" + script);
    ExpectClean(run);
    auto got = host.CopyDatas();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes,
              ShiftJis(JoinCrLf({"SEND SSTP/1.0", "Sender: VEK", "Script: " + script,
                                 "HWnd: " + std::to_string(got[0].sender), "Charset: Shift_JIS"})));
}

TEST_P(HostileTest, InvalidAndTruncatedShiftJisKeepsTheLines) {
    Host host(dir.Path(), {.iniDir = dir.Path()});
    // A lead byte cut off by a line end, undefined bytes, a lead byte with an
    // invalid trail byte, and a lead byte at the very end of the file.
    WriteFile(dir / "bad.txt",
              "first\r\n\x82\r\nmid\x80\xa0\xfd\xff\r\n\x81\x20x\r\nlast \x93\xfa\r\n\x82");
    RunResult run = RunVek(build(), dir.Path(), "FILE#bad.txt");
    ExpectClean(run);
    auto got = host.CopyDatas();
    ASSERT_EQ(got.size(), 1u);
    const std::string& bytes = got[0].bytes;
    // Every line is there, the good ones byte for byte, each with its end marker.
    EXPECT_NE(bytes.find("Reference3: first\\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("\\nlast \x93\xfa\\n"), std::string::npos) << bytes;
    std::size_t markers = 0;
    for (std::size_t at = bytes.find("Reference3: ");
         (at = bytes.find("\\n", at)) != std::string::npos; at += 2) {
        if (at > bytes.find("Reference4")) break;
        ++markers;
    }
    EXPECT_EQ(markers, 6u) << bytes;
    EXPECT_NE(bytes.find("\r\nReference4: 6\r\n"), std::string::npos) << bytes;
    EXPECT_TRUE(bytes.ends_with("\r\nCharset: Shift_JIS"));
}

TEST_P(HostileTest, HundredMegabyteFileIsDeliveredWholeOrReported) {
    Host host(dir.Path(), {.iniDir = dir.Path(), .extraArgs = {"--digest"}});
    // 100 MB in 1,000,000 lines.
    const std::string filler(98, 'x');
    std::string content;
    content.reserve(100'000'000);
    std::string lines;
    lines.reserve(100'000'000);
    for (int i = 0; i < 1'000'000; ++i) {
        const std::string number = std::to_string(i);
        const std::string line = number + filler.substr(number.size());
        content += line + "\r\n";
        lines += line + "\\n";
    }
    WriteFile(dir / "big.txt", content);
    RunResult run = RunVek(build(), dir.Path(), "FILE#big.txt/0-2147483647", {.timeout = 180s});
    EXPECT_FALSE(run.timedOut) << run.probeReport;
    std::vector<HostRecord> records;
    for (const HostRecord& r : host.Records()) {
        if (r.kind == "COPYDATA") records.push_back(r);
    }
    if (run.exitCode == 0) {
        // Delivered: whole, byte for byte.
        EXPECT_TRUE(run.boxes.empty());
        ASSERT_EQ(records.size(), 1u);
        const std::string expected =
            JoinCrLf({"NOTIFY SSTP/1.0", "Sender: VEK", "Event: OnFileRead", "Reference0: big.txt",
                      "Reference1: 0", "Reference2: 2147483647", "Reference3: " + lines,
                      "Reference4: 1000000", "HWnd: " + records[0].Value("sender"),
                      "SecurityLevel: local", "Charset: Shift_JIS"});
        EXPECT_EQ(records[0].Value("bytes"), std::to_string(expected.size()));
        EXPECT_EQ(records[0].Value("fnv"), Fnv(expected));
    } else {
        // Not taken (Wine passes at most a few megabytes in one message): a
        // clear report, and no part of the request arrived.
        ExpectReported(run, "was not taken by window " + std::to_string(host.Hwnd()));
        EXPECT_TRUE(records.empty());
    }
}

TEST_P(HostileTest, HundredMegabyteFileDefaultRange) {
    // The default range reads the whole file but holds only its first lines.
    Host host(dir.Path(), {.iniDir = dir.Path()});
    std::string content;
    content.reserve(100'000'000);
    const std::string line(98, 'y');
    for (int i = 0; i < 1'000'000; ++i) content += line + "\r\n";
    WriteFile(dir / "big.txt", content);
    ExpectClean(RunVek(build(), dir.Path(), "FILE#big.txt", {.timeout = 60s}));
    auto got = host.CopyDatas();
    ASSERT_EQ(got.size(), 1u);
    std::string selected;
    for (int i = 0; i <= 1024; ++i) selected += line + "\\n";
    EXPECT_EQ(got[0].bytes, JoinCrLf({"NOTIFY SSTP/1.0", "Sender: VEK", "Event: OnFileRead",
                                      "Reference0: big.txt", "Reference1: 0", "Reference2: 1024",
                                      "Reference3: " + selected, "Reference4: 1000000",
                                      "HWnd: " + std::to_string(got[0].sender),
                                      "SecurityLevel: local", "Charset: Shift_JIS"}));
}

TEST_P(HostileTest, InitInAReadOnlyDirectoryKeepsTheOldTarget) {
    WriteFile(dir / "vek.ini", "42\r\n");
    // Root writes anywhere; an immutable directory refuses even root.
    const std::string path = dir.Path().string();
    if (std::system(("chattr +i '" + path + "' 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "this file system cannot make a directory read-only";
    }
    RunResult run = RunVek(build(), dir.Path(), "INIT#1234");
    std::system(("chattr -i '" + path + "'").c_str());
    ExpectReported(run, "vek.ini");
    EXPECT_EQ(ReadFile(dir / "vek.ini"), "42\r\n");
}

TEST_P(HostileTest, FileLockedByAnotherProcessIsReported) {
    WriteFile(dir / "locked.txt", "secret\r\n");
    Host host(dir.Path(),
              {.iniDir = dir.Path(), .extraArgs = {"--lock", WinPath(dir / "locked.txt")}});
    RunResult run = RunVek(build(), dir.Path(), "FILE#locked.txt");
    ExpectReported(run, "locked.txt");
    EXPECT_TRUE(host.CopyDatas().empty());
}

TEST_P(HostileTest, TargetValuesAtAndBeyondThe32BitLimits) {
    Host host(dir.Path());
    for (const char* limit : {"2147483647", "-2147483648", "&H7FFFFFFF", "2147483647.4"}) {
        WriteFile(dir / "vek.ini", std::string(limit) + "\r\n");
        ExpectClean(RunVek(build(), dir.Path(), "OnLimit"));
    }
    for (const char* beyond : {"2147483648", "-2147483649", "2147483647.5", "&H80000000"}) {
        WriteFile(dir / "vek.ini", std::string(beyond) + "\r\n");
        RunResult run = RunVek(build(), dir.Path(), "OnLimit");
        ExpectReported(run, "Overflow");
        EXPECT_NE(run.boxes.at(0).text.find(beyond), std::string::npos) << run.boxes[0].text;
    }
    EXPECT_TRUE(host.CopyDatas().empty());
}

TEST_P(HostileTest, HostMappingShorterThanItsValue) {
    ScratchDir hostDir;
    // The value's CR would lie past the end of the 14-byte object.
    WriteFile(hostDir / "memory.bin", std::string("\x0e\0\0\0x.hwnd\x01"
                                                  "12",
                                                  14));
    Host publisher(hostDir.Path(),
                   {.extraArgs = {"--publish-raw", "Sakura", WinPath(hostDir / "memory.bin")}});
    ExpectClean(RunVek(build(), dir.Path(), "OnShort",
                       {.probeArgs = {"--sample-windows", "20", "--close-after", "300"}}));
    EXPECT_TRUE(publisher.CopyDatas().empty());
}

TEST_P(HostileTest, TargetThatEndsWhileTheRequestIsSent) {
    Host host(dir.Path(), {.iniDir = dir.Path(), .extraArgs = {"--exit-in-copydata"}});
    // vek.exe cannot know whether the host took the request before it ended:
    // it says so, rather than claim a delivery.
    ExpectReported(RunVek(build(), dir.Path(), "OnGone#x", {.timeout = 30s}),
                   "was not taken by window " + std::to_string(host.Hwnd()));
    bool exiting = false;
    for (const HostRecord& r : host.Records()) exiting = exiting || r.kind == "EXITING";
    EXPECT_TRUE(exiting);
    EXPECT_EQ(host.CopyDatas().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Builds, HostileTest, ::testing::ValuesIn(Builds()),
                         [](const ::testing::TestParamInfo<Build>& p) { return p.param.name; });

}  // namespace
}  // namespace vek::e2e
