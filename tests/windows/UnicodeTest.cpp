// Every kind of text through every way in, with the real vek.exe: what the
// host receives, read by its Charset line, holds the text exactly; a request
// Shift_JIS holds is, byte for byte, what it always was; a dropped name is
// the very name.


#include "Harness.h"
#include "delivery/FileDrop.h"
#include "platform/win32/Win32Platform.h"

namespace vek::test {
namespace {

struct Text {
    std::wstring text;
    bool shiftJis;  // Shift_JIS (code page 932) holds it exactly
};
const Text kTexts[] = {
    {L"Café del Mar Beyoncé", false}, {L"😀🎵", false}, {L"한국어", false}, {L"简体中文", false},
    {L"〜", false},  // the wave dash of an input method
    {L"ｶﾀｶﾅ", true}, {L"日本語のテキスト表示", true},
    // Where the variants of Shift_JIS differ: code page 932's, and the JIS ones.
    {L"～∥－￠￡￢―①髙", true}, {L"‖−¢£¬—", false}};

std::string Utf16(std::wstring_view text, bool bigEndian) {  // with the byte-order mark
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const wchar_t c : text) bytes += {char(bigEndian ? c >> 8 : c), char(bigEndian ? c : c >> 8)};
    return bytes;
}

class UnicodeCodePageEndToEnd : public testing::TestWithParam<fs::path> {};

TEST_P(UnicodeCodePageEndToEnd, EveryTextArrivesIntactThroughEveryWayIn) {
    Scratch dir;
    Host host;
    WriteBytes(dir / L"vek.ini", host.id + "\r\n");
    for (const auto& [text, shiftJis] : kTexts) {
        const std::wstring file = L"NOTIFY SSTP/1.0\r\nSender: VEK\r\nEvent: OnFileRead\r\n"
                                  L"Reference0: f.txt\r\nReference1: 0\r\nReference2: 1024\r\n"
                                  L"Reference3: " + text + L"\\nx\\n\r\nReference4: 2";
        const std::wstring lines = text + L"\r\nx\r\n";
        std::vector<std::tuple<const wchar_t*, std::wstring, std::string, std::wstring>> ways = {
            {L"event", L"OnX#" + text, "",
             L"NOTIFY SSTP/1.0\r\nSender: VEK\r\nEvent: OnX\r\nReference0: " + text},
            {L"SEND", L"SEND#" + text, "", L"SEND SSTP/1.0\r\nSender: VEK\r\nScript: " + text},
            {L"FILE UTF-8 with a mark", L"FILE#f.txt", "\xEF\xBB\xBF" + Bytes(CP_UTF8, lines), file},
            {L"FILE UTF-8", L"FILE#f.txt", Bytes(CP_UTF8, lines), file},
            {L"FILE UTF-16 LE", L"FILE#f.txt", Utf16(lines, false), file},
            {L"FILE UTF-16 BE", L"FILE#f.txt", Utf16(lines, true), file}};
        if (shiftJis) ways.emplace_back(L"FILE Shift_JIS", L"FILE#f.txt", Bytes(932, lines), file);
        for (const auto& [way, command, bytes, opening] : ways) {
            SCOPED_TRACE(testing::Message() << way << " " << Bytes(CP_UTF8, text));
            if (!bytes.empty()) WriteBytes(dir / L"f.txt", bytes);
            host.got.clear();
            EXPECT_EQ(RunExe(GetParam(), dir.dir, command).exitCode, 0u);
            ASSERT_EQ(host.got.size(), 1u);
            const auto& [sender, dwData, got] = host.got[0];
            const bool utf8 = got.ends_with("\r\nCharset: UTF-8");
            const std::wstring id = std::to_wstring(Id(sender));
            const std::wstring request = opening + L"\r\nHWnd:" + (Id(sender) < 0 ? L"" : L" ") +
                                         id + (opening[0] == L'N' ? L"\r\nSecurityLevel: local" : L"") +
                                         L"\r\nCharset: " + (utf8 ? L"UTF-8" : L"Shift_JIS");
            EXPECT_EQ(utf8, !shiftJis);
            EXPECT_EQ(got, Bytes(utf8 ? CP_UTF8 : 932, request));
        }
        // A name the ANSI code page cannot hold is dropped all the same. Wine
        // keeps the block of another process's drop from the receiver, so
        // the name is read back from this process's own drop as well.
        const fs::path path = dir.dir / (text + L".txt");
        WriteBytes(path, "x");
        // Wine in the C locale (the code page 1252 runs) stores no name beyond ASCII.
        const bool made = fs::exists(path) || !UnderWine();
        if (!made) std::printf("DROP#%s not run: Wine cannot make the file\n", Bytes(CP_UTF8, text).c_str());
        host.drops.clear();
        if (made) {
            EXPECT_EQ(RunExe(GetParam(), dir.dir, L"DROP#" + path.filename().wstring()).exitCode, 0u);
        }
        win32::Win32Platform platform;
        platform.PostDropFiles(Id(host.hwnd), BuildDropBlock(platform, path.u16string()));
        Pump();
        ASSERT_EQ(host.drops.size(), made ? 2u : 1u);
        EXPECT_TRUE(!made || (UnderWine() && host.drops[0].empty()) || host.drops[0] == path.wstring());
        EXPECT_EQ(host.drops.back(), path.wstring());
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, UnicodeCodePageEndToEnd, testing::ValuesIn(Exes()));

}  // namespace
}  // namespace vek::test
