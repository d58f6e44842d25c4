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
#include <optional>
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

// The system's own texts for its error numbers: the platform's.
class ErrorTexts {
public:
    virtual ~ErrorTexts() = default;
    // Without its line end; empty where the system has none.
    virtual std::u16string SystemErrorText(std::uint32_t error) const = 0;
    // The text as a report quotes it: with its number, so that an unusual one
    // can be looked up, and a word where the system has no text.
    std::u16string SystemErrorReport(std::uint32_t error) const;
};

// What the system failed to do. The platform tells the facts; the words of
// every report are the core's (RuntimeFailure::Report). The operations on a
// file come first: their failures are file errors, the others system errors.
enum class Operation {
    Open,  // a file, each for the system's reason
    Read,
    Write,
    Replace,
    ReplaceReadOnly,  // a read-only file, which no waiting makes writable
    OpenNotAFile,     // a device or a pipe where a file was to be read
    CurrentDirectory,
    Convert,        // text between UTF-16 and a code page
    DecodeOver2Gb,  // more text than the system converts at once
    EncodeOver500Mb,
    CreateWindow,  // the program's window, for the balloon or the test window
    ReadMessages,
    StartTimer,
    ShowWindow,
};
struct SystemFailure {
    Operation operation;
    std::uint32_t error = 0;   // the system's error number; 0 where it gives none
    std::u16string path = {};  // the file, for the file operations
};

class RuntimeFailure : public std::exception {
public:
    RuntimeFailure(FailureKind kind, std::u16string detail)
        : kind_(kind), detail_(std::move(detail)) {}
    explicit RuntimeFailure(SystemFailure failure);

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

    // The text shown to the user: the context, the kind of failure and the
    // detail, or the words for what the system failed to do, quoting texts'
    // text for its error.
    std::u16string Report(const ErrorTexts& texts) const;

    // The report is UTF-16 text; the top of the program shows Report().
    const char* what() const noexcept override { return "VEK runtime failure"; }

private:
    FailureKind kind_;
    std::u16string detail_;
    std::optional<SystemFailure> system_;
    std::u16string context_;
    bool mayHaveArrived_ = false;
};

}  // namespace vek
