// Finding the host's window through its shared memory, on snapshots made of bytes.

#include <algorithm>

#include "TestUtil.h"
#include "app/F_ZERO.h"
#include "delivery/HostLookup.h"
#include "platform/fake/FakePlatform.h"

namespace vek {
namespace {

// Ends a key in the host's memory.
const std::string kSoh = "\x01";

// A snapshot holding header, then text at byte offset `at` (4 by default,
// right after the header); zero elsewhere.
HostSnapshot Snapshot(std::string_view text, std::size_t at = 4,
                      std::string_view header = std::string_view("\x00\x04\x00\x00", 4)) {
    HostSnapshot snapshot{};
    std::copy(header.begin(), header.end(), snapshot.begin());
    EXPECT_LE(at + text.size(), snapshot.size()) << "the test's text does not fit";
    std::copy(text.begin(), text.end(), snapshot.begin() + static_cast<std::ptrdiff_t>(at));
    return snapshot;
}

Hwnd Parse(std::string_view text, unsigned codePage = 932) {
    FakePlatform fake(codePage);
    return HostHwndFromSnapshot(fake, Snapshot(text));
}

TEST(HostSnapshotTest, FirstHwndEntryGivesTheHandle) {
    EXPECT_EQ(Parse("name" + kSoh + "host\r\nabc.hwnd" + kSoh + "1234\r\n"), 1234);
    EXPECT_EQ(Parse("hwnd" + kSoh + "77\r\n"), 77);
    EXPECT_EQ(Parse("a.hwnd" + kSoh + "11\r\nb.hwnd" + kSoh + "22\r\n"), 11);
    // The value is read as a number prefix: spaces vanish, trailing text is ignored.
    EXPECT_EQ(Parse("x.hwnd" + kSoh + " 5 678 \r\n"), 5678);
    EXPECT_EQ(Parse("x.hwnd" + kSoh + "42abc\r\n"), 42);
    EXPECT_EQ(Parse("x.hwnd" + kSoh + "-2147483648\r\n"), -2147483647 - 1);
    EXPECT_EQ(Parse("x.hwnd" + kSoh + "2147483647\r\n"), 2147483647);
    // A CR alone ends the value; the LF is not needed.
    EXPECT_EQ(Parse("x.hwnd" + kSoh + "9\rtrailing"), 9);
}

TEST(HostSnapshotTest, NoHwndEntryGivesZeroNotTheFirstEntrysNumber) {
    // A key that begins with digits must not become a target.
    EXPECT_EQ(Parse("1234abc" + kSoh + "value\r\n"), 0);
    EXPECT_EQ(Parse("99\r\n"), 0);
    EXPECT_EQ(Parse("x.hwnd=5\r\n"), 0);             // no U+0001 after the key
    EXPECT_EQ(Parse("x.HWND" + kSoh + "5\r\n"), 0);  // keys are case-sensitive
    EXPECT_EQ(Parse("x.hwndx" + kSoh + "5\r\n"), 0);
    EXPECT_EQ(Parse(""), 0);
}

TEST(HostSnapshotTest, MalformedValuesGiveZeroAndNeverFail) {
    EXPECT_EQ(Parse("x.hwnd" + kSoh + "1234"), 0);    // no CR before the zeros
    EXPECT_EQ(Parse("x.hwnd" + kSoh + "1234\n"), 0);  // LF is not CR
    EXPECT_EQ(Parse("x.hwnd" + kSoh + "99999999999\r\n"), 0);
    EXPECT_EQ(Parse("x.hwnd" + kSoh + "-2147483649\r\n"), 0);
    EXPECT_EQ(Parse("x.hwnd" + kSoh + "1e99\r\n"), 0);
    EXPECT_EQ(Parse("x.hwnd" + kSoh + "&HFFFFFFFFF\r\n"), 0);
    EXPECT_EQ(Parse("x.hwnd" + kSoh + "\r\n"), 0);
    EXPECT_EQ(Parse("x.hwnd" + kSoh + "none\r\n"), 0);
}

TEST(HostSnapshotTest, OnlyTheSnapshotIsSeen) {
    FakePlatform fake;
    const std::string entry = "x.hwnd" + kSoh + "4321\r";
    // The CR in the last byte still counts.
    EXPECT_EQ(HostHwndFromSnapshot(fake, Snapshot(entry, kHostSnapshotSize - entry.size())), 4321);
    // One byte later the CR lies beyond the snapshot: no value, no failure.
    const std::string cut = entry.substr(0, entry.size() - 1);
    EXPECT_EQ(HostHwndFromSnapshot(fake, Snapshot(cut, kHostSnapshotSize - cut.size())), 0);
    // An entry after a run of zero bytes is still found.
    EXPECT_EQ(HostHwndFromSnapshot(fake, Snapshot(entry, 600)), 4321);
}

TEST(HostSnapshotTest, HeaderIsSkippedAsBytes) {
    FakePlatform fake(932);
    // 0x83 is a Shift_JIS lead byte; decoded with the header, it would take
    // the key's 'h' as its trail byte.
    EXPECT_EQ(HostHwndFromSnapshot(fake, Snapshot("hwnd" + kSoh + "7\r\n", 4,
                                                  std::string_view("\x00\x00\x00\x83", 4))),
              7);
    // Header bytes that read like an entry are not one.
    EXPECT_EQ(HostHwndFromSnapshot(fake, Snapshot(kSoh + "5\r\n", 4, "hwnd")), 0);
}

TEST(HostSnapshotTest, TextIsReadInTheAnsiCodePage) {
    // In Shift_JIS, 0x83 0x68 is one character (katakana do): its trail byte
    // is no 'h', so the first real key is the second one.
    const std::string text = "\x83hwnd" + kSoh + "99\r\nx.hwnd" + kSoh + "42\r\n";
    EXPECT_EQ(Parse(text, 932), 42);
    // In code page 1252 the same bytes are two characters and the first key counts.
    EXPECT_EQ(Parse(text, 1252), 99);
    // Japanese entries before the handle, in Shift_JIS and in UTF-8.
    EXPECT_EQ(
        Parse("\x96\xbc\x91\x4f" + kSoh + "\x82\xb3\x82\xad\x82\xe7\r\nx.hwnd" + kSoh + "5\r\n",
              932),
        5);
    EXPECT_EQ(Parse("\xe5\x90\x8d" + kSoh + "\xe3\x81\x95\r\nx.hwnd" + kSoh + "6\r\n", 65001), 6);
}

TEST(HostSnapshotTest, LeadByteInTheLastByteEndsTheText) {
    FakePlatform fake(932);
    HostSnapshot snapshot = Snapshot("x.hwnd" + kSoh + "88\r\n");
    snapshot.back() = 0x82;
    EXPECT_EQ(HostHwndFromSnapshot(fake, snapshot), 88);
    // A value that runs into the lead byte has no CR: 0.
    const std::string value = "x.hwnd" + kSoh + "123";
    snapshot = Snapshot(value, kHostSnapshotSize - 1 - value.size());
    snapshot.back() = 0x82;
    EXPECT_EQ(HostHwndFromSnapshot(fake, snapshot), 0);
}

class HostLookupTest : public ::testing::Test {
protected:
    FakePlatform fake;
    std::vector<std::string> BothNames() { return {"enbryo", "Sakura"}; }
};

TEST_F(HostLookupTest, NoMappingGivesZero) {
    EXPECT_EQ(LookUpHostHwnd(fake), 0);
    EXPECT_EQ(fake.hostMemoryAsked, BothNames());
}

TEST_F(HostLookupTest, SakuraAloneIsFound) {
    fake.hostMemory["Sakura"] = Snapshot("s.hwnd" + kSoh + "2002\r\n");
    EXPECT_EQ(LookUpHostHwnd(fake), 2002);
    EXPECT_EQ(fake.hostMemoryAsked, BothNames());
}

TEST_F(HostLookupTest, EnbryoWinsOverSakura) {
    fake.hostMemory["enbryo"] = Snapshot("e.hwnd" + kSoh + "1001\r\n");
    fake.hostMemory["Sakura"] = Snapshot("s.hwnd" + kSoh + "2002\r\n");
    EXPECT_EQ(LookUpHostHwnd(fake), 1001);
    EXPECT_EQ(fake.hostMemoryAsked, std::vector<std::string>{"enbryo"});
}

TEST_F(HostLookupTest, AnEnbryoMappingDecidesEvenWithoutAHandle) {
    // A mapping whose view could not be taken reads as zeros.
    fake.hostMemory["enbryo"] = HostSnapshot{};
    fake.hostMemory["Sakura"] = Snapshot("s.hwnd" + kSoh + "2002\r\n");
    EXPECT_EQ(LookUpHostHwnd(fake), 0);
    EXPECT_EQ(fake.hostMemoryAsked, std::vector<std::string>{"enbryo"});
}

TEST_F(HostLookupTest, RunWithoutTargetFileUsesTheHost) {
    fake.hostMemory["Sakura"] = Snapshot("s.hwnd" + kSoh + "2002\r\n");
    fake.commandArgs = u"OnX";
    F_ZERO form{fake};
    EXPECT_EQ(form.Form_Load(), Outcome::EndRun);
    EXPECT_EQ(form.TargetHwnd, 2002);
    ASSERT_EQ(fake.sent.size(), 1u);
    EXPECT_EQ(fake.sent[0].target, 2002);
}

TEST_F(HostLookupTest, TargetFileWithANumberSkipsTheLookup) {
    fake.hostMemory["enbryo"] = Snapshot("e.hwnd" + kSoh + "1001\r\n");
    fake.AddFile(u"vek.ini", "77\r\n");
    fake.commandArgs = u"OnX";
    F_ZERO form{fake};
    form.Form_Load();
    EXPECT_TRUE(fake.hostMemoryAsked.empty());
    ASSERT_EQ(fake.sent.size(), 1u);
    EXPECT_EQ(fake.sent[0].target, 77);

    // A file without a number falls back to the host, whatever the command.
    FakePlatform other;
    other.hostMemory["enbryo"] = Snapshot("e.hwnd" + kSoh + "1001\r\n");
    other.AddFile(u"vek.ini", "abc\r\n");
    other.commandArgs = u"INIT 0";
    F_ZERO form2{other};
    EXPECT_EQ(form2.Form_Load(), Outcome::EndRun);
    EXPECT_EQ(form2.TargetHwnd, 1001);
}

TEST_F(HostLookupTest, BadHostMemoryLeavesTheRunWithoutTarget) {
    for (const std::string& text :
         {"x.hwnd" + kSoh + "99999999999\r\n", "x.hwnd" + kSoh + "5", "5" + kSoh + "x\r\n"}) {
        FakePlatform f;
        f.hostMemory["enbryo"] = Snapshot(text);
        f.commandArgs = u"OnX";
        F_ZERO form{f};
        EXPECT_EQ(form.Form_Load(), Outcome::ShowBalloon) << text;
        EXPECT_EQ(form.TargetHwnd, 0) << text;
        EXPECT_TRUE(f.sent.empty()) << text;
    }
}

}  // namespace
}  // namespace vek
