#pragma once
// The DROP command: a file of the current directory dropped on the target.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace vek {

// The DROPFILES header in front of the file list.
inline constexpr std::size_t kDropHeaderSize = 20;

// The path DROP drops: the current directory, a backslash and the argument
// text (the command text from its 6th character, as it is).
std::u16string DropPath(const Platform& platform, std::u16string_view commandText);

// The file-drop block for one path: the DROPFILES header (pFiles 20, no
// point, not wide) and the path in the ANSI code page with the path's and the
// list's terminating zero bytes. The block is 20 + 2 x (path length + 2)
// bytes, or longer when the path's bytes need it; bytes after the list are
// zero. Fails when the path cannot be written in the ANSI code page: the
// receiver would get another name, or a wildcard pattern.
std::vector<std::uint8_t> BuildDropBlock(const Platform& platform, std::u16string_view path);

// DROP: drops the file on target when it exists (exact name, a normal file)
// and target is a window that may receive it.
void DropFile(Platform& platform, Hwnd target, std::u16string_view commandText);

}  // namespace vek
