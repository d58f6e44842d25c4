#pragma once
// The FILE command's "OnFileRead" notification.

#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace vek {

std::u16string BuildFileRequest(Platform& platform, std::u16string_view commandText);

}  // namespace vek
