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

// A notification as the host receives it from the double's window: these lines between the
// opening and closing lines.
inline std::u16string Notification(std::u16string_view lines) {
    return u"NOTIFY SSTP/1.0\r\nSender: VEK\r\n" + std::u16string(lines) +
           u"\r\nHWnd: 1234\r\nSecurityLevel: local\r\nCharset: Shift_JIS";
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
