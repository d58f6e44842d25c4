// Which encoding text takes: a request's, a file's as FILE tells it, a drop's and vek.ini's.

#include "TestSupport.h"
#include "delivery/FileDrop.h"
#include "delivery/Target.h"
#include "text/Encodings.h"

namespace vek {
namespace {

TEST(EncodingTest, TextGoesInShiftJisWhereShiftJisHoldsEveryCharacterExactlyElseInUtf8) {
    // clang-format off
    const std::pair<CodePage, std::vector<std::u16string>> codePages[] = {
        // 932's own variants hold, the JIS ones not; a missing character counts wherever it stands.
        {CodePage::ShiftJis, {u"ｶﾀｶﾅ", u"日本語。", u"", u"～∥－￠￡￢―①髙\\~"}},
        {CodePage::Utf8, {u"Café", u"😀", u"〜", u"‖", u"−", u"¢", u"£", u"¬", u"—", u"¥", u"‾",
        std::u16string(70000, u'あ') + u"é", std::u16string(65535, u'a') + u"😀",
        u"é" + std::u16string(70000, u'あ')}}};
    // clang-format on
    const FakePlatform fake;
    const auto encode = [&](CodePage cp, std::u16string_view text, std::string& out) {
        bool lossy = false;
        fake.AppendEncoded(cp, text, out, &lossy);
        return lossy;
    };
    for (const auto& [codePage, texts] : codePages) {
        for (const std::u16string& text : texts) {
            std::string bytes;
            EXPECT_EQ(AppendShiftJisOrUtf8(encode, text, bytes), codePage)
                << Utf8(text.substr(0, 10));
            EXPECT_EQ(bytes, fake.Encode(codePage, text)) << Utf8(text.substr(0, 10));
        }
    }
}

TEST(EncodingTest, AFileIsWhatItsMarkSaysElseUtf8WhereValidThroughoutWithAMultiByteSequence) {
    using enum FileEncoding;
    // clang-format off
    const std::tuple<FileEncoding, std::size_t, std::vector<std::string>> files[] = {  // mark size
        {Utf16Le, 2, {"\xFF\xFE"}}, {Utf16Be, 2, {"\xFE\xFF"}}, {Utf8, 3, {"\xEF\xBB\xBF\xFF"}},
        {Utf8, 0, {"caf\xC3\xA9", std::string(17, 'a') + "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80",
        "\xED\x9F\xBF", "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"}},
        // Not UTF-8: overlong forms, surrogates, beyond U+10FFFF, a sequence the file's end cuts.
        {Legacy, 0, {"", "ASCII\r\n", "\xFF\xFF", "a\xFF\xFE", "\xC3\xA9\x82", "\x93\xFA",
        std::string(17, 'a') + "\x80", "\xC2\x7F\x80", "\xC2\xC0", "\xC1\xBF", "\xE0\x9F\xBF",
        "\xED\xA0\x80", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80", "\xEF\xBB"}}};
    // clang-format on
    for (const auto& [encoding, markSize, contents] : files) {
        for (const std::string& bytes : contents) {
            SCOPED_TRACE(testing::PrintToString(bytes));
            EncodingDetector once, split;  // split: fed a byte at a time until it has decided
            once.Feed(bytes);
            for (const char c : bytes)
                if (split.Feed({&c, 1})) break;
            EXPECT_EQ(std::pair(once.Encoding(), once.MarkSize()), std::pair(encoding, markSize));
            EXPECT_EQ(std::pair(split.Encoding(), split.MarkSize()), std::pair(encoding, markSize));
        }
    }
}

TEST(EncodingTest, TheAnsiCodePageTakesADroppedNameOrATargetOnlyWhereItHoldsItExactly) {
    using namespace std::string_literals;
    // DROPFILES: pFiles 20, the point (0, 0), fNC 0 and fWide; then the list with its two zeros,
    // and zeros up to the size of a wide list, 20 + 2 x (length + 2) bytes.
    const std::string narrow = "\x14\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"s;
    const std::string wide = "\x14\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\1\0\0\0"s;
    // clang-format off
    const std::tuple<std::u16string, unsigned, std::string> drops[] = {
        {u"é", 1252, narrow + "\xE9\0\0" "\0\0\0"s}, {u"～", 932, narrow + "\x81\x60\0\0" "\0\0"s},
        {u"😀", 65001, narrow + "\xF0\x9F\x98\x80\0\0" "\0\0"s},
        {u"日本語", 65001, narrow + "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\0\0"s},  // past 30 bytes
        // A character the code page lacks, and a lone surrogate, which UTF-8 writes as U+FFFD.
        {u"日本", 1252, wide + "\xE5\x65\x2C\x67\0\0\0\0"s},
        {u"\xD800", 65001, wide + "\x00\xD8\0\0\0\0"s}};
    // clang-format on
    for (const auto& [path, codePage, expected] : drops) {
        SCOPED_TRACE(Utf8(path));
        FakePlatform fake(codePage);
        EXPECT_EQ(BuildDropBlock(fake, path),
                  std::vector<std::uint8_t>(expected.begin(), expected.end()));
        const std::string unwritable =
            "INIT: File error: '" + Utf8(path) + "' cannot be written in the system's code page";
        EXPECT_EQ(ReportOf([&] { WriteTargetFile(fake, path); }),
                  expected.starts_with(narrow) ? "no failure" : unwritable);
    }
}

}  // namespace
}  // namespace vek
