#include "app/Failure.h"

#include <utility>

#include "text/Text.h"

namespace vek {

std::u16string_view FailureTitle(FailureKind kind) {
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
            return u"System error";
    }
    return u"Failure";
}

RuntimeFailure::RuntimeFailure(FailureKind kind, std::u16string detail)
    : kind_(kind), detail_(std::move(detail)) {
    Refresh();
}

RuntimeFailure& RuntimeFailure::AddContext(std::u16string_view context) {
    if (context_.empty()) {
        context_ = context;
    } else {
        context_ = std::u16string(context) + u": " + context_;
    }
    Refresh();
    return *this;
}

std::u16string RuntimeFailure::Report() const {
    std::u16string report;
    if (!context_.empty()) report += context_ + u": ";
    report += FailureTitle(kind_);
    if (!detail_.empty()) report += u": " + detail_;
    return report;
}

void RuntimeFailure::Refresh() {
    utf8_ = ToUtf8(Report());
}

}  // namespace vek
