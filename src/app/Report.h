#pragma once
// The end of a run that failed: its report where the caller can see it.

#include <exception>

#include "platform/Platform.h"

namespace vek {

// Reports failure and returns the exit code, 1. The report goes to standard
// error whenever the caller gave one, and into a message box unless a
// program captures standard error: a script that runs vek.exe unattended
// must not wait for a box that nobody is there to click. Where no box can be
// seen either, and standard error took nothing, it goes to the event log.
int ReportFailure(Platform& platform, const std::exception_ptr& failure);

}  // namespace vek
