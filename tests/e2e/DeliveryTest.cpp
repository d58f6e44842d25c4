// Host window lookup through the host's shared memory, and DROP, through the
// real vek.exe and stand-in hosts. Wine does not hand a posted WM_DROPFILES
// block to another process, so here a drop is seen arriving (or not) at a
// window; its content is checked in process by the Win32 tests.

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "Rig.h"

namespace vek::e2e {
namespace {

// The host's records of one kind, once at least `count` of them are there
// or the time is up.
std::vector<HostRecord> WaitForRecords(const Host& host, std::string_view kind, std::size_t count,
                                       std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::vector<HostRecord> found;
        for (HostRecord& r : host.Records()) {
            if (r.kind == kind) found.push_back(std::move(r));
        }
        if (found.size() >= count || std::chrono::steady_clock::now() > deadline) return found;
        std::this_thread::sleep_for(50ms);
    }
}

// Shared memory as a host lays it out: a 4-byte size, then the entries.
std::string HostMemory(std::string_view entries) {
    const auto size = static_cast<std::uint32_t>(4 + entries.size());
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &size, 4);
    return bytes + std::string(entries);
}

class DeliveryTest : public ::testing::TestWithParam<Build> {
protected:
    const Build& build() const { return GetParam(); }

    // Runs vek.exe in dir; it must end normally, at once and without a word.
    // Runs args; a not-ready balloon, where there is one, is closed at once.
    void RunQuietly(std::string_view args) {
        RunResult run = RunVek(build(), dir.Path(), args,
                               {.probeArgs = {"--sample-windows", "20", "--close-after", "300"}});
        EXPECT_FALSE(run.timedOut) << args;
        EXPECT_EQ(run.exitCode, 0) << args << ": " << run.stderrText;
        EXPECT_TRUE(run.boxes.empty())
            << args << ": " << (run.boxes.empty() ? "" : run.boxes[0].text);
    }

    // A host that publishes raw bytes under name, from a file in its own directory.
    Host::Options Raw(const ScratchDir& hostDir, const char* name, std::string_view bytes) {
        WriteFile(hostDir / "memory.bin", bytes);
        return {.extraArgs = {"--publish-raw", name, WinPath(hostDir / "memory.bin")}};
    }

    ScratchDir dir;  // where vek.exe runs
};

TEST_P(DeliveryTest, LookupThroughSakuraAlone) {
    ScratchDir hostDir;
    Host host(hostDir.Path(), {.extraArgs = {"--publish", "Sakura"}});
    WriteFile(dir / "a.txt", "x");
    RunQuietly("OnLookup#1");
    auto got = host.CopyDatas();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].dwData, 9801u);
    EXPECT_NE(got[0].bytes.find("\r\nEvent: OnLookup\r\nReference0: 1\r\n"), std::string::npos);

    RunQuietly("DROP#a.txt");
    auto drops = WaitForRecords(host, "DROPFILES", 1);
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].Value("window"), std::to_string(host.Hwnd()));
}

TEST_P(DeliveryTest, EnbryoWinsOverSakura) {
    ScratchDir sakuraDir;
    ScratchDir enbryoDir;
    Host sakura(sakuraDir.Path(), {.extraArgs = {"--publish", "Sakura"}});
    Host enbryo(enbryoDir.Path(), {.extraArgs = {"--publish", "enbryo"}});
    WriteFile(dir / "a.txt", "x");
    RunQuietly("OnWhich");
    RunQuietly("DROP#a.txt");
    EXPECT_EQ(enbryo.CopyDatas().size(), 1u);
    EXPECT_EQ(WaitForRecords(enbryo, "DROPFILES", 1).size(), 1u);
    EXPECT_TRUE(sakura.CopyDatas().empty());
    EXPECT_TRUE(WaitForRecords(sakura, "DROPFILES", 1, 0ms).empty());
}

