#pragma once
// The host: its window, what it is handed, and its shared memory.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vek {

// A window handle as the program stores it: signed 32-bit. Windows handles
// are 32-bit significant and sign-extended on 64-bit systems.
using Hwnd = std::int32_t;

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

// What became of reading a host's shared memory: there is none under that
// name, it exists but may not be read (its host runs with higher rights), or
// the snapshot was taken.
enum class HostMemory { None, Refused, Read };

class Host {
public:
    virtual ~Host() = default;

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

    // Takes a snapshot of the named shared memory of the host; a mapping
    // whose view cannot be taken gives an all-zero snapshot.
    virtual HostMemory ReadHostMemory(std::string_view name, HostSnapshot& snapshot) = 0;
};

}  // namespace vek
