#pragma once
// Helpers the native tests share.

#include <gtest/gtest.h>

#include <string>

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
        return Utf8(failure.Report(FakePlatform()));
    }
    return "no failure";
}

}  // namespace vek
