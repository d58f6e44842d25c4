#pragma once
// Where what a run says can be read: a window on the screen, standard error,
// the event log; and who would see a window.

#include <string_view>

namespace vek {

// Where the standard error handle the caller gave the program leads: nowhere
// (a program started from a desktop or a console has none, and a handle that
// is neither a file, a pipe, NUL nor a console of its own counts as none), to
// the console, or to a file, a pipe or NUL that a calling program captures
// or discards.
enum class ErrorStream { None, Console, Captured };

// The icon of a message box: none for a request shown instead of sent, the
// error icon for a failure report.
enum class MessageKind { Request, Failure };

// Who would see a window of the program now.
enum class Onlooker {
    Nobody,     // nobody ever: a service's or a scheduled task's window station, session 0
    NobodyNow,  // it would be seen later, but nobody can act on it now: the session is
                // disconnected, or the workstation locked (the input desktop is another)
    User,       // the user at the screen
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // Shows text in a modal message box captioned "VEK" with one OK button,
    // in front of every other window.
    virtual void ShowMessage(std::u16string_view text, MessageKind kind) = 0;

    // Who would see a window shown now. A message box waits for a click, so
    // one is shown only to a User; a window that closes by itself may be shown
    // unless Nobody would ever see it.
    virtual Onlooker WhoSeesWindows() const = 0;

    // Where standard error leads, and a text written there: UTF-16 on a
    // console, else in the code page the caller's tools read it in. False
    // when the text could not be written.
    virtual ErrorStream ErrorOutput() const = 0;
    virtual bool WriteError(std::u16string_view text) = 0;

    // Writes text as an error event into the system's event log, where an
    // administrator looks for what an unattended program did; where the log
    // refuses it, to the debugger's output.
    virtual void WriteEventLog(std::u16string_view text) = 0;
};

}  // namespace vek
