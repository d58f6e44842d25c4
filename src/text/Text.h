#pragma once
// Text helpers shared by the whole program. Text is UTF-16 so that character
// positions count the same on every platform; positions are 1-based.

#include <cstdint>
#include <string>
#include <string_view>

namespace vek {

// The halves of a UTF-16 surrogate pair.
constexpr bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Removes leading and trailing spaces (U+0020 only; tabs and line breaks stay).
std::u16string Trim(std::u16string_view text);

// The first n characters (all of them when the text is shorter).
// A negative n fails as an invalid argument.
std::u16string Left(std::u16string_view text, std::int64_t n);

// The characters from position start on (empty when start is past the end),
// at most n of them in the second form. A start below 1 or a negative n fails
// as an invalid argument.
std::u16string Mid(std::u16string_view text, std::int64_t start);
std::u16string Mid(std::u16string_view text, std::int64_t start, std::int64_t n);

// Position of the first occurrence of what at or after position start, 0 when
// there is none. A start below 1 fails as an invalid argument.
std::int64_t InStr(std::int64_t start, std::u16string_view text, std::u16string_view what);

// Numeric-prefix conversion: spaces, tabs and line feeds are removed from the
// whole text, then the longest leading decimal number (sign, digits, point,
// digits, exponent) or an &H / &O number is read; no number gives 0. Rounds
// halves to even; a value outside the signed 32-bit range fails as an overflow.
std::int32_t ValPrefix(std::u16string_view text);

// Strict conversion: the whole text, apart from surrounding spaces, must be a
// number written as for ValPrefix (',' is accepted as a digit-group separator
// in the integer digits). Anything else fails as a type mismatch; rounding and
// overflow as for ValPrefix.
std::int32_t ValStrict(std::u16string_view text);

// Space-padded number form: one space before a value >= 0, "-" before a
// negative one (" 1234", "-1").
std::u16string PaddedNumber(std::int64_t value);

// Plain decimal: the padded form without its space ("1234", "-1").
std::u16string PlainNumber(std::int64_t value);

// A text as a report names it: in single quotes; a very long one keeps its
// start and its end (where a path has its file name) around "...".
std::u16string Quoted(std::u16string_view text);

}  // namespace vek
