#pragma once
// Text helpers. Text is UTF-16, so that positions count the same on every
// platform; positions are 1-based.

#include <cstdint>
#include <string>
#include <string_view>

namespace vek {

constexpr bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The text in ASCII, '?' for each unit beyond it: what <charconv> reads, and
// what any reader of bytes takes.
std::string Ascii(std::u16string_view text);

// Removes leading and trailing spaces (U+0020 only; tabs and line breaks stay).
std::u16string Trim(std::u16string_view text);

// The first n characters, and the characters from position start on, at most
// n of them in the third form. A start below 1 or a negative n fails as an
// invalid argument.
std::u16string Left(std::u16string_view text, std::int64_t n);
std::u16string Mid(std::u16string_view text, std::int64_t start);
std::u16string Mid(std::u16string_view text, std::int64_t start, std::int64_t n);

// Position of the first what at or after position start, 0 for none. A start
// below 1 fails as an invalid argument.
std::int64_t InStr(std::int64_t start, std::u16string_view text, std::u16string_view what);

// Spaces, tabs and line feeds are removed from the whole text, then the
// longest leading decimal number (sign, digits, point, digits, exponent) or
// &H / &O number is read; none gives 0. Halves round to even; a value outside
// the signed 32-bit range fails as an overflow.
std::int32_t ValPrefix(std::u16string_view text);

// The whole text, apart from surrounding spaces, must be a number as for
// ValPrefix (with ',' among the integer digits); anything else fails as a type
// mismatch.
std::int32_t ValStrict(std::u16string_view text);

// " 1234" and "-1"; and without the space, "1234".
std::u16string PaddedNumber(std::int64_t value);
std::u16string PlainNumber(std::int64_t value);

// A text as a report names it, in single quotes; a very long one keeps its
// start and its end (a path's file name) around "...".
std::u16string Quoted(std::u16string_view text);

}  // namespace vek
