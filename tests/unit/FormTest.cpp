// One run's decisions: the dispatch, INIT, the target from vek.ini or the
// host's memory, where requests and drops go.

#include "TestSupport.h"
#include "app/CommandLine.h"
#include "app/F_ZERO.h"
#include "app/UsageText.h"
#include "delivery/Target.h"
#include "request/FileRequest.h"
#include "request/Request.h"

namespace vek {
namespace {

HostSnapshot Snapshot(std::string_view text, std::size_t at = 4,
                      std::string_view header = std::string_view("\x00\x04\x00\x00", 4)) {
    HostSnapshot snapshot{};
    std::copy(header.begin(), header.end(), snapshot.begin());
    std::copy(text.begin(), text.end(), snapshot.begin() + static_cast<std::ptrdiff_t>(at));
    return snapshot;
}

class FormTest : public ::testing::Test {
protected:
    Outcome Run(std::u16string args) {
        fake.commandArgs = std::move(args);
        return form.Form_Load();
    }
    std::u16string Sent(std::size_t i) {
        return i < fake.sent.size() ? fake.Decode(CodePage::ShiftJis, fake.sent[i].bytes) : u"";
    }
    FakePlatform fake;
    F_ZERO form{fake};
};

TEST_F(FormTest, EmptyOrHelpPlaysTheUsageTextFromTheStart) {
    EXPECT_EQ(kUsageText.size(), 243u);
    EXPECT_TRUE(kUsageText.starts_with(u"【使用方法】\\n・送信先のhwnd値を"));
    EXPECT_TRUE(
        kUsageText.ends_with(u"#ref(6)#ref(7)#\\n\\w9\\w9\\w9\\w9\\w9\\w9\\w9\\w9\\w9\\w9"));
    for (const char16_t* args : {u"", u"    ", u"/?", u"  /?  "}) {
        form.BlnShown = u"old";
        form.BlnPos = 77;
        form.BlnWait = 3;
        EXPECT_EQ(Run(args), Outcome::ShowBalloon);
        EXPECT_EQ(form.BlnText, kUsageText);
        EXPECT_EQ(form.BlnPos, 1);
        EXPECT_EQ(form.BlnWait, 0);
        EXPECT_EQ(form.BlnShown, u"");
    }
    EXPECT_TRUE(fake.sent.empty());
}

TEST_F(FormTest, PrefixTestsAreExactAndInTableOrder) {
    fake.AddFile(u"vek.ini", "77");
    fake.AddFile(u"a.txt", "\x93\xfa\r\n");
    EXPECT_EQ(Run(u"  OnBoot#first#second  "), Outcome::EndRun);
    EXPECT_EQ(Sent(0), BuildEventRequest(u"OnBoot#first#second", 1234));
    Run(u"SENDER#x");
    EXPECT_EQ(Sent(1), BuildSendRequest(u"SENDER#x", 1234));
    Run(u"  FILE#a.txt/0-0  ");
    EXPECT_EQ(Sent(2), BuildFileRequest(fake, u"FILE#a.txt/0-0"));
    const char16_t* events[] = {u"send#x",   u"\"SEND#hi\"", u"/? x", u"TestPoin",
                                u"\tSEND#x", u"FIL",         u"DRO",  u"INI"};
    for (const char16_t* args : events) {
        EXPECT_EQ(Run(args), Outcome::EndRun);
        EXPECT_EQ(Sent(fake.sent.size() - 1), BuildEventRequest(args, 1234)) << Utf8(args);
    }
    EXPECT_EQ(Run(u"TestPoint"), Outcome::ShowTestWindow);
    EXPECT_EQ(Run(u"TestPointer"), Outcome::ShowTestWindow);
    EXPECT_EQ(fake.sent.size(), 3 + std::size(events));
    for (const auto& sent : fake.sent) {
        EXPECT_EQ(sent.target, 77);
        EXPECT_EQ(sent.marker, 9801u);
    }
    EXPECT_TRUE(ReportOf([&] { Run(u"FILE#dir/a.txt"); }).starts_with("FILE: "));
    EXPECT_EQ(fake.sent.size(), 3 + std::size(events));
}

TEST_F(FormTest, RequestsGoOutAsShiftJisWhateverTheSystemCodePage) {
    for (unsigned cp : {932u, 1252u}) {
        FakePlatform system(cp);
        system.AddFile(u"vek.ini", "77");
        system.commandArgs = u"SEND#こんにちは∞";
        F_ZERO(system).Form_Load();
        ASSERT_EQ(system.sent.size(), 1u);
        EXPECT_TRUE(system.sent[0].bytes.starts_with(
            "SEND SSTP/1.0\r\nSender: VEK\r\nScript: "
            "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\x81\x87\r\n"));
    }
}

TEST_F(FormTest, WhereRequestsGo) {
    fake.AddFile(u"vek.ini", "-1\r\n");
    EXPECT_EQ(Run(u"OnX#a"), Outcome::EndRun);
    EXPECT_EQ(fake.messages, std::vector<std::u16string>{BuildEventRequest(u"OnX#a", 1234)});
    for (const char* target : {"65535", "&HFFFF"}) {  // the broadcast handle
        fake.AddFile(u"vek.ini", target);
        EXPECT_EQ(Run(u"SEND#x"), Outcome::EndRun);
    }
    EXPECT_TRUE(fake.sent.empty());
    fake.AddFile(u"vek.ini", "12345678");  // whether it names a window is the platform's to say
    Run(u"OnX");
    ASSERT_EQ(fake.sent.size(), 1u);
    EXPECT_EQ(fake.sent[0].target, 12345678);

    fake.AddFile(u"vek.ini", "abc");  // no target: the balloon reports and plays the request
    EXPECT_EQ(Run(u"OnX#\\w5"), Outcome::ShowBalloon);
    EXPECT_EQ(form.BlnText,
              u"Object Platform is not ready!!\\n" + BuildEventRequest(u"OnX#\\w5", 1234));
    EXPECT_EQ(form.BlnPos, 1);
    EXPECT_EQ(fake.sent.size(), 1u);
    EXPECT_EQ(fake.messages.size(), 1u);
}

TEST_F(FormTest, InitWritesTheArgumentUnlessItIsZero) {
    const std::pair<const char16_t*, const char*> cases[] = {
        {u"INIT 0", nullptr},    {u"INIT#1234", "1234\r\n"},
        {u"INIT 0", "1234\r\n"}, {u"INIT 00", "00\r\n"},
        {u"INIT", "\r\n"},       {u"INIT#-1", "-1\r\n"},
        {u"INIT# 5 ", " 5\r\n"}, {u"INIT#４２日本", "\x82\x53\x82\x51\x93\xfa\x96\x7b\r\n"}};
    for (const auto& [args, file] : cases) {
        EXPECT_EQ(Run(args), Outcome::EndRun);
        const std::string* bytes = fake.FileBytes(u"vek.ini");
        EXPECT_EQ(bytes ? *bytes : "(none)", file ? file : "(none)") << Utf8(args);
    }
    fake.AddFile(u"vek.ini", "42\r\n");
    fake.failWrites = true;
    EXPECT_EQ(ReportOf([&] { Run(u"INIT#99"); }), "File error: Could not write 'vek.ini'");
    EXPECT_EQ(*fake.FileBytes(u"vek.ini"), "42\r\n");
    FakePlatform western(1252);
    western.AddFile(u"vek.ini", "42\r\n");
    western.commandArgs = u"INIT#４２日本";
    EXPECT_EQ(ReportOf([&] { F_ZERO(western).Form_Load(); }),
              "INIT: File error: '４２日本' cannot be written in the system's code page");
    EXPECT_EQ(*western.FileBytes(u"vek.ini"), "42\r\n");
    EXPECT_TRUE(fake.sent.empty());
}

TEST_F(FormTest, TargetFileFirstFieldInItsEncoding) {
    const std::pair<std::string, Hwnd> cases[] = {{"1234\r\n", 1234},
                                                  {"-1", -1},
                                                  {"123,456\r\n", 123},
                                                  {"abc\r\n", 0},
                                                  {" 1 2 \r\n999", 12},
                                                  {"&H1F\n", 31},
                                                  {"", 0},
                                                  {"\r\n5", 0},
                                                  {",5", 0},
                                                  {"  77  \r\n88", 77},
                                                  {"\t9\n", 9},
                                                  {"\"4,2\",3", 4},
                                                  {"\"42", 42},
                                                  {"\xEF\xBB\xBF"
                                                   "4321\r\n",
                                                   4321},
                                                  {std::string("\xFF\xFE"
                                                               "5\0"
                                                               "6\0\r\0\n\0",
                                                               10),
                                                   56},
                                                  {"42\r\n" + std::string(1 << 20, 'x'), 42}};
    fake.readBlockLimit = 3;
    for (const auto& [bytes, target] : cases) {
        fake.AddFile(u"vek.ini", bytes);
        EXPECT_EQ(ReadTargetFile(fake), target) << bytes.substr(0, 20);
    }
    fake.AddFile(u"vek.ini", "99999999999\r\n");
    EXPECT_EQ(ReportOf([&] { ReadTargetFile(fake); }),
              "The target window handle in vek.ini: Overflow: '99999999999' is outside the "
              "signed 32-bit range");
    fake.AddFile(u"vek.ini", "1").locked = true;
    EXPECT_EQ(ReportOf([&] { ReadTargetFile(fake); }), "File error: Could not open '.\\vek.ini'");
    fake.AddFile(u"vek.ini", "1").hidden = true;
    EXPECT_EQ(ReadTargetFile(fake), 0);
    fake.AddFile(u"vek.ini", "1").directory = true;
    EXPECT_EQ(ReadTargetFile(fake), 0);
    fake.AddFile(u"C:\\elsewhere\\vek.ini", "8");
    fake.currentDirectory = u"C:\\elsewhere";
    EXPECT_EQ(ReadTargetFile(fake), 8);
}

TEST_F(FormTest, HostMemoryGivesTheFirstHwndEntryOrNothing) {
    const std::string soh = "\x01";
    const std::pair<std::string, Hwnd> cases[] = {
        {"name" + soh + "host\r\nabc.hwnd" + soh + "1234\r\n", 1234},
        {"hwnd" + soh + "77\r\n", 77},
        {"a.hwnd" + soh + "11\r\nb.hwnd" + soh + "22\r\n", 11},
        {"x.hwnd" + soh + " 5 678 \r\n", 5678},
        {"x.hwnd" + soh + "42abc\r\n", 42},
        {"x.hwnd" + soh + "-2147483648\r\n", -2147483648},
        {"x.hwnd" + soh + "9\rtrailing", 9},
        {"1234abc" + soh + "value\r\n", 0},  // a key that begins with digits is no handle
        {"99\r\n", 0},
        {"x.hwnd=5\r\n", 0},
        {"x.HWND" + soh + "5\r\n", 0},
        {"x.hwndx" + soh + "5\r\n", 0},
        {"x.hwnd" + soh + "1234", 0},  // no CR before the zeros
        {"x.hwnd" + soh + "1234\n", 0},
        {"x.hwnd" + soh + "99999999999\r\n", 0},
        {"x.hwnd" + soh + "&HFFFFFFFFF\r\n", 0},
        {"\x83hwnd" + soh + "99\r\nx.hwnd" + soh + "42\r\n", 42},  // 0x83 0x68 is one character
        {"\x96\xbc\x91\x4f" + soh + "\x82\xb3\r\nx.hwnd" + soh + "5\r\n", 5}};
    for (const auto& [text, target] : cases) {
        fake.hostMemory["Sakura"] = Snapshot(text);
        EXPECT_EQ(LookUpHostHwnd(fake), target) << text;
    }
    FakePlatform western(1252);  // the same bytes are two characters: the first key counts
    western.hostMemory["Sakura"] = Snapshot(cases[16].first);
    EXPECT_EQ(LookUpHostHwnd(western), 99);
    // The header is skipped as bytes: a lead byte there takes nothing of the text.
    fake.hostMemory["Sakura"] =
        Snapshot("hwnd" + soh + "7\r\n", 4, std::string_view("\0\0\0\x83", 4));
    EXPECT_EQ(LookUpHostHwnd(fake), 7);
    fake.hostMemory["Sakura"] = Snapshot(soh + "5\r\n", 4, "hwnd");
    EXPECT_EQ(LookUpHostHwnd(fake), 0);
    // Only the snapshot is seen: a CR in its last byte counts, one past it not.
    const std::string entry = "x.hwnd" + soh + "4321\r";
    fake.hostMemory["Sakura"] = Snapshot(entry, kHostSnapshotSize - entry.size());
    EXPECT_EQ(LookUpHostHwnd(fake), 4321);
    fake.hostMemory["Sakura"] = Snapshot(entry.substr(0, 10), kHostSnapshotSize - 10);
    EXPECT_EQ(LookUpHostHwnd(fake), 0);
    fake.hostMemory["Sakura"] = Snapshot(entry, 600);
    EXPECT_EQ(LookUpHostHwnd(fake), 4321);
}

TEST_F(FormTest, EnbryoThenSakuraWhenVekIniGivesNoTarget) {
    EXPECT_EQ(LookUpHostHwnd(fake), 0);
    fake.hostMemory["Sakura"] = Snapshot(
        "s.hwnd\x01"
        "2002\r\n");
    fake.AddFile(u"vek.ini", "abc\r\n");
    EXPECT_EQ(Run(u"INIT 0"), Outcome::EndRun);  // whatever the command
    EXPECT_EQ(form.TargetHwnd, 2002);
    fake.hostMemory["enbryo"] = Snapshot(
        "e.hwnd\x01"
        "1001\r\n");
    Run(u"OnX");
    EXPECT_EQ(form.TargetHwnd, 1001);
    fake.AddFile(u"vek.ini", "77\r\n");
    Run(u"OnX");
    EXPECT_EQ(form.TargetHwnd, 77);
    fake.hostMemory["enbryo"] = HostSnapshot{};  // once a mapping exists, it decides
    EXPECT_EQ(LookUpHostHwnd(fake), 0);
}

TEST_F(FormTest, DropPostsTheBlockOfAnExistingNormalFile) {
    fake.AddFile(u"vek.ini", "5678");
    for (const char16_t* name : {u"a.txt", u" b.txt", u"C:\\work\\C:\\x.txt", u"C:\\\\c.txt"}) {
        fake.AddFile(name, "x");
    }
    fake.AddFile(u"C:\\x.txt", "x");
    fake.AddFile(u"hidden.txt", "x").hidden = true;
    fake.AddFile(u"sub").directory = true;
    for (const char16_t* args : {u"DROP#missing.txt", u"DROP#hidden.txt", u"DROP#sub",
                                 u"DROP#*.txt", u"DROP#a.tx?", u"DROP", u"DROP#", u"DROP#b.txt"}) {
        EXPECT_EQ(Run(args), Outcome::EndRun);
    }
    EXPECT_TRUE(fake.drops.empty());
    const auto block = [](std::string_view path) {
        std::vector<std::uint8_t> bytes(20 + 2 * (path.size() + 2));
        bytes[0] = 20;
        std::copy(path.begin(), path.end(), bytes.begin() + 20);
        return bytes;
    };
    Run(u"  DROP#a.txt  ");
    Run(u"DROP# b.txt");
    Run(u"DROPxa.txt");
    Run(u"DROP#C:\\x.txt");  // always within the current directory
    fake.currentDirectory = u"C:\\";
    fake.AddFile(u"vek.ini", "5678");
    Run(u"DROP#c.txt");
    const std::vector<std::pair<Hwnd, std::vector<std::uint8_t>>> expected = {
        {5678, block("C:\\work\\a.txt")},
        {5678, block("C:\\work\\ b.txt")},
        {5678, block("C:\\work\\a.txt")},
        {5678, block("C:\\work\\C:\\x.txt")},
        {5678, block("C:\\\\c.txt")}};
    EXPECT_EQ(fake.drops, expected);
    EXPECT_TRUE(fake.sent.empty());
}

TEST_F(FormTest, DropGoesOnlyToAWindowAndOnlyAsItsName) {
    fake.AddFile(u"a.txt", "x");
    Run(u"DROP#a.txt");  // no target at all
    for (const char* target : {"-1\r\n", "65535\r\n", "&HFFFF\r\n"}) {
        fake.AddFile(u"vek.ini", target);
        Run(u"DROP#a.txt");
    }
    EXPECT_TRUE(fake.drops.empty());
    EXPECT_TRUE(fake.messages.empty());  // -1 shows requests, not drops
    fake.AddFile(u"vek.ini", "abc");
    fake.hostMemory["Sakura"] = Snapshot(
        "x.hwnd\x01"
        "3003\r\n");
    Run(u"DROP#a.txt");
    ASSERT_EQ(fake.drops.size(), 1u);
    EXPECT_EQ(fake.drops[0].first, 3003);

    const std::u16string name = u"日本語" + std::u16string(20, u'あ') + u".txt";
    for (unsigned cp : {932u, 1252u, 65001u}) {
        FakePlatform system(cp);
        system.AddFile(u"vek.ini", "5678");
        system.AddFile(name, "x");
        system.commandArgs = u"DROP#" + name;
        const std::string report = ReportOf([&] { F_ZERO(system).Form_Load(); });
        if (cp == 1252) {
            EXPECT_EQ(report, "DROP: File error: 'C:\\work\\" + Utf8(name) +
                                  "' cannot be written in the system's code page");
            EXPECT_TRUE(system.drops.empty());
            continue;
        }
        // Two bytes a character suffice for Shift_JIS; UTF-8 takes three and grows the block.
        const std::string list = system.Encode(CodePage::Ansi, u"C:\\work\\" + name);
        ASSERT_EQ(system.drops.size(), 1u);
        const auto& bytes = system.drops[0].second;
        EXPECT_EQ(bytes.size(), cp == 932 ? 20 + 2 * (8 + name.size() + 2) : 20 + list.size() + 2);
        EXPECT_EQ(std::string(bytes.begin() + 20, bytes.begin() + 20 + list.size()), list);
        EXPECT_EQ(std::count(bytes.begin() + 20 + list.size(), bytes.end(), 0),
                  bytes.end() - bytes.begin() - 20 - std::ssize(list));
    }
}

TEST(CommandLineTest, ProgramNameIsSkippedAsWindowsSplitsIt) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"vek.exe SEND#hi", u"SEND#hi"},
        {u"\"C:\\Program Files\\vek.exe\" SEND#hi there ", u"SEND#hi there "},
        {u"\"C:\\a b\\vek.exe\"SEND", u"SEND"},
        {u"vek.exe \t  \"SEND#hi\"", u"\"SEND#hi\""},
        {u"vek.exe\tOnBoot", u"OnBoot"},
        {u"vek.exe", u""},
        {u"\"vek.exe", u""},
        {u"", u""},
        {u"C:\\dir\"x\"\\vek.exe a", u"a"}};
    for (const auto& [line, args] : cases) EXPECT_EQ(ArgumentText(line), args) << Utf8(line);
}

}  // namespace
}  // namespace vek
