#include "text/Encodings.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/Codec.h"
#include "text/Text.h"

namespace vek {
namespace {

// Characters encoded at a time by ShiftJisOrUtf8.
constexpr std::size_t kEncodeChunk = 64 * 1024;

// Whether one of the four units in word is a surrogate: its lane, masked and
// XORed, is 0, and only a 0 lane borrows into its top bit.
bool HasSurrogate(std::uint64_t word) {
    constexpr std::uint64_t kEach = 0x0001000100010001u;
    const std::uint64_t lanes = (word & 0xF800 * kEach) ^ 0xD800 * kEach;
    return (lanes - kEach) & ~lanes & 0x8000 * kEach;
}

// Appends the UTF-16 code units of bytes, two bytes each in the given byte
// order; an odd last byte is left for the caller.
void AppendUnits(std::string_view bytes, bool bigEndian, std::u16string& out) {
    const std::size_t at = out.size();
    const std::size_t units = bytes.size() / 2;
    out.resize(at + units);
    if (bigEndian == (std::endian::native == std::endian::big)) {
        std::memcpy(out.data() + at, bytes.data(), 2 * units);  // already in place
        return;
    }
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[i]));
    };
    for (std::size_t k = 0; k < units; ++k) {
        const unsigned first = byte(2 * k), second = byte(2 * k + 1);
        out[at + k] = static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
}

}  // namespace

Encoded ShiftJisOrUtf8(const Codec& codec, std::u16string_view text) {
    Encoded sent{CodePage::ShiftJis, {}};
    sent.bytes.reserve(text.size());  // at least a byte a unit: grown once at most
    for (std::size_t at = 0; at < text.size(); at += kEncodeChunk) {
        // A surrogate pair cut by the chunk is lost either way: Shift_JIS
        // holds no character beyond the first plane.
        const std::u16string_view chunk = text.substr(at, kEncodeChunk);
        const std::string bytes = codec.Encode(CodePage::ShiftJis, chunk);
        // No Shift_JIS byte pair ends in '?': the bytes hold the chunk exactly
        // where they have no '?' it does not. Counted, not decoded back: a
        // request can be the size of a file; and only where find (memchr)
        // meets a '?' at all, as count goes byte by byte.
        if (bytes.find('?') != std::string::npos &&
            std::count(bytes.begin(), bytes.end(), '?') !=
                std::count(chunk.begin(), chunk.end(), u'?')) {
            return {CodePage::Utf8, codec.Encode(CodePage::Utf8, text)};
        }
        sent.bytes += bytes;
    }
    return sent;
}

ByteOrderMark FindByteOrderMark(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE")) return {FileEncoding::Utf16Le, 2};
    if (bytes.starts_with("\xFE\xFF")) return {FileEncoding::Utf16Be, 2};
    if (bytes.starts_with("\xEF\xBB\xBF")) return {FileEncoding::Utf8, 3};
    return {};
}

bool EncodingDetector::Feed(std::string_view bytes) {
    if (mark_.size != 0 || (invalid_ && headSize_ >= 2)) return true;
    const std::size_t take = std::min(bytes.size(), sizeof head_ - headSize_);
    std::memcpy(head_ + headSize_, bytes.data(), take);
    headSize_ += take;
    mark_ = FindByteOrderMark({head_, headSize_});
    if (mark_.size != 0) return true;
    // Invalid UTF-8 decides, once the first two bytes show no UTF-16 mark
    // (both of whose bytes are invalid UTF-8).
    return (invalid_ || !Validate(bytes)) && headSize_ >= 2;
}

// False at the first byte that cannot stand where it is: a stray continuation
// byte, an overlong form, a surrogate or a code point beyond U+10FFFF.
bool EncodingDetector::Validate(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p != end) {
        if (need_ == 0) {
            // ASCII needs no state: skip it eight bytes at a time.
            std::uint64_t word;
            while (end - p >= 8 &&
                   (std::memcpy(&word, p, sizeof word), (word & 0x8080808080808080u) == 0)) {
                p += 8;
            }
            if (p == end) break;
            const unsigned char b = *p++;
            if (b < 0x80) continue;
            multiByte_ = true;
            if (b >= 0xC2 && b <= 0xDF) {
                need_ = 1;
            } else if (b >= 0xE0 && b <= 0xEF) {
                need_ = 2;
                if (b == 0xE0) low_ = 0xA0;   // overlong
                if (b == 0xED) high_ = 0x9F;  // surrogates
            } else if (b >= 0xF0 && b <= 0xF4) {
                need_ = 3;
                if (b == 0xF0) low_ = 0x90;   // overlong
                if (b == 0xF4) high_ = 0x8F;  // beyond U+10FFFF
            } else {
                return !(invalid_ = true);
            }
            continue;
        }
        const unsigned char b = *p++;
        if (b < low_ || b > high_) return !(invalid_ = true);
        --need_;
        low_ = 0x80;  // only the first continuation byte has its own range
        high_ = 0xBF;
    }
    return true;
}

FileEncoding EncodingDetector::Encoding() const {
    if (mark_.size != 0) return mark_.encoding;
    // A sequence cut off by the end of the file is not UTF-8 either.
    return !invalid_ && need_ == 0 && multiByte_ ? FileEncoding::Utf8 : FileEncoding::Legacy;
}

std::optional<CodePage> CodePageOf(FileEncoding encoding, CodePage legacy) {
    if (encoding == FileEncoding::Legacy) return legacy;
    if (encoding == FileEncoding::Utf8) return CodePage::Utf8;
    return std::nullopt;
}

void Utf16Reader::Read(std::string_view bytes, std::u16string& text) {
    text.clear();
    if (high_) text += *std::exchange(high_, std::nullopt);
    if (odd_ && !bytes.empty()) {
        const char pair[] = {*odd_, bytes.front()};
        AppendUnits({pair, 2}, bigEndian_, text);
        bytes.remove_prefix(1);
        odd_.reset();
    }
    AppendUnits(bytes, bigEndian_, text);
    if (bytes.size() % 2 != 0) odd_ = bytes.back();
    if (!text.empty() && IsHighSurrogate(text.back())) {
        high_ = text.back();
        text.pop_back();
    }
    for (std::size_t i = 0;; ++i) {
        // Most text has none: four units at a time are skipped that hold none.
        for (std::uint64_t word; text.size() - i >= 4 && (std::memcpy(&word, &text[i], sizeof word),
                                                          !HasSurrogate(word));) {
            i += 4;
        }
        if (i >= text.size()) break;
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            ++i;
        } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
            text[i] = u'\uFFFD';
        }
    }
}

}  // namespace vek
