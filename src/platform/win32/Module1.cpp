#include "platform/win32/Module1.h"

namespace vek::win32 {

void PostDropFiles(Hwnd /*target*/, std::span<const std::uint8_t> /*block*/) {}

}  // namespace vek::win32
