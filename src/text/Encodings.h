#pragma once
// The encodings of the program's text as bytes: the code pages, the one a
// request goes out in, a file's, and reading UTF-16. Converting to and from a
// code page is the platform's (platform/Codec.h).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vek {

// A Windows code page by its number. The core names three: the system's ANSI
// code page (0), which vek.ini, the host's shared memory and a dropped name's
// 8-bit list are in; Shift_JIS, for requests and files without a mark that
// are not UTF-8; and UTF-8.
struct CodePage {
    std::uint32_t number;
    static const CodePage Ansi, ShiftJis, Utf8;
    friend constexpr bool operator==(CodePage, CodePage) = default;
};
inline constexpr CodePage CodePage::Ansi{0};
inline constexpr CodePage CodePage::ShiftJis{932};
inline constexpr CodePage CodePage::Utf8{65001};

class Codec;

struct Encoded {
    CodePage cp;
    std::string bytes;
};

// The bytes of text in Shift_JIS where Shift_JIS holds every character of it
// exactly, else in UTF-8, which holds any. A text that Shift_JIS cannot hold
// is found out in the first piece that holds such a character.
Encoded ShiftJisOrUtf8(const Codec& codec, std::u16string_view text);

// Legacy: no mark and not UTF-8, so in the code page of its kind of file.
enum class FileEncoding { Legacy, Utf8, Utf16Le, Utf16Be };

// The byte-order mark bytes start with (EF BB BF, FF FE, FE FF), and its size;
// 0 for none.
struct ByteOrderMark {
    FileEncoding encoding = FileEncoding::Legacy;
    std::size_t size = 0;
};
ByteOrderMark FindByteOrderMark(std::string_view bytes);

// A file's encoding from its bytes as they are read: its mark's, else UTF-8
// where they are valid UTF-8 throughout with a multi-byte sequence.
class EncodingDetector {
public:
    // True once the encoding is decided.
    bool Feed(std::string_view bytes);
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

// None for UTF-16, which Utf16Reader reads.
std::optional<CodePage> CodePageOf(FileEncoding encoding, CodePage legacy);

// Reads UTF-16 whose bytes come in pieces: a unit or a pair that two pieces
// split is read whole; a surrogate without its partner becomes U+FFFD.
class Utf16Reader {
public:
    explicit Utf16Reader(FileEncoding encoding) : bigEndian_(encoding == FileEncoding::Utf16Be) {}

    // text becomes the text the bytes complete; an odd last byte, and a high
    // surrogate last, wait for the next piece.
    void Read(std::string_view bytes, std::u16string& text);

    // What the end adds: U+FFFD for a last byte and a high surrogate alone.
    std::u16string_view Finish() const {
        return std::u16string_view(u"\uFFFD\uFFFD").substr(0, odd_.has_value() + high_.has_value());
    }

private:
    bool bigEndian_;
    std::optional<char> odd_;
    std::optional<char16_t> high_;
};

}  // namespace vek
