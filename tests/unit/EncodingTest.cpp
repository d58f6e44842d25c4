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
        {CodePage::ShiftJis, {u"ｶﾀｶﾅ", u"日本語。", u"", u"～∥－￠￡￢―①髙\\~", u"?日本?"}},
        {CodePage::Utf8, {u"Café", u"?〜", u"😀", u"〜", u"‖", u"−", u"¢", u"£", u"¬", u"—", u"¥", u"‾",
        std::u16string(70000, u'あ') + u"é", std::u16string(65535, u'a') + u"😀",
        u"é" + std::u16string(70000, u'あ')}}};
    // clang-format on
    const FakePlatform fake;
    for (const auto& [codePage, texts] : codePages) {
        for (const std::u16string& text : texts) {
            const Encoded sent = ShiftJisOrUtf8(fake, text);
            EXPECT_EQ(sent.cp, codePage) << Utf8(text.substr(0, 10));
            EXPECT_EQ(sent.bytes, fake.Encode(codePage, text)) << Utf8(text.substr(0, 10));
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
        {Legacy, 0, {"", "ASCII\r\n", "\xFF\xFF", "a\xFF\xFE", "\xC3\xA9\x80", "\x93\xFA",
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

// A drop block as the host reads it: DROPFILES, then the list of one path.
std::vector<std::uint8_t> DropBlock(std::uint32_t fWide, std::string_view list) {
    const std::uint32_t pFiles = 20, x = 0, y = 0, fNC = 0;  // the list follows; no point
    std::vector<std::uint8_t> block;
    for (const std::uint32_t field : {pFiles, x, y, fNC, fWide})  // little-endian, as Windows
        for (int shift = 0; shift < 32; shift += 8) block.push_back(std::uint8_t(field >> shift));
    block.insert(block.end(), list.begin(), list.end());
    return block;
}

TEST(EncodingTest, TheAnsiCodePageTakesADroppedNameOrATargetOnlyWhereItHoldsItExactly) {
    struct Drop {
        std::u16string path;
        unsigned codePage;
        bool wide = false;
        std::size_t padding = 0;  // zeros after the list, up to the wide list's 2 x (length + 2)
    };
    const Drop drops[] = {
        {.path = u"é", .codePage = 1252, .padding = 3},
        {.path = u"～", .codePage = 932, .padding = 2},
        {.path = u"😀", .codePage = 65001, .padding = 2},
        {.path = u"日本語", .codePage = 65001},  // 9 bytes and two zeros: past the wide list's 10
        // A character the code page lacks, and a lone surrogate, which UTF-8 writes as U+FFFD.
        {.path = u"日本", .codePage = 1252, .wide = true},
        {.path = u"\xD800", .codePage = 65001, .wide = true}};
    for (const Drop& drop : drops) {
        SCOPED_TRACE(Utf8(drop.path));
        FakePlatform fake(drop.codePage);
        const std::string list =
            drop.wide ? Utf16(drop.path + u'\0' + u'\0', false)
                      : fake.Encode(CodePage{drop.codePage}, drop.path) + '\0' + '\0';
        EXPECT_EQ(BuildDropBlock(fake, drop.path),
                  DropBlock(drop.wide, list + std::string(drop.padding, '\0')));
        const std::string unwritable = "INIT: File error: '" + Utf8(drop.path) +
                                       "' cannot be written in the system's code page";
        EXPECT_EQ(ReportOf([&] { WriteTargetFile(fake, drop.path); }),
                  drop.wide ? unwritable : "no failure");
    }
}

}  // namespace
}  // namespace vek
