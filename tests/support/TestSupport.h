#pragma once
// Helpers the native tests share.

#include <gtest/gtest.h>

#include <string>

#include "FakePlatform.h"
#include "text/Failure.h"

namespace vek {

inline std::string Utf8(std::u16string_view text) {
    return FakePlatform().Encode(CodePage::Utf8, text);
}

inline std::string ShiftJis(std::u16string_view text) {
    return FakePlatform().Encode(CodePage::ShiftJis, text);
}

// The bytes of text in UTF-16 of either byte order.
inline std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    const int first = bigEndian ? 8 : 0;  // the shift that gives the first byte of a unit
    for (const char16_t c : text)
        bytes += {static_cast<char>(c >> first), static_cast<char>(c >> (8 - first))};
    return bytes;
}

// The report of the RuntimeFailure f throws, or "no failure".
template <typename F>
std::string ReportOf(F&& f) {
    try {
        f();
    } catch (const RuntimeFailure& failure) {
        return Utf8(failure.Report(FakePlatform()));
    }
    return "no failure";
}

}  // namespace vek
