#pragma once

#include <string>
#include <string_view>

namespace vek {

// What follows the program's name and the blanks after it, the name split off
// as Windows splits the first argument: not as the runtime's lpCmdLine, which
// gives nothing for '"C:\a b\vek.exe"SEND' and skips control characters.
std::u16string ArgumentText(std::u16string_view commandLine);

}  // namespace vek
