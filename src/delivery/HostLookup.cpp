#include "delivery/HostLookup.h"

namespace vek {

Hwnd LookUpHostHwnd(Platform& /*platform*/) { return 0; }

}  // namespace vek
