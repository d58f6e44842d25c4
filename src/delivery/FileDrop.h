#pragma once
// The block a file-drop message carries.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/Codec.h"

namespace vek {

// DROPFILES, in front of the file list.
inline constexpr std::size_t kDropHeaderSize = 20;

// The block for one path: DROPFILES (pFiles 20, no point) and the list with
// the path's and the list's terminating zeros, in the ANSI code page where it
// holds the path exactly, else in UTF-16 (fWide 1), so that the host gets the
// very name; at least 20 + 2 x (path length + 2) bytes, zero after the list.
std::vector<std::uint8_t> BuildDropBlock(const Codec& codec, std::u16string_view path);

}  // namespace vek
