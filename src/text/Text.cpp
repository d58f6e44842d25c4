#include "text/Text.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "text/Failure.h"

namespace vek {
namespace {

[[noreturn]] void ThrowInvalidArgument(std::u16string detail) {
    throw RuntimeFailure(FailureKind::InvalidArgument, std::move(detail));
}

constexpr std::string_view kDigits = "0123456789";
constexpr std::uint64_t kFar = 1'000'000'000;

// A number as written: its significant digits (no leading or trailing zeros),
// where the decimal point falls among them (the exponent applied; it may lie
// before them or past their end) and its sign.
struct Number {
    std::string digits;
    std::int64_t point = 0;
    bool negative = false;
    bool tooLarge = false;   // an &H or &O value beyond 64 bits
    std::size_t length = 0;  // characters it takes; 0 when the text starts with none
};

Number ReadNumber(std::string_view text) {
    const auto at = [&](std::size_t i) { return i < text.size() ? text[i] : '\0'; };
    const auto digitsFrom = [&](std::size_t i) {
        return std::min(text.find_first_not_of(kDigits, i), text.size());
    };
    Number number;
    const char radix = static_cast<char>(at(1) | 0x20);
    if (at(0) == '&' && (radix == 'h' || radix == 'o')) {
        std::uint64_t value = 0;
        const auto [end, error] = std::from_chars(text.data() + 2, text.data() + text.size(), value,
                                                  radix == 'h' ? 16 : 8);
        if (end == text.data() + 2) return number;
        number.tooLarge = error == std::errc::result_out_of_range;
        number.digits = std::to_string(value);
        number.point = std::ssize(number.digits);
        number.length = static_cast<std::size_t>(end - text.data());
        return number;
    }
    number.negative = at(0) == '-';
    const std::size_t start = at(0) == '+' || at(0) == '-' ? 1 : 0;
    std::size_t end = digitsFrom(start);
    number.digits = text.substr(start, end - start);
    number.point = std::ssize(number.digits);
    if (at(end) == '.') {
        const std::size_t fraction = end + 1;
        end = digitsFrom(fraction);
        number.digits += text.substr(fraction, end - fraction);
    }
    if (number.digits.empty()) return {};
    // An exponent counts only with a digit; far beyond any digit count, the
    // result is 0 or an overflow either way.
    if ((at(end) | 0x20) == 'e') {
        const char* digits = text.data() + end + 1 + (at(end + 1) == '+' || at(end + 1) == '-');
        std::uint64_t exponent = 0;
        const auto [last, error] = std::from_chars(digits, text.data() + text.size(), exponent);
        if (last != digits) {
            exponent = std::min<std::uint64_t>(error == std::errc() ? exponent : kFar, kFar);
            number.point += at(end + 1) == '-' ? -static_cast<std::int64_t>(exponent)
                                               : static_cast<std::int64_t>(exponent);
            end = static_cast<std::size_t>(last - text.data());
        }
    }
    // Zeros before and after the significant digits change nothing but the point.
    const std::size_t zeros = std::min(number.digits.find_first_not_of('0'), number.digits.size());
    number.digits.erase(0, zeros);
    number.digits.erase(number.digits.find_last_not_of('0') + 1);
    number.point -= static_cast<std::int64_t>(zeros);
    number.length = end;
    return number;
}

[[noreturn]] void ThrowOverflow(std::string_view written) {
    throw RuntimeFailure(FailureKind::Overflow,
                         Quoted(std::u16string(written.begin(), written.end())) +
                             u" is outside the signed 32-bit range");
}

// The nearest integer, halves to the even one, in the signed 32-bit range.
std::int32_t Rounded(const Number& number, std::string_view written) {
    const auto size = std::ssize(number.digits);
    if (size == 0) return 0;  // only zeros, whatever the exponent
    if (number.tooLarge || number.point > 10) ThrowOverflow(written);
    std::int64_t value = 0;
    if (number.point > 0) {
        std::string whole = number.digits.substr(0, static_cast<std::size_t>(number.point));
        whole.resize(static_cast<std::size_t>(number.point), '0');
        std::from_chars(whole.data(), whole.data() + whole.size(), value);
    }
    // The first digit after the point decides; a 5 followed by nothing (the
    // digits have no trailing zeros) is a half.
    const char first = number.point >= 0 && number.point < size
                           ? number.digits[static_cast<std::size_t>(number.point)]
                           : '0';
    if (first > '5' || (first == '5' && (number.point + 1 < size || value % 2 == 1))) ++value;
    if (number.negative) value = -value;
    if (!std::in_range<std::int32_t>(value)) ThrowOverflow(written);
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::string Ascii(std::u16string_view text) {
    std::string ascii;
    for (const char16_t c : text) ascii += c < 0x80 ? static_cast<char>(c) : '?';
    return ascii;
}

std::u16string Quoted(std::u16string_view text) {
    constexpr std::size_t kKept = 100;
    if (text.size() <= 2 * kKept + 3) return u"'" + std::u16string(text) + u"'";
    return u"'" + std::u16string(text.substr(0, kKept)) + u"..." +
           std::u16string(text.substr(text.size() - kKept)) + u"'";
}

std::u16string Trim(std::u16string_view text) {
    const std::size_t begin = text.find_first_not_of(u' ');
    if (begin == std::u16string_view::npos) return {};
    return std::u16string(text.substr(begin, text.find_last_not_of(u' ') - begin + 1));
}

std::u16string Left(std::u16string_view text, std::int64_t n) {
    if (n < 0) ThrowInvalidArgument(u"a text length of " + PlainNumber(n) + u" characters");
    return std::u16string(text.substr(0, static_cast<std::size_t>(n)));
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
    const auto at = text.find(what, static_cast<std::size_t>(start - 1));
    return at == std::u16string_view::npos ? 0 : static_cast<std::int64_t>(at) + 1;
}

std::int32_t ValPrefix(std::u16string_view text) {
    std::string compact = Ascii(text);
    std::erase_if(compact, [](char c) { return c == ' ' || c == '\t' || c == '\n'; });
    const Number number = ReadNumber(compact);
    return Rounded(number, std::string_view(compact).substr(0, number.length));
}

std::int32_t ValStrict(std::u16string_view text) {
    std::string number = Ascii(Trim(text));
    // Digit-group separators may follow the first integer digit.
    const std::size_t digits = number.starts_with('+') || number.starts_with('-') ? 1 : 0;
    if (digits < number.size() && kDigits.find(number[digits]) != kDigits.npos) {
        const std::size_t end =
            std::min(number.find_first_not_of("0123456789,", digits), number.size());
        std::string integer = number.substr(digits, end - digits);
        std::erase(integer, ',');
        number.replace(digits, end - digits, integer);
    }
    const Number read = ReadNumber(number);
    if (read.length == 0 || read.length != number.size()) {
        throw RuntimeFailure(FailureKind::TypeMismatch, Quoted(text) + u" is not a number");
    }
    return Rounded(read, number);
}

std::u16string PlainNumber(std::int64_t value) {
    char digits[24];
    char* const end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::u16string(digits, end);
}

std::u16string PaddedNumber(std::int64_t value) {
    return (value < 0 ? u"" : u" ") + PlainNumber(value);
}

}  // namespace vek
