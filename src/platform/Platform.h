#pragma once
// Everything the core needs from the system, and nothing more. The Win32
// implementation lives in platform/win32; the tests have a double that keeps
// files in memory and records what the core asked for.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "text/Encodings.h"
#include "text/Failure.h"

namespace vek {

// A window handle as the program stores it: signed 32-bit. Windows handles
// are 32-bit significant and sign-extended on 64-bit systems.
using Hwnd = std::int32_t;

// A file opened for sequential reading.
class InputFile {
public:
    virtual ~InputFile() = default;
    // Reads up to buffer.size() bytes and returns how many were read; 0 at the
    // end of the file. Throws RuntimeFailure when the read fails.
    virtual std::size_t Read(std::span<char> buffer) = 0;
    // The file's size in bytes when it was opened; 0 where it cannot be told.
    virtual std::uint64_t Size() const = 0;
};

// Where the standard error handle the caller gave the program leads: nowhere
// (a program started from a desktop or a console has none, and a handle that
// is neither a file, a pipe, NUL nor a console of its own counts as none), to
// the console, or to a file, a pipe or NUL that a calling program captures
// or discards.
enum class ErrorStream { None, Console, Captured };

// The icon of a message box: none for a request shown instead of sent, the
// error icon for a failure report.
enum class MessageKind { Request, Failure };

// The first bytes of the host's shared memory, zero beyond what is mapped.
inline constexpr std::size_t kHostSnapshotSize = 1024;
using HostSnapshot = std::array<std::uint8_t, kHostSnapshotSize>;

// What became of a request or a drop handed to the host's window.
enum class Handed {
    Taken,                // a request handled, a drop in the host's queue
    HigherRights,         // refused: the host runs with higher rights
    GoneBefore,           // the window was gone before anything was handed over
    ClosedWhileHandling,  // the window, or its thread, ended while it handled it
    HungBefore,           // the host did not respond, and was handed nothing
    HungWhileHandling,    // the host stopped responding while it was on its way: it may
                          // still arrive if the host responds again
    Failed,               // the system refused it (error says why): nothing was handed over
    LostTrack,            // the wait for it failed (error says why): it may have arrived
};

// The platform builds nothing once it has handed something over: running out
// of memory then must not pass for "nothing arrived". The report is the core's.
struct Delivery {
    Handed handed = Handed::Taken;
    std::uint32_t error = 0;  // the system's error number, for Failed and LostTrack; 0: none given
};

// Who would see a window of the program now.
enum class Onlooker {
    Nobody,     // nobody ever: a service's or a scheduled task's window station, session 0
    NobodyNow,  // it would be seen later, but nobody can act on it now: the session is
                // disconnected, or the workstation locked (the input desktop is another)
    User,       // the user at the screen
};

// What became of reading a host's shared memory: there is none under that
// name, it exists but may not be read (its host runs with higher rights), or
// the snapshot was taken.
enum class HostMemory { None, Refused, Read };

class Platform {
public:
    virtual ~Platform() = default;

    // The handle of the program's own window (the form F_ZERO).
    virtual Hwnd OwnHwnd() const = 0;

    // The whole command line as the system has it, the program's name first.
    virtual std::u16string CommandLine() const = 0;

    // The current directory, without a trailing separator unless it is a root.
    virtual std::u16string CurrentDirectory() const = 0;

    // True when path names an existing normal file by its exact name: no
    // wildcard matching; directories, hidden and system files do not count.
    virtual bool FileExists(std::u16string_view path) const = 0;

    // Opens a file for sequential reading; throws RuntimeFailure naming the
    // file when it cannot be opened.
    virtual std::unique_ptr<InputFile> OpenForRead(std::u16string_view path) = 0;

    // Replaces the whole content of path atomically: either the new bytes are
    // all there or the old file is left as it was. Throws RuntimeFailure.
    virtual void ReplaceFileContent(std::u16string_view path, std::string_view bytes) = 0;

    // Appends the text the bytes stand for in code page cp, as Windows reads
    // them: bytes that are no character become U+FFFD in UTF-8; in Shift_JIS
    // a lead byte takes the byte after it, whatever that is but NUL, and a
    // pair or a lone lead byte the code page does not define becomes U+30FB.
    virtual void AppendDecoded(CodePage cp, std::string_view bytes, std::u16string& out) const = 0;

    // Appends the bytes of text in code page cp; a character the code page
    // lacks, or holds only as a look-alike, becomes '?', and lossy (when
    // given) tells whether that happened. UTF-8 writes a lone surrogate, the
    // one unit it cannot hold, as U+FFFD, and never reports a loss.
    virtual void AppendEncoded(CodePage cp, std::u16string_view text, std::string& out,
                               bool* lossy) const = 0;

    // True while target names a window.
    virtual bool WindowExists(Hwnd target) const = 0;

    // Sends a WM_COPYDATA message with the own window as sender and waits
    // until the target has handled it, for as long as the target's thread
    // goes on taking messages, and says what became of it. A host that does
    // not respond is watched before anything is sent, and is sent nothing
    // while it stays so.
    virtual Delivery SendCopyData(Hwnd target, std::uint32_t marker, std::string bytes) = 0;

    // Hands a file-drop block (DROPFILES header and list) to the target window
    // in a posted WM_DROPFILES message, watched as SendCopyData's message is,
    // and says what became of it. The system hands another process the block
    // in a message it sends, and posts the drop once the host has taken it: a
    // host that stops responding meanwhile may still take it when it responds.
    virtual Delivery PostDropFiles(Hwnd target, std::span<const std::uint8_t> block) = 0;

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

    // The system's text for an error number, without its line end; empty
    // where the system has none.
    virtual std::u16string SystemErrorText(std::uint32_t error) const = 0;

    // Writes text as an error event into the system's event log, where an
    // administrator looks for what an unattended program did; where the log
    // refuses it, to the debugger's output.
    virtual void WriteEventLog(std::u16string_view text) = 0;

    // Takes a snapshot of the named shared memory of the host; a mapping
    // whose view cannot be taken gives an all-zero snapshot.
    virtual HostMemory ReadHostMemory(std::string_view name, HostSnapshot& snapshot) = 0;

    // Convenience forms of the conversions.
    std::u16string Decode(CodePage cp, std::string_view bytes) const {
        std::u16string out;
        AppendDecoded(cp, bytes, out);
        return out;
    }
    std::string Encode(CodePage cp, std::u16string_view text) const {
        std::string out;
        AppendEncoded(cp, text, out, nullptr);
        return out;
    }
    // The bytes of text in code page cp where they hold it exactly, that is,
    // where they read back as text: a character the code page lacks comes
    // back as '?', and a lone surrogate, which UTF-8 writes as U+FFFD without
    // reporting a loss, as U+FFFD.
    std::optional<std::string> EncodeExactly(CodePage cp, std::u16string_view text) const {
        std::string bytes = Encode(cp, text);
        if (Decode(cp, bytes) != text) return std::nullopt;
        return bytes;
    }
};

}  // namespace vek
