#pragma once
// Where what a run says can be read: a window on the screen, standard error,
// the event log; and who would see a window.

#include <string_view>

namespace vek {

// Where standard error leads: nowhere (no handle, or one that is neither a
// file, a pipe, NUL nor a console of its own), to the console, or to a file,
// a pipe or NUL that a calling program captures or discards.
enum class ErrorStream { None, Console, Captured };

enum class MessageKind { Request, Failure };

// Who would see a window of the program now.
enum class Onlooker {
    Nobody,     // a service's or a scheduled task's window station, session 0
    NobodyNow,  // a disconnected session or a locked workstation
    User,
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // A modal box captioned "VEK" with one OK button, in front of every window.
    virtual void ShowMessage(std::u16string_view text, MessageKind kind) = 0;

    // A box waits for a click: it is shown only to a User.
    virtual Onlooker WhoSeesWindows() const = 0;

    // The text is written as UTF-16 to a console, else in the code page the
    // caller's tools read; false when it could not be written.
    virtual ErrorStream ErrorOutput() const = 0;
    virtual bool WriteError(std::u16string_view text) = 0;

    // An error event; where the log refuses it, the debugger's output.
    virtual void WriteEventLog(std::u16string_view text) = 0;
};

}  // namespace vek
