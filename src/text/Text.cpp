#include "text/Text.h"

#include <limits>

#include "app/Failure.h"

namespace vek {
namespace {

constexpr std::int64_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();

[[noreturn]] void ThrowInvalidArgument(std::u16string detail) {
    throw RuntimeFailure(FailureKind::InvalidArgument, std::move(detail));
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// A number as written in the text, before rounding: sign, the significant
// digits and the position of the decimal point among them, or a radix value.
struct ScannedNumber {
    bool negative = false;
    bool radix = false;  // &H or &O form
    std::uint64_t radixValue = 0;
    bool radixTooBig = false;
    std::u16string digits;     // every mantissa digit, integer part first
    std::int64_t pointAt = 0;  // digits before the point, after the exponent is applied
    std::size_t length = 0;    // characters consumed
    bool any = false;          // at least one digit was read
};

// Scans a number at the start of text. Commas are skipped inside the integer
// digits when allowCommas is set (the strict form's digit-group separator).
ScannedNumber Scan(std::u16string_view text, bool allowCommas) {
    ScannedNumber n;
    std::size_t i = 0;
    if (text.size() >= 2 && text[0] == u'&') {
        char16_t kind = text[1];
        int base = (kind == u'H' || kind == u'h') ? 16 : (kind == u'O' || kind == u'o') ? 8 : 0;
        if (base != 0) {
            n.radix = true;
            i = 2;
            while (i < text.size()) {
                int v = HexValue(text[i]);
                if (v < 0 || v >= base) break;
                if (n.radixValue > (std::numeric_limits<std::uint64_t>::max() >> 4)) {
                    n.radixTooBig = true;
                } else {
                    n.radixValue = n.radixValue * base + static_cast<unsigned>(v);
                }
                n.any = true;
                ++i;
            }
            n.length = i;
            return n;
        }
    }
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        n.negative = text[i] == u'-';
        ++i;
    }
    std::int64_t integerDigits = 0;
    while (i < text.size()) {
        if (IsDigit(text[i])) {
            n.digits += text[i];
            ++integerDigits;
            n.any = true;
        } else if (allowCommas && text[i] == u',' && n.any) {
            // digit-group separator
        } else {
            break;
        }
        ++i;
    }
    std::size_t end = i;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            n.digits += text[i];
            n.any = true;
            ++i;
        }
        end = i;
    }
    n.pointAt = integerDigits;
    if (n.any && i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) {
            expNegative = text[j] == u'-';
            ++j;
        }
        if (j < text.size() && IsDigit(text[j])) {
            std::int64_t exponent = 0;
            while (j < text.size() && IsDigit(text[j])) {
                // Far beyond any digit count: the result is 0 or an overflow either way.
                if (exponent < 1'000'000'000) exponent = exponent * 10 + (text[j] - u'0');
                ++j;
            }
            n.pointAt += expNegative ? -exponent : exponent;
            end = j;
        }
    }
    n.length = n.any ? end : 0;
    return n;
}

