#pragma once
// The one exception type of the program. Every runtime failure (a number that
// does not convert, an overflow, an invalid argument, a file that cannot be
// read or written, a request the host did not take) is thrown as a
// RuntimeFailure and caught once, at the top, where the report is shown and
// the run ends with its exit code: 1 when nothing reached the host, 2 when
// what failed may have reached it, so that a script knows whether sending
// again is safe.

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace vek {

enum class FailureKind {
    TypeMismatch,     // a text that had to be a number is not one
    Overflow,         // a number outside the signed 32-bit range
    InvalidArgument,  // a negative count or position handed to a text operation
    FileError,        // a file that cannot be opened, read or written
    SystemError,      // any other failing system call
};

// The system's text for an error, as a report quotes it: with its number,
// so that an unusual one can be looked up, and a word where the system has
// no text.
std::u16string SystemErrorReport(std::u16string_view systemText, std::uint32_t error);

class RuntimeFailure : public std::exception {
public:
    RuntimeFailure(FailureKind kind, std::u16string detail)
        : kind_(kind), detail_(std::move(detail)) {}

    FailureKind Kind() const noexcept { return kind_; }

    // Marks a failure after which the host may have taken the request or the
    // drop all the same: sending it again may deliver it twice.
    RuntimeFailure& MayHaveArrived() {
        mayHaveArrived_ = true;
        return *this;
    }
    int ExitCode() const noexcept { return mayHaveArrived_ ? 2 : 1; }

    // Names what the program was doing when the failure happened; an outer
    // context goes in front of the ones added before it.
    RuntimeFailure& AddContext(std::u16string_view context);

    // The text shown to the user: the context, the kind of failure and the detail.
    std::u16string Report() const;

    // The report is UTF-16 text; the top of the program shows Report().
    const char* what() const noexcept override { return "VEK runtime failure"; }

private:
    FailureKind kind_;
    std::u16string detail_;
    std::u16string context_;
    bool mayHaveArrived_ = false;
};

}  // namespace vek
