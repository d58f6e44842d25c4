#pragma once
// Finding the host's window through the shared memory it publishes.

#include <string_view>

#include "platform/Platform.h"

namespace vek {

// The names the host publishes its shared memory under, in the order asked.
inline constexpr std::string_view kHostMemoryNames[] = {"enbryo", "Sakura"};

// The window handle in the text of the host's shared memory (the snapshot
// after its 4-byte header): the decimal value of the first entry whose key
// ends in "hwnd" (key, U+0001, value, CR). 0 when there is no such entry,
// when no CR ends its value, or when the value is beyond the signed 32-bit
// range: the host writes this memory, and nothing it writes ends our run.
Hwnd HostHwndFromText(std::u16string_view text);

// The same for a snapshot's bytes: the header is skipped, the rest is text in
// the ANSI code page.
Hwnd HostHwndFromSnapshot(const Platform& platform, const HostSnapshot& snapshot);

// The host window handle from the shared memory "enbryo", else "Sakura";
// 0 when neither gives one. Once a mapping exists, its snapshot decides:
// the next name is not tried.
Hwnd LookUpHostHwnd(Platform& platform);

}  // namespace vek
