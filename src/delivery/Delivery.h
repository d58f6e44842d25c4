#pragma once
// What request delivery needs to know about targets and the copy-data message.

#include <cstdint>
#include <string_view>

#include "platform/Platform.h"

namespace vek {

// The dwData of every WM_COPYDATA that carries a request.
inline constexpr std::uint32_t kSstpMarker = 9801;

// The target value that shows requests in a message box instead of sending them.
inline constexpr Hwnd kShowInsteadOfSend = -1;

// HWND_BROADCAST: a message sent or posted to it reaches every top-level window.
inline constexpr Hwnd kBroadcastHwnd = 0xFFFF;

// Played in the balloon before the request when no target is known; the last
// two characters are the player's new-line tag.
inline constexpr std::u16string_view kNotReadyText = u"Object Platform is not ready!!\\n";

// True when a message may be sent or posted to target: a window handle, not
// "no target", not the show-instead-of-send setting and not the broadcast
// handle, which would hand the message to every window on the desktop.
constexpr bool IsDeliverableTarget(Hwnd target) {
    return target != 0 && target != kShowInsteadOfSend && target != kBroadcastHwnd;
}

}  // namespace vek
