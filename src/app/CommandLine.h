#pragma once

#include <string>
#include <string_view>

namespace vek {

// The argument text of a whole command line: what follows the program's
// name, skipped the way Windows splits off the first argument (up to the
// closing quote when it starts with one, else up to the first space or tab),
// and the spaces and tabs after it. Not the runtime's lpCmdLine: that ends a
// name only at a blank outside quotes ('"C:\a b\vek.exe"SEND' gives nothing)
// and skips every control character after it.
std::u16string ArgumentText(std::u16string_view commandLine);

}  // namespace vek
