#include "text/Failure.h"

#include "text/Text.h"

namespace vek {
namespace {

// In the order of FailureKind.
constexpr std::u16string_view kTitles[] = {u"Type mismatch", u"Overflow",
                                           u"Invalid procedure call or argument", u"File error",
                                           u"System error"};

// What the system failed to do, in the order of Operation: the words around
// the file, for the operations on one; the system's reason follows a ':'.
constexpr std::u16string_view kWorded[][2] = {{u"Could not open ", u":"},
                                              {u"Could not read ", u":"},
                                              {u"Could not write ", u":"},
                                              {u"Could not replace ", u":"},
                                              {u"Could not replace ", u": the file is read-only"},
                                              {u"", u" is not a file"},
                                              {u"the current directory", u":"},
                                              {u"text conversion", u":"},
                                              {u"a text of more than 2 GB to convert", u""},
                                              {u"a text of more than 500 MB to convert", u""},
                                              {u"could not create the window", u":"},
                                              {u"the window's messages cannot be read", u":"},
                                              {u"the balloon's timer cannot be started", u":"},
                                              {u"the window cannot be shown", u":"}};

bool OnAFile(Operation operation) {
    return operation <= Operation::OpenNotAFile;
}

std::u16string Worded(const SystemFailure& failure, const ErrorTexts& texts) {
    const auto [before, after] = kWorded[static_cast<int>(failure.operation)];
    std::u16string words(before);
    if (OnAFile(failure.operation)) words += Quoted(failure.path);
    words += after;
    if (after.ends_with(u':')) words += u" " + texts.SystemErrorReport(failure.error);
    return words;
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
    : kind_(OnAFile(failure.operation) ? FailureKind::FileError : FailureKind::SystemError),
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
