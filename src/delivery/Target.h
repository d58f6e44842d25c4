#pragma once
// Where requests go: the window in "vek.ini" in the current directory, else
// the one the host publishes in its shared memory.

#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace vek {

// The target that shows requests in a message box instead of sending them.
inline constexpr Hwnd kShowInsteadOfSend = -1;

// Not 0 (no target), -1, nor 65535 (HWND_BROADCAST), which would reach every
// window on the desktop.
constexpr bool IsWindowTarget(Hwnd target) {
    return target != 0 && target != kShowInsteadOfSend && target != 0xFFFF;
}

// The first field of vek.ini's first line, read with ValPrefix, in the ANSI
// code page unless a byte-order mark says otherwise; 0 without the file.
Hwnd ReadTargetFile(Platform& platform);

// INIT: vek.ini becomes the argument and CR LF in the ANSI code page, or
// stays as it was where that cannot hold the argument exactly.
void WriteTargetFile(Platform& platform, std::u16string_view argument);

struct HostLookup {
    Hwnd window = 0;
    std::u16string refused;  // a host memory met on the way that may not be read
};

// The host window from the shared memory "enbryo", else "Sakura": the value
// of the first entry whose key ends in "hwnd" (key, U+0001, value, CR) after
// its 4-byte header, where it names a window (a crashed host leaves it
// behind). Nothing the host writes there ends the run.
HostLookup FindHostHwnd(Platform& platform);

// A window target that names a window now.
bool IsLiveTarget(const Platform& platform, Hwnd target);

}  // namespace vek
