#include "text/Failure.h"

namespace vek {
namespace {

std::u16string_view Title(FailureKind kind) {
    switch (kind) {
        case FailureKind::TypeMismatch:
            return u"Type mismatch";
        case FailureKind::Overflow:
            return u"Overflow";
        case FailureKind::InvalidArgument:
            return u"Invalid procedure call or argument";
        case FailureKind::FileError:
            return u"File error";
        case FailureKind::SystemError:
            break;
    }
    return u"System error";
}

}  // namespace

RuntimeFailure& RuntimeFailure::AddContext(std::u16string_view context) {
    context_ =
        context_.empty() ? std::u16string(context) : std::u16string(context) + u": " + context_;
    return *this;
}

std::u16string RuntimeFailure::Report() const {
    std::u16string report;
    if (!context_.empty()) report += context_ + u": ";
    report += Title(kind_);
    if (!detail_.empty()) report += u": " + detail_;
    return report;
}

}  // namespace vek
