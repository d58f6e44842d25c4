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

// Reports failure and returns the run's exit code: 2 for a failure after which
// the host may have taken the request all the same, else 1. A failure after
// the request or the drop was handed over (handedOver) that is not the hand-
// over's own verdict gives 2. The report goes to standard error whenever the
// caller gave one, and into a message box unless a program captures standard
// error: a script that runs vek.exe unattended must not wait for a box that
// nobody is there to click. Where nobody can click a box now, and standard
// error took nothing, it goes to the event log.
int ReportFailure(Platform& platform, const std::exception_ptr& failure, bool handedOver = false);

// Reports a fault of the program itself, which ends the run wherever it
// happens, the same way, and returns its exit code, kInternalErrorExitCode.
// It builds no text of its own: the fault may have been running out of
// memory.
int ReportInternalError(Platform& platform);

}  // namespace vek
