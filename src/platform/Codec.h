#pragma once
// Text between UTF-16, the core's, and the code pages of Windows.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vek {

// A Windows code page by its number, whichever it is: the console's, for one,
// is 437 on US English Windows. The core names three: the system's ANSI code
// page (number 0), in which vek.ini, the host's shared memory and a dropped
// name's 8-bit list are written; Shift_JIS, in which a request goes out
// wherever it holds the request exactly, and a file that has no mark and is
// not UTF-8 is read; and UTF-8, for any other request and for the text of a
// file or vek.ini whose mark or bytes say UTF-8.
struct CodePage {
    std::uint32_t number;
    static const CodePage Ansi, ShiftJis, Utf8;
    friend constexpr bool operator==(CodePage, CodePage) = default;
};
inline constexpr CodePage CodePage::Ansi{0};
inline constexpr CodePage CodePage::ShiftJis{932};
inline constexpr CodePage CodePage::Utf8{65001};

class Codec {
public:
    virtual ~Codec() = default;

    // Appends the text the bytes stand for in code page cp, as Windows reads
    // them: bytes that are no character become U+FFFD in UTF-8; in Shift_JIS
    // a lead byte takes the byte after it, whatever that is but NUL, and a
    // pair or a lone lead byte the code page does not define becomes U+30FB.
    virtual void AppendDecoded(CodePage cp, std::string_view bytes, std::u16string& out) const = 0;

    // The bytes of text in code page cp; a character the code page lacks, or
    // holds only as a look-alike, becomes '?'. UTF-8 writes a lone surrogate,
    // the one unit it cannot hold, as U+FFFD.
    virtual std::string Encode(CodePage cp, std::u16string_view text) const = 0;

    std::u16string Decode(CodePage cp, std::string_view bytes) const {
        std::u16string out;
        AppendDecoded(cp, bytes, out);
        return out;
    }

    // The bytes of text in code page cp where they hold it exactly, that is,
    // where they read back as text: the one way to ask whether anything was
    // lost. A character the code page lacks comes back as '?', and a lone
    // surrogate, in UTF-8, as U+FFFD.
    std::optional<std::string> EncodeExactly(CodePage cp, std::u16string_view text) const {
        std::string bytes = Encode(cp, text);
        if (Decode(cp, bytes) != text) return std::nullopt;
        return bytes;
    }
};

}  // namespace vek
