#pragma once
// The encodings of text that comes into the program as bytes: telling a
// file's encoding from its byte-order mark or its bytes, and reading UTF-16
// code units. Converting to and from a code page is the platform's.

#include <cstddef>
#include <string>
#include <string_view>

namespace vek {

enum class FileEncoding { ShiftJis, Utf8, Utf16Le, Utf16Be };

// The byte-order mark bytes start with: the encoding it names and the bytes it
// takes. A UTF-8 mark (EF BB BF) names UTF-8, FF FE UTF-16 little-endian and
// FE FF UTF-16 big-endian; size is 0 where the bytes start with none.
struct ByteOrderMark {
    FileEncoding encoding = FileEncoding::ShiftJis;
    std::size_t size = 0;
};
ByteOrderMark FindByteOrderMark(std::string_view bytes);

// Tells a file's encoding from its bytes, fed as they are read. A byte-order
// mark decides; without one, bytes that are valid UTF-8 throughout and hold at
// least one multi-byte sequence are UTF-8, and anything else is Shift_JIS.
class EncodingDetector {
public:
    // Takes the next bytes of the file; true once the encoding is decided and
    // the rest of the file is not needed.
    bool Feed(std::string_view bytes);

    // The encoding, once decided or at the end of the file, and the bytes its
    // mark takes at the start of the file (0 without one).
    FileEncoding Encoding() const;
    std::size_t MarkSize() const { return mark_.size; }

private:
    bool Validate(std::string_view bytes);

    char head_[3] = {};
    std::size_t headSize_ = 0;
    ByteOrderMark mark_;
    bool invalid_ = false;                    // not UTF-8
    bool multiByte_ = false;                  // a multi-byte sequence seen
    int need_ = 0;                            // continuation bytes the current sequence still needs
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