// Rounds the scanned number to the nearest integer, halves to even, and checks
// the signed 32-bit range. source is the text named in an overflow report.
std::int32_t ToInt32(const ScannedNumber& n, std::u16string_view source) {
    auto overflow = [&]() -> std::int32_t {
        throw RuntimeFailure(FailureKind::Overflow,
                             Quoted(source) + u" is outside the signed 32-bit range");
    };
    if (!n.any) return 0;
    if (n.radix) {
        if (n.radixTooBig || n.radixValue > static_cast<std::uint64_t>(kMax32)) return overflow();
        return static_cast<std::int32_t>(n.radixValue);
    }
    if (n.digits.find_first_not_of(u'0') == std::u16string::npos) return 0;
    // Integer part: the digits before pointAt (zeros beyond the written digits).
    std::int64_t magnitude = 0;
    std::int64_t pointAt = n.pointAt;
    const auto count = static_cast<std::int64_t>(n.digits.size());
    for (std::int64_t k = 0; k < pointAt; ++k) {
        int d = k < count ? n.digits[static_cast<std::size_t>(k)] - u'0' : 0;
        if (magnitude == 0 && d == 0) continue;
        magnitude = magnitude * 10 + d;
        if (magnitude > kMax32 + 1) return overflow();
    }
    // Fraction: compare with one half.
    bool roundUp = false;
    if (pointAt < count) {
        std::int64_t first = pointAt < 0 ? -1 : pointAt;  // -1: the fraction starts with zeros
        if (first >= 0) {
            int d = n.digits[static_cast<std::size_t>(first)] - u'0';
            if (d > 5) {
                roundUp = true;
            } else if (d == 5) {
                bool above = false;
                for (std::int64_t k = first + 1; k < count; ++k) {
                    if (n.digits[static_cast<std::size_t>(k)] != u'0') above = true;
                }
                roundUp = above || (magnitude % 2 == 1);
            }
        }
    }
    if (roundUp) ++magnitude;
    std::int64_t value = n.negative ? -magnitude : magnitude;
    if (value < kMin32 || value > kMax32) return overflow();
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::u16string Quoted(std::u16string_view text) {
    // Long texts are shortened so that a report stays readable.
    constexpr std::size_t kShown = 200;
    std::u16string quoted = u"'";
    if (text.size() > kShown) {
        quoted += text.substr(0, kShown);
        quoted += u"...";
    } else {
        quoted += text;
    }
    quoted += u"'";
    return quoted;
}

std::u16string Trim(std::u16string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    return std::u16string(text.substr(begin, end - begin));
}

std::u16string Left(std::u16string_view text, std::int64_t n) {
    if (n < 0) ThrowInvalidArgument(u"a text length of " + PlainNumber(n) + u" characters");
    return std::u16string(
        text.substr(0, static_cast<std::size_t>(std::min<std::int64_t>(n, text.size()))));
}

std::u16string Mid(std::u16string_view text, std::int64_t start) {
    if (start < 1) ThrowInvalidArgument(u"a text position of " + PlainNumber(start));
    if (start > static_cast<std::int64_t>(text.size())) return {};
    return std::u16string(text.substr(static_cast<std::size_t>(start - 1)));
}

std::u16string Mid(std::u16string_view text, std::int64_t start, std::int64_t n) {
    if (n < 0) ThrowInvalidArgument(u"a text length of " + PlainNumber(n) + u" characters");
    return Left(Mid(text, start), n);
}

std::int64_t InStr(std::int64_t start, std::u16string_view text, std::u16string_view what) {
    if (start < 1) ThrowInvalidArgument(u"a search position of " + PlainNumber(start));
    if (start > static_cast<std::int64_t>(text.size())) return 0;
    auto at = text.find(what, static_cast<std::size_t>(start - 1));
    return at == std::u16string_view::npos ? 0 : static_cast<std::int64_t>(at) + 1;
}

std::int32_t ValPrefix(std::u16string_view text) {
    std::u16string compact;
    compact.reserve(text.size());
    for (char16_t c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n') compact += c;
    }
    ScannedNumber n = Scan(compact, false);
    return ToInt32(n, compact.substr(0, n.length));
}

std::int32_t ValStrict(std::u16string_view text) {
    std::u16string trimmed = Trim(text);
    ScannedNumber n = Scan(trimmed, true);
    if (!n.any || n.length != trimmed.size()) {
        throw RuntimeFailure(FailureKind::TypeMismatch, Quoted(text) + u" is not a number");
    }
    return ToInt32(n, trimmed);
}

std::u16string PaddedNumber(std::int64_t value) {
    std::u16string digits;
    // Work on the negative side so that the smallest value has no overflow.
    std::int64_t v = value < 0 ? value : -value;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' - v % 10));
        v /= 10;
    } while (v != 0);
    return (value < 0 ? u"-" : u" ") + digits;
}

std::u16string PlainNumber(std::int64_t value) {
    return Trim(PaddedNumber(value));
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        char32_t c = 0xFFFD;
        std::size_t len = 1;
        if (b < 0x80) {
            c = b;
        } else {
            std::size_t need = (b & 0xE0) == 0xC0   ? 2
                               : (b & 0xF0) == 0xE0 ? 3
                               : (b & 0xF8) == 0xF0 ? 4
                                                    : 0;
            if (need != 0 && i + need <= text.size()) {
                char32_t v = b & (0x7F >> need);
                bool ok = true;
                for (std::size_t k = 1; k < need; ++k) {
                    auto t = static_cast<unsigned char>(text[i + k]);
                    if ((t & 0xC0) != 0x80) {
                        ok = false;
                        break;
                    }
                    v = (v << 6) | (t & 0x3F);
                }
                static constexpr char32_t kMinForLength[] = {0, 0, 0x80, 0x800, 0x10000};
                if (ok && v >= kMinForLength[need] && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF)) {
                    c = v;
                    len = need;
                }
            }
        }
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += len;
    }
    return out;
}

std::u16string Widen(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

}  // namespace vek
