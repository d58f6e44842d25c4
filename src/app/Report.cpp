#include "app/Report.h"

#include <new>

#include "text/Failure.h"

namespace vek {
namespace {

// Standard error's line for a fault of the program; the report is the line
// without "VEK: " and the line end.
constexpr std::u16string_view kInternalErrorLine =
    u"VEK: internal error: vek.exe stopped on a fault of its own; whether the request reached "
    u"the host is not known\r\n";

struct Described {
    std::u16string report;
    int exitCode = 1;
};

Described Describe(const Platform& platform, const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const RuntimeFailure& runtime) {
        return {runtime.Report(), runtime.ExitCode()};
    } catch (const std::bad_alloc&) {
        return {u"Out of memory"};
    } catch (const std::exception& other) {
        return {u"Unexpected failure: " + platform.Decode(CodePage::Utf8, other.what())};
    } catch (...) {
        return {u"Unexpected failure"};
    }
}

// line is what standard error gets: "VEK: ", the report and a line end.
void Route(Platform& platform, std::u16string_view line, std::u16string_view report) {
    const ErrorStream where = platform.ErrorOutput();
    // A write that fails (a pipe whose reader has gone, a full disk) counts
    // as no standard error: the report must still reach somebody.
    const bool written = where != ErrorStream::None && platform.WriteError(line);
    if (written && where == ErrorStream::Captured) return;  // a program has it
    if (platform.CanShowWindows()) {
        platform.ShowMessage(report, MessageKind::Failure);
    } else if (!written) {
        platform.WriteEventLog(report);
    }
}

}  // namespace

int ReportFailure(Platform& platform, const std::exception_ptr& failure) {
    const Described failed = Describe(platform, failure);
    Route(platform, u"VEK: " + failed.report + u"\r\n", failed.report);
    return failed.exitCode;
}

int ReportInternalError(Platform& platform) {
    Route(platform, kInternalErrorLine,
          kInternalErrorLine.substr(5, kInternalErrorLine.size() - 7));
    return 3;
}

}  // namespace vek
