#pragma once
// The target configuration file "vek.ini": one line whose first field holds
// the target window handle.

#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace vek {

inline constexpr std::u16string_view kTargetFileName = u"vek.ini";

// The first field of a line of text, as sequential field input reads it:
// leading spaces and tabs skipped; the text between double quotes when the
// field begins with one; else the text up to the first comma or line end,
// without trailing spaces and tabs.
std::u16string FirstField(std::u16string_view text);

// The target from the bytes at the start of the file (at least its whole
// first line): a UTF-8 or UTF-16 byte-order mark is honoured, other bytes are
// text in the ANSI code page. An empty file gives 0, as a field without a
// number does. A value outside the 32-bit range fails as an overflow.
Hwnd TargetFromFileStart(const Platform& platform, std::string_view bytes);

// Reads the target from "vek.ini" in the current directory; 0 when the file
// does not exist or holds no number.
Hwnd ReadTargetFile(Platform& platform);

// The bytes INIT writes for its argument text: the text and CR LF, in the
// ANSI code page. Fails when the text cannot be written in that code page,
// so that the stored target is never a corrupted copy of what was given.
std::string TargetFileBytes(const Platform& platform, std::u16string_view argument);

}  // namespace vek
