#pragma once
// Everything the core needs from the system, one job to a header; Platform
// joins them for whoever needs several.
//
// What the core decides on (a file that is not there, what became of a
// delivery, a host memory refused, a failed write to standard error) is
// returned; a job the system failed to do throws RuntimeFailure(SystemFailure).

#include <string>

#include "platform/Codec.h"
#include "platform/Desktop.h"
#include "platform/Files.h"
#include "platform/Host.h"
#include "text/Failure.h"

namespace vek {

class Platform : public Codec, public Files, public Host, public Desktop, public ErrorTexts {
public:
    // The program's own window, the form F_ZERO.
    virtual Hwnd OwnHwnd() const = 0;
    // The program's name first.
    virtual std::u16string CommandLine() const = 0;
};

}  // namespace vek
