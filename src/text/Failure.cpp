#include "text/Failure.h"

#include "text/Text.h"

namespace vek {
namespace {

// The titles of the failure kinds, in the order of FailureKind.
constexpr std::u16string_view kTitles[] = {u"Type mismatch", u"Overflow",
                                           u"Invalid procedure call or argument", u"File error",
                                           u"System error"};

// The words for what the system failed to do.
std::u16string Worded(const SystemFailure& failure, const ErrorTexts& texts) {
    const std::u16string file = Quoted(failure.path);
    const auto because = [&] { return u": " + texts.SystemErrorReport(failure.error); };
    switch (failure.operation) {
        case Operation::Open:
            return u"Could not open " + file + because();
        case Operation::Read:
            return u"Could not read " + file + because();
        case Operation::Write:
            return u"Could not write " + file + because();
        case Operation::Replace:
            return u"Could not replace " + file + because();
        case Operation::ReplaceReadOnly:
            return u"Could not replace " + file + u": the file is read-only";
        case Operation::OpenNotAFile:
            return file + u" is not a file";
        case Operation::CurrentDirectory:
            return u"the current directory" + because();
        case Operation::Convert:
            return u"text conversion" + because();
        case Operation::DecodeOver2Gb:
            return u"a text of more than 2 GB to convert";
        case Operation::EncodeOver500Mb:
            return u"a text of more than 500 MB to convert";
        case Operation::CreateWindow:
            return u"could not create the window" + because();
        case Operation::ReadMessages:
            return u"the window's messages cannot be read" + because();
        case Operation::StartTimer:
            return u"the balloon's timer cannot be started" + because();
        case Operation::ShowWindow:
            return u"the window cannot be shown" + because();
    }
    return {};
}

}  // namespace

std::u16string ErrorTexts::SystemErrorReport(std::uint32_t error) const {
    std::u16string text = SystemErrorText(error);
    // The system ends its texts with a full stop and a line end.
    const std::size_t end = text.find_last_not_of(u"\r\n .");
    text = end == std::u16string::npos ? u"system error" : text.substr(0, end + 1);
    return text + u" (error " + PlainNumber(std::int64_t{error}) + u")";
}

RuntimeFailure::RuntimeFailure(SystemFailure failure)
    : kind_(failure.operation <= Operation::OpenNotAFile ? FailureKind::FileError
                                                         : FailureKind::SystemError),
      system_(std::move(failure)) {}

RuntimeFailure& RuntimeFailure::AddContext(std::u16string_view context) {
    context_ =
        context_.empty() ? std::u16string(context) : std::u16string(context) + u": " + context_;
    return *this;
}

std::u16string RuntimeFailure::Report(const ErrorTexts& texts) const {
    std::u16string report;
    if (!context_.empty()) report += context_ + u": ";
    report += kTitles[static_cast<int>(kind_)];
    const std::u16string detail = system_ ? Worded(*system_, texts) : detail_;
    if (!detail.empty()) report += u": " + detail;
    return report;
}

}  // namespace vek
