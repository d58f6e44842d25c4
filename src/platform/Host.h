#pragma once
// The host: its window, what it is handed, and its shared memory.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vek {

// A window handle: Windows' are 32-bit significant, sign-extended on 64-bit.
using Hwnd = std::int32_t;

// The first bytes of the host's shared memory, zero beyond what is mapped.
inline constexpr std::size_t kHostSnapshotSize = 1024;
using HostSnapshot = std::array<std::uint8_t, kHostSnapshotSize>;

enum class Handed {
    Taken,                // a request handled, a drop in the host's queue
    HigherRights,         // refused: the host runs with higher rights
    GoneBefore,           // the window was gone before anything was handed over
    ClosedWhileHandling,  // the window, or its thread, ended while it handled it
    HungBefore,           // the host did not respond, and was handed nothing
    HungWhileHandling,    // the host stopped responding while it was on its way
    Failed,               // the system refused it (error says why)
    LostTrack,            // the wait for it failed (error says why): it may have arrived
};

// The platform builds nothing once it has handed something over: running out
// of memory then must not pass for "nothing arrived".
struct Delivery {
    Handed handed = Handed::Taken;
    std::uint32_t error = 0;  // the system's error number, for Failed and LostTrack; 0: none given
};

// Refused: its host runs with higher rights.
enum class HostMemory { None, Refused, Read };

class Host {
public:
    virtual ~Host() = default;

    virtual bool WindowExists(Hwnd target) const = 0;

    // Sends WM_COPYDATA from the own window and waits while the target's
    // thread goes on taking messages; a host that does not respond is sent
    // nothing.
    virtual Delivery SendCopyData(Hwnd target, std::uint32_t marker, std::string bytes) = 0;

    // Posts WM_DROPFILES with the block, watched as SendCopyData's message is:
    // a host that stops responding meanwhile may still take it.
    virtual Delivery PostDropFiles(Hwnd target, std::span<const std::uint8_t> block) = 0;

    // A mapping whose view cannot be taken gives an all-zero snapshot.
    virtual HostMemory ReadHostMemory(std::string_view name, HostSnapshot& snapshot) = 0;
};

}  // namespace vek
