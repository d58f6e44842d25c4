#include "request/FileRequest.h"

#include "request/Request.h"

namespace vek {

std::u16string BuildFileRequest(Platform& platform, std::u16string_view commandText) {
    return BuildEventRequest(commandText, platform.OwnHwnd());
}

}  // namespace vek
