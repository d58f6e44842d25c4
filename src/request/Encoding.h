#pragma once
// Which encoding text takes where it leaves the program or comes into it:
// the bytes of a request, and the encoding of a file FILE reads. The old
// encoding (Shift_JIS) stays wherever it holds the text exactly; another one
// is used only where it would lose a character.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace vek {

// The bytes of a request as it goes out. A request that Shift_JIS holds
// exactly (no character missing, none mapped to a look-alike) goes out in
// Shift_JIS, as its closing "Charset: Shift_JIS" line says. Any other goes out
// in UTF-8, and that line is rewritten to "Charset: UTF-8" in request itself,
// so that whatever shows the request shows it as it goes out.
std::string EncodeRequest(const Platform& platform, std::u16string& request);

enum class FileEncoding { ShiftJis, Utf8, Utf16Le, Utf16Be };

// Tells a file's encoding from its bytes, fed as they are read. A UTF-8
// byte-order mark means UTF-8, a UTF-16 one UTF-16 of its byte order; without
// a mark, bytes that are valid UTF-8 throughout and hold at least one
// multi-byte sequence are UTF-8, and anything else is Shift_JIS.
class EncodingDetector {
public:
    // Takes the next bytes of the file; true once the encoding is decided and
    // the rest of the file is not needed.
    bool Feed(std::string_view bytes);

    // The encoding, once decided or at the end of the file, and the bytes its
    // mark takes at the start of the file (0 without one).
    FileEncoding Encoding() const;
    std::size_t MarkSize() const { return markSize_; }

private:
    bool Validate(std::string_view bytes);

    char head_[3] = {};
    std::size_t headSize_ = 0;
    std::size_t markSize_ = 0;
    FileEncoding marked_ = FileEncoding::ShiftJis;
    bool invalid_ = false;    // not UTF-8
    bool multiByte_ = false;  // a multi-byte sequence seen
    int need_ = 0;            // continuation bytes the current sequence still needs
    unsigned char low_ = 0x80, high_ = 0xBF;  // the range of the next continuation byte
};

// Appends UTF-16 code units as text; a surrogate without its partner, which
// stands for no character, becomes U+FFFD.
void AppendUtf16(std::u16string_view units, std::u16string& out);

// Appends the UTF-16 code units of bytes, two bytes each in the given byte
// order, as they are (surrogates unchecked); an odd last byte is left for the
// caller.
void AppendUtf16Units(std::string_view bytes, bool bigEndian, std::u16string& out);

}  // namespace vek
