#include "app/Report.h"

#include <new>

#include "text/Failure.h"

namespace vek {
namespace {

constexpr std::u16string_view kLineStart = u"VEK: ";
constexpr std::u16string_view kLineEnd = u"\r\n";

// Lines written as they are: they may have to be reported when no memory is
// left to build one.
constexpr std::u16string_view kInternalErrorLine =
    u"VEK: internal error: vek.exe stopped on a fault of its own; whether the request reached "
    u"the host is not known\r\n";
constexpr std::u16string_view kOutOfMemoryLine = u"VEK: Out of memory\r\n";
constexpr std::u16string_view kOutOfMemoryAfterHandOverLine =
    u"VEK: Out of memory once the request had gone to the host: it may have reached it: sending "
    u"it again may deliver it twice\r\n";

constexpr std::u16string_view ReportOf(std::u16string_view line) {
    return line.substr(kLineStart.size(), line.size() - kLineStart.size() - kLineEnd.size());
}

void Route(Desktop& desktop, std::u16string_view line) {
    const ErrorStream where = desktop.ErrorOutput();
    // A write that fails (a pipe whose reader has gone, a full disk) counts
    // as no standard error: the report must still reach somebody.
    const bool written = where != ErrorStream::None && desktop.WriteError(line);
    if (written && where == ErrorStream::Captured) return;  // a program has it
    if (desktop.WhoSeesWindows() == Onlooker::User) {
        desktop.ShowMessage(ReportOf(line), MessageKind::Failure);
    } else if (!written) {
        desktop.WriteEventLog(ReportOf(line));
    }
}

}  // namespace

std::u16string StandardErrorLine(std::u16string_view report) {
    return std::u16string(kLineStart) + std::u16string(report) + std::u16string(kLineEnd);
}

int ReportFailure(Platform& platform, const std::exception_ptr& failure, bool handedOver) {
    int exitCode = handedOver ? 2 : 1;
    try {
        std::u16string report = u"Unexpected failure";
        try {
            std::rethrow_exception(failure);
        } catch (const RuntimeFailure& runtime) {
            exitCode = runtime.ExitCode();
            report = runtime.Report(platform);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& other) {
            report += u": " + platform.Decode(CodePage::Utf8, other.what());
        } catch (...) {
        }
        Route(platform, StandardErrorLine(report));
    } catch (const std::bad_alloc&) {
        // Maybe only while the report was being built: a line that needs no memory.
        Route(platform, handedOver ? kOutOfMemoryAfterHandOverLine : kOutOfMemoryLine);
    }
    return exitCode;
}

int ReportInternalError(Platform& platform) {
    Route(platform, kInternalErrorLine);
    return kInternalErrorExitCode;
}

}  // namespace vek