TEST_P(DeliveryTest, MalformedHostMemoryGivesNoTargetAndNoError) {
    // The receiver stands by; the memory names it in ways that must not count.
    ScratchDir receiverDir;
    Host receiver(receiverDir.Path());
    const std::string h = std::to_string(receiver.Hwnd());
    for (const std::string& entries :
         {h + "abc\x01value\r\n",  // no handle entry; the first entry begins with digits
          "x.hwnd\x01" + h,        // no CR after the value
          std::string("x.hwnd\x01") + "99999999999\r\n",  // beyond 32 bits
          "x.HWND\x01" + h + "\r\n"}) {
        ScratchDir hostDir;
        Host publisher(hostDir.Path(), Raw(hostDir, "Sakura", HostMemory(entries)));
        RunQuietly("OnMalformed");
        EXPECT_TRUE(publisher.CopyDatas().empty());
    }
    EXPECT_TRUE(receiver.CopyDatas().empty());
}

TEST_P(DeliveryTest, ShortMappingIsReadWhole) {
    ScratchDir receiverDir;
    Host receiver(receiverDir.Path());
    ScratchDir hostDir;
    const std::string memory = HostMemory("h.hwnd\x01" + std::to_string(receiver.Hwnd()) + "\r\n");
    ASSERT_LT(memory.size(), 32u);
    Host publisher(hostDir.Path(), Raw(hostDir, "enbryo", memory));
    RunQuietly("OnShort");
    EXPECT_EQ(receiver.CopyDatas().size(), 1u);
    EXPECT_TRUE(publisher.CopyDatas().empty());
}

TEST_P(DeliveryTest, DropOfAFileArrives) {
    Host host(dir.Path(), {.iniDir = dir.Path()});
    WriteFile(dir / "a.txt", "x");
    RunQuietly("DROP#a.txt");
    auto drops = WaitForRecords(host, "DROPFILES", 1);
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].Value("window"), std::to_string(host.Hwnd()));
    EXPECT_TRUE(host.CopyDatas().empty());
}

TEST_P(DeliveryTest, OnlyAnExistingNormalFileIsDropped) {
    Host host(dir.Path(), {.iniDir = dir.Path()});
    WriteFile(dir / "a.txt", "x");
    WriteFile(dir / ".hidden.txt", "x");  // Wine shows dot files as hidden
    fs::create_directory(dir / "sub");
    for (const char* args : {"DROP#missing.txt", "DROP#sub", "DROP#.hidden.txt", "DROP#*.txt",
                             "DROP#a.tx?", "DROP", "DROP#", "DROP# a.txt"}) {
        RunQuietly(args);
    }
    // Posted messages arrive in order: once this one is in, any earlier one would be too.
    RunQuietly("DROP#a.txt");
    EXPECT_EQ(WaitForRecords(host, "DROPFILES", 2, 1s).size(), 1u);
}

TEST_P(DeliveryTest, JapaneseFileName) {
    Host host(dir.Path(), {.iniDir = dir.Path()});
    // Wine keeps Windows file names in the Unix locale's character set.
    if (host.CodePage() != 932) GTEST_SKIP() << "needs code page 932";
    WriteFile(dir / "日本語の名前.txt", "x");
    RunQuietly("DROP#日本語の名前.txt");
    EXPECT_EQ(WaitForRecords(host, "DROPFILES", 1).size(), 1u);
}

TEST_P(DeliveryTest, NoDropWithoutAWindowTarget) {
    Host host(dir.Path());
    WriteFile(dir / "a.txt", "x");
    // -1 and the broadcast handle would reach every top-level window, this host's too.
    for (const char* target : {"-1", "65535", "&HFFFF", "0", "2147480000"}) {
        WriteFile(dir / "vek.ini", std::string(target) + "\r\n");
        RunQuietly("DROP#a.txt");
    }
    WriteFile(dir / "vek.ini", std::to_string(host.Hwnd()) + "\r\n");
    RunQuietly("DROP#a.txt");
    EXPECT_EQ(WaitForRecords(host, "DROPFILES", 2, 1s).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Builds, DeliveryTest, ::testing::ValuesIn(Builds()),
                         [](const ::testing::TestParamInfo<Build>& p) { return p.param.name; });

}  // namespace
}  // namespace vek::e2e
