#pragma once
// Where requests go: the target window handle in "vek.ini" in the current
// directory, else the one the host publishes in its shared memory, and which
// handles a message may go to at all.

#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace vek {

// The target that shows requests in a message box instead of sending them.
inline constexpr Hwnd kShowInsteadOfSend = -1;

// True for a handle a message may be sent or posted to: not 0 (no target),
// not -1 and not 65535 (HWND_BROADCAST), which would reach every window on
// the desktop.
constexpr bool IsWindowTarget(Hwnd target) {
    return target != 0 && target != kShowInsteadOfSend && target != 0xFFFF;
}

// The target in "vek.ini" in the current directory: the first field of its
// first line (up to a comma or the line end, or between double quotes), read
// with ValPrefix. The text is in the ANSI code page unless a UTF-8, UTF-16 LE
// or UTF-16 BE byte-order mark says otherwise. 0 when the file does not exist
// or holds no number; a number beyond 32 bits fails as an overflow naming the
// file.
Hwnd ReadTargetFile(Platform& platform);

// INIT: "vek.ini" becomes the argument and CR LF in the ANSI code page, or is
// left as it was when the argument cannot be written in that code page (a
// corrupted copy would name another window) or the file cannot be replaced.
void WriteTargetFile(Platform& platform, std::u16string_view argument);

// What the host lookup found: the host's window, or 0, and the name of a
// host memory that exists but may not be read, if one was met on the way.
struct HostLookup {
    Hwnd window = 0;
    std::u16string refused;
};

// The host window from the shared memory "enbryo", else "Sakura": the
// decimal value of the first entry whose key ends in "hwnd" (key, U+0001,
// value, CR) in the text after its 4-byte header, when that names a window.
// A memory that holds no such entry, no CR after its value, a value beyond
// 32 bits or one that names no window (its host crashed and left it behind)
// gives no host, and the next name is tried: nothing the host writes there
// ends the run. Neither does memory that may not be read: it is remembered,
// for the run to report should it have nowhere to deliver.
HostLookup FindHostHwnd(Platform& platform);

// True for a target a message can reach now: a window handle (see
// IsWindowTarget) that names a window.
bool IsLiveTarget(const Platform& platform, Hwnd target);

}  // namespace vek
