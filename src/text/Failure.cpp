#include "text/Failure.h"

namespace vek {
namespace {

// The titles of the failure kinds, in the order of FailureKind.
constexpr std::u16string_view kTitles[] = {u"Type mismatch", u"Overflow",
                                           u"Invalid procedure call or argument", u"File error",
                                           u"System error"};

}  // namespace

RuntimeFailure& RuntimeFailure::AddContext(std::u16string_view context) {
    context_ =
        context_.empty() ? std::u16string(context) : std::u16string(context) + u": " + context_;
    return *this;
}

std::u16string RuntimeFailure::Report() const {
    std::u16string report;
    if (!context_.empty()) report += context_ + u": ";
    report += kTitles[static_cast<int>(kind_)];
    if (!detail_.empty()) report += u": " + detail_;
    return report;
}

}  // namespace vek
