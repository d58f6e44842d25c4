#pragma once
// The one procedure that is not tied to the form.

#include <cstdint>
#include <span>

#include "platform/Platform.h"

namespace vek::win32 {

// Posts WM_DROPFILES to target with a movable global block holding a copy of
// block; the receiver of the message owns the block from then on.
void PostDropFiles(Hwnd target, std::span<const std::uint8_t> block);

}  // namespace vek::win32
