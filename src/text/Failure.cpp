#include "text/Failure.h"

#include "text/Text.h"

namespace vek {
namespace {

// The titles of the failure kinds, in the order of FailureKind.
constexpr std::u16string_view kTitles[] = {u"Type mismatch", u"Overflow",
                                           u"Invalid procedure call or argument", u"File error",
                                           u"System error"};

}  // namespace

std::u16string SystemErrorReport(std::u16string_view systemText, std::uint32_t error) {
    // The system ends its texts with a full stop and a line end.
    const std::size_t end = systemText.find_last_not_of(u"\r\n .");
    const std::u16string_view text =
        end == std::u16string_view::npos ? u"system error" : systemText.substr(0, end + 1);
    return std::u16string(text) + u" (error " + PlainNumber(std::int64_t{error}) + u")";
}

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
