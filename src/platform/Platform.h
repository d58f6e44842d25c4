#pragma once
// Everything the core needs from the system, and nothing more, one job to a
// header: the codec, files, the host, the desktop; and the system's texts
// for its errors (text/Failure.h). Platform joins them for whoever needs
// several; a part that needs only one may take that one. The Win32
// implementation lives in platform/win32; the tests have a double that keeps
// files in memory and records what the core asked for.
//
// One error style: what the core decides on (a file that is not there, what
// became of a delivery, a host memory refused, a write to standard error
// that failed) is returned; a job the system failed to do throws
// RuntimeFailure(SystemFailure), the facts of it, which the core words.

#include <string>

#include "platform/Codec.h"
#include "platform/Desktop.h"
#include "platform/Files.h"
#include "platform/Host.h"
#include "text/Failure.h"

namespace vek {

class Platform : public Codec, public Files, public Host, public Desktop, public ErrorTexts {
public:
    // The handle of the program's own window (the form F_ZERO).
    virtual Hwnd OwnHwnd() const = 0;

    // The whole command line as the system has it, the program's name first.
    virtual std::u16string CommandLine() const = 0;
};

}  // namespace vek
