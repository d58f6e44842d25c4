#pragma once
// Helpers the native tests share.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakePlatform.h"
#include "text/Failure.h"

namespace vek {

// UTF-16 text as UTF-8, for failure messages.
inline std::string Utf8(std::u16string_view text) {
    return FakePlatform().Encode(CodePage::Utf8, text);
}

// The report of the RuntimeFailure f throws, or "no failure".
template <typename F>
std::string ReportOf(F&& f) {
    try {
        f();
    } catch (const RuntimeFailure& failure) {
        return Utf8(failure.Report());
    }
    return "no failure";
}

// Lines joined as requests join them: CR LF between, none after the last.
inline std::u16string JoinCrLf(const std::vector<std::u16string>& lines) {
    std::u16string joined;
    for (const std::u16string& line : lines)
        joined += (&line == lines.data() ? u"" : u"\r\n") + line;
    return joined;
}

}  // namespace vek
