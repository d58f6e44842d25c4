#pragma once
// The DROP command: a file of the current directory dropped on the target.

#include <string_view>

#include "platform/Platform.h"

namespace vek {

void DropFile(Platform& platform, Hwnd target, std::u16string_view commandText);

}  // namespace vek
