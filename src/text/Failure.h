#pragma once
// The one exception type of the program, caught once, at the top, where the
// report is shown and the run ends with its exit code.

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

class ErrorTexts {
public:
    virtual ~ErrorTexts() = default;
    // The system's text for an error number; empty where it has none.
    virtual std::u16string SystemErrorText(std::uint32_t error) const = 0;
    // The text as a report quotes it: with its number, to look an unusual one up.
    std::u16string SystemErrorReport(std::uint32_t error) const;
};

// What the system failed to do: the platform tells the facts, the core words
// them. The operations on a file, first, fail as file errors.
enum class Operation {
    Open,
    Read,
    Write,
    Replace,
    ReplaceReadOnly,  // a read-only file, which no waiting makes writable
    OpenNotAFile,     // a device or a pipe where a file was to be read
    CurrentDirectory,
    Convert,
    DecodeOver2Gb,  // more text than the system converts at once
    EncodeOver500Mb,
    CreateWindow,
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

    // The host may have taken the request or the drop all the same: exit code 2.
    RuntimeFailure& MayHaveArrived() {
        mayHaveArrived_ = true;
        return *this;
    }
    int ExitCode() const noexcept { return mayHaveArrived_ ? 2 : 1; }

    // What the program was doing; an outer context goes in front.
    RuntimeFailure& AddContext(std::u16string_view context);

    // The context, the kind of failure and the detail, or the words for what
    // the system failed to do.
    std::u16string Report(const ErrorTexts& texts) const;

    const char* what() const noexcept override { return "VEK runtime failure"; }

private:
    FailureKind kind_;
    std::u16string detail_;
    std::optional<SystemFailure> system_;
    std::u16string context_;
    bool mayHaveArrived_ = false;
};

}  // namespace vek
