#pragma once
// The end of a run that failed: its report where the caller can see it.

#include <exception>

#include "platform/Platform.h"

namespace vek {

// Reports failure and returns the run's exit code: 2 for a failure after which
// the host may have taken the request all the same, else 1. The report goes
// to standard error whenever the caller gave one, and into a message box
// unless a program captures standard error: a script that runs vek.exe
// unattended must not wait for a box that nobody is there to click. Where no
// box can be seen either, and standard error took nothing, it goes to the
// event log.
int ReportFailure(Platform& platform, const std::exception_ptr& failure);

// Reports a fault of the program itself, which ends the run wherever it
// happens, the same way, and returns its exit code, 3. It builds no text of
// its own: the fault may have been running out of memory.
int ReportInternalError(Platform& platform);

}  // namespace vek
