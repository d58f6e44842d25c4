// Which encoding text takes: a request's bytes, a file's as FILE tells it, a dropped name's list.

#include "TestSupport.h"
#include "delivery/FileDrop.h"
#include "text/Encodings.h"
#include "request/Request.h"

// clang-format off: the case tables are laid out by hand, several cases to a line.
namespace vek {
namespace {

TEST(EncodingTest, ARequestShiftJisHoldsGoesAsTodayAnyOtherInUtf8) {
    const std::pair<std::u16string, bool> texts[] = {  // the text, and whether Shift_JIS holds it
        {u"Café del Mar#Beyoncé", false}, {u"😀", false}, {u"한국어", false}, {u"简体中文", false},
        {u"ｶﾀｶﾅ", true}, {u"日本語のテキスト。", true}, {u"", true},
        // Where the variants of Shift_JIS differ: the code page 932 characters hold, the JIS ones do not.
        {u"～∥－￠￡￢―①髙\\~", true}, {u"〜", false}, {u"‖", false}, {u"−", false}, {u"¢", false}, {u"£", false},
        {u"¬", false}, {u"—", false}, {u"¥", false}, {u"‾", false},
        // Found wherever it stands, also past the first block encoded, and in a pair cut by one.
        {std::u16string(70000, u'あ') + u"é", false}, {std::u16string(65535, u'a') + u"😀", false}};
    const FakePlatform fake;
    for (const auto& [text, held] : texts) {
        const std::u16string built = BuildEventRequest(u"OnX#" + text, 1234);
        std::u16string request = built;
        const std::string bytes = EncodeRequest(fake, request);
        const std::u16string expected = held ? built : built.substr(0, built.size() - 9) + u"UTF-8";  // for "Shift_JIS"
        EXPECT_EQ(request, expected) << Utf8(text.substr(0, 10));
        EXPECT_EQ(bytes, fake.Encode(held ? CodePage::ShiftJis : CodePage::Utf8, expected));
    }
}

TEST(EncodingTest, AFileIsUtf8OrUtf16ByItsMarkOrUtf8ThroughoutElseShiftJis) {
    using enum FileEncoding;
    const std::tuple<std::string, FileEncoding, std::size_t> files[] = {
        {"", ShiftJis, 0}, {"plain ASCII\r\n", ShiftJis, 0}, {"\xFF", ShiftJis, 0}, {"\xFF\xFF", ShiftJis, 0},
        {"\xFF\xFE", Utf16Le, 2}, {"\xFE\xFF\x00x", Utf16Be, 2}, {"\xEF\xBB\xBF", Utf8, 3}, {"\xEF\xBB\xBF\xFF", Utf8, 3},
        {"\xEF\xBB", ShiftJis, 0}, {"a\xFF\xFE", ShiftJis, 0}, {"caf\xC3\xA9", Utf8, 0}, {"caf\xC3\xA9\x82", ShiftJis, 0},
        {"\x93\xfa\x96\x7b\x8c\xea", ShiftJis, 0}, {"\xb6\xc0\xb6\xc5", ShiftJis, 0}, {"\xC3", ShiftJis, 0},
        {std::string(17, 'a') + "\xC2\x80", Utf8, 0}, {std::string(17, 'a') + "\x80", ShiftJis, 0}, {"\x80\xC3\xA9", ShiftJis, 0},
        // Overlong forms, surrogates and what lies beyond U+10FFFF are no UTF-8; their neighbours are.
        {"\xC0\x80", ShiftJis, 0}, {"\xC1\xBF", ShiftJis, 0}, {"\xC2\x7F", ShiftJis, 0}, {"\xC2\xC0", ShiftJis, 0},
        {"\xDF\xBF", Utf8, 0}, {"\xE0\x9F\xBF", ShiftJis, 0}, {"\xE0\xA0\x80", Utf8, 0}, {"\xED\x9F\xBF", Utf8, 0},
        {"\xED\xA0\x80", ShiftJis, 0}, {"\xEF\xBF\xBF", Utf8, 0}, {"\xF0\x8F\xBF\xBF", ShiftJis, 0},
        {"\xF0\x90\x80\x80", Utf8, 0}, {"\xF4\x8F\xBF\xBF", Utf8, 0}, {"\xF4\x90\x80\x80", ShiftJis, 0},
        {"\xF5\x80\x80\x80", ShiftJis, 0}, {"\xF0\x9F\x98\x80x", Utf8, 0}, {"\xF0\x9F\x98", ShiftJis, 0}};
    for (const auto& [bytes, encoding, mark] : files) {
        // All at once, and a byte at a time up to where it says it has decided.
        EncodingDetector whole, bytewise;
        whole.Feed(bytes);
        for (std::size_t i = 0; i < bytes.size() && !bytewise.Feed(bytes.substr(i, 1)); ++i) {}
        for (const EncodingDetector* detector : {&whole, &bytewise}) {
            EXPECT_EQ(std::pair(detector->Encoding(), detector->MarkSize()), std::pair(encoding, mark))
                << testing::PrintToString(bytes);
        }
    }
}

TEST(EncodingTest, ANameTheAnsiCodePageCannotHoldIsDroppedInAWideList) {
    const std::tuple<std::u16string, unsigned, bool> paths[] = {  // path, code page, wide
        {u"C:\\w\\日本.txt", 1252, true}, {u"C:\\w\\café.txt", 1252, false}, {u"C:\\w\\café.txt", 932, true},
        {u"C:\\w\\〜.txt", 932, true}, {u"C:\\w\\～.txt", 932, false}, {u"C:\\w\\😀", 65001, false},
        {u"C:\\w\\😀", 932, true}, {std::u16string(u"C:\\w\\") + char16_t{0xD800}, 65001, true},
        {u"C:\\日本語日本語", 65001, false}};  // UTF-8 longer than two bytes a character
    for (const auto& [path, codePage, wide] : paths) {
        const FakePlatform fake(codePage);
        std::vector<std::uint8_t> expected(20, 0);
        expected[0] = 20;
        if (wide) {
            expected[16] = 1;
            for (const char16_t c : path + u'\0' + u'\0')
                expected.insert(expected.end(), {std::uint8_t(c & 0xFF), std::uint8_t(c >> 8)});
        } else {
            const std::string list = fake.Encode(CodePage::Ansi, path) + '\0' + '\0';
            expected.insert(expected.end(), list.begin(), list.end());
            expected.resize(std::max(expected.size(), 20 + 2 * (path.size() + 2)));
        }
        EXPECT_EQ(BuildDropBlock(fake, path), expected) << Utf8(path) << " " << codePage;
    }
}

}  // namespace
}  // namespace vek
