#pragma once
// Finding the host's window through the shared memory it publishes.

#include "platform/Platform.h"

namespace vek {

// The host window handle from the shared memory "enbryo", else "Sakura";
// 0 when neither gives one.
Hwnd LookUpHostHwnd(Platform& platform);

}  // namespace vek
