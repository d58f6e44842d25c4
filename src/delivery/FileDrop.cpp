#include "delivery/FileDrop.h"

namespace vek {

void DropFile(Platform& /*platform*/, Hwnd /*target*/, std::u16string_view /*commandText*/) {}

}  // namespace vek
