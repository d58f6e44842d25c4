#pragma once
// The FILE command's "OnFileRead" notification: a range of a text file's lines.
//
// Command text: 'FILE' + one skipped character + name [+ '/' + start [+ '-' + end]].
// Lines are counted from 0; the range defaults to 0-1024.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace vek {

// Bytes asked of the file per read. Lines are split in place, so only the
// selected lines are ever copied out of a block.
inline constexpr std::size_t kFileReadBlock = 256 * 1024;

// Builds the notification for a command text beginning with "FILE". The
// selected lines are decoded one by one in the file's encoding (see
// EncodingDetector), each followed by the two characters backslash and n; a
// missing file gives the not-found reference. Throws RuntimeFailure, with
// "FILE" in front of its report, for a command text without a name part, a
// start or end that does not convert, a file that cannot be read, or more
// lines than a signed 32-bit count can hold.
std::u16string BuildFileRequest(Platform& platform, std::u16string_view commandText);

}  // namespace vek
