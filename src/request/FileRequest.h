#pragma once
// The FILE command's "OnFileRead" notification: a range of a text file's lines.
// Command text: 'FILE' + one skipped character + name [+ '/' + start [+ '-' + end]];
// lines count from 0, and the range defaults to 0-1024.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace vek {

// Bytes asked of the file per read.
inline constexpr std::size_t kFileReadBlock = 256 * 1024;

// The notification for a command text beginning with "FILE": the selected
// lines, decoded in the file's encoding (see EncodingDetector), each followed
// by backslash and n, and the line count; for a missing file the not-found
// reference. A failure's report starts with "FILE".
std::u16string BuildFileRequest(Platform& platform, std::u16string_view commandText);

}  // namespace vek
