#pragma once
// Text between UTF-16, the core's, and the code pages of Windows.

#include <optional>
#include <string>
#include <string_view>

#include "text/Encodings.h"

namespace vek {

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

    // The bytes of text in code page cp where they read back as text, that is,
    // hold it exactly.
    std::optional<std::string> EncodeExactly(CodePage cp, std::u16string_view text) const {
        std::string bytes = Encode(cp, text);
        if (Decode(cp, bytes) != text) return std::nullopt;
        return bytes;
    }
};

}  // namespace vek
