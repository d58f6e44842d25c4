#pragma once
// The end of a run that failed: its report where the caller can see it.

#include <exception>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace vek {

// Standard error's line for a report: "VEK: ", the report and a line end.
std::u16string StandardErrorLine(std::u16string_view report);

// The exit code of a fault of the program itself.
inline constexpr int kInternalErrorExitCode = 3;

// Reports failure and returns the exit code: 2 where the host may have taken
// the request all the same (any failure after handedOver that is not the
// hand-over's verdict), else 1. The report goes to standard error, and to a
// box unless a program captures standard error (an unattended script must not
// wait for a click), or else, where nobody can click, to the event log.
int ReportFailure(Platform& platform, const std::exception_ptr& failure, bool handedOver = false);

// The same for a fault of the program itself; builds no text, as the fault
// may have been running out of memory.
int ReportInternalError(Platform& platform);

}  // namespace vek
