#include "app/Report.h"

#include <new>

#include "text/Failure.h"

namespace vek {
namespace {

std::u16string ReportText(const Platform& platform, const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const RuntimeFailure& runtime) {
        return runtime.Report();
    } catch (const std::bad_alloc&) {
        return u"Out of memory";
    } catch (const std::exception& other) {
        return u"Unexpected failure: " + platform.Decode(CodePage::Utf8, other.what());
    } catch (...) {
        return u"Unexpected failure";
    }
}

}  // namespace

int ReportFailure(Platform& platform, const std::exception_ptr& failure) {
    const std::u16string report = ReportText(platform, failure);
    const ErrorStream where = platform.ErrorOutput();
    // A write that fails (a pipe whose reader has gone, a full disk) counts
    // as no standard error: the report must still reach somebody.
    const bool written =
        where != ErrorStream::None && platform.WriteError(u"VEK: " + report + u"\r\n");
    if (written && where == ErrorStream::Captured) return 1;  // a program has it
    if (platform.CanShowWindows()) {
        platform.ShowMessage(report, MessageKind::Failure);
    } else if (!written) {
        platform.WriteEventLog(report);
    }
    return 1;
}

}  // namespace vek
