#pragma once
// The block a file-drop message carries: a file of the current directory
// dropped on the target as if with the mouse.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/Codec.h"

namespace vek {

// The DROPFILES header in front of the file list.
inline constexpr std::size_t kDropHeaderSize = 20;

// The file-drop block for one path: the DROPFILES header (pFiles 20, no
// point) and the file list with the path's and the list's terminating zeros.
// A path the ANSI code page holds exactly is listed in it, as 8-bit
// characters (fWide 0), in a block of 20 + 2 x (path length + 2) bytes, or
// longer when the path's bytes need it; bytes after the list are zero. Any
// other path is listed in UTF-16 (fWide 1), in a block of exactly that size,
// so that the receiver gets the very name and not another one or a pattern.
std::vector<std::uint8_t> BuildDropBlock(const Codec& codec, std::u16string_view path);

}  // namespace vek
