#pragma once
// Helpers the unit tests share.

#include <gtest/gtest.h>

#include <string>

#include "app/Failure.h"
#include "text/Text.h"

namespace vek {

// Lets GoogleTest print UTF-16 text readably.
inline void PrintTo(const std::u16string& text, std::ostream* os) {
    *os << '"' << ToUtf8(text) << '"';
}

// u8 text from the test sources as UTF-16.
inline std::u16string U(const char* utf8) {
    return FromUtf8(utf8);
}

// Runs f and returns the kind of RuntimeFailure it threw; fails the test when
// it threw nothing.
template <typename F>
FailureKind FailureOf(F&& f) {
    try {
        f();
    } catch (const RuntimeFailure& failure) {
        return failure.Kind();
    }
    ADD_FAILURE() << "expected a RuntimeFailure";
    return FailureKind::SystemError;
}

// The report of the RuntimeFailure f throws, empty when it throws none.
template <typename F>
std::string ReportOf(F&& f) {
    try {
        f();
    } catch (const RuntimeFailure& failure) {
        return ToUtf8(failure.Report());
    }
    return {};
}

}  // namespace vek
