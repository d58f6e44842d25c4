#pragma once
// The block a file-drop message carries: a file of the current directory
// dropped on the target as if with the mouse.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace vek {

// The DROPFILES header in front of the file list.
inline constexpr std::size_t kDropHeaderSize = 20;

// The file-drop block for one path: the DROPFILES header (pFiles 20, no
// point, not wide) and the path in the ANSI code page with the path's and the
// list's terminating zero bytes. The block is 20 + 2 x (path length + 2)
// bytes, or longer when the path's bytes need it; bytes after the list are
// zero. Fails when the path cannot be written in the ANSI code page: the
// receiver would get another name, or a wildcard pattern.
std::vector<std::uint8_t> BuildDropBlock(const Platform& platform, std::u16string_view path);

}  // namespace vek
