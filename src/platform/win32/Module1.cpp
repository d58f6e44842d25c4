#include "platform/win32/Module1.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/WinText.h"
#include "text/Failure.h"

namespace vek::win32 {

void PostDropFiles(Hwnd target, std::span<const std::uint8_t> block) {
    ScopedGlobal memory(GlobalAlloc(GMEM_MOVEABLE, block.size()));
    void* data = memory ? GlobalLock(memory.Get()) : nullptr;
    if (data == nullptr) {
        throw RuntimeFailure(FailureKind::SystemError,
                             u"the file-drop block: " + SystemMessage(GetLastError()));
    }
    std::memcpy(data, block.data(), block.size());
    GlobalUnlock(memory.Get());
    // The receiver frees the block once it has the message; a post that
    // failed (no such window) leaves it to us.
    if (PostMessageW(ToHwnd(target), WM_DROPFILES, reinterpret_cast<WPARAM>(memory.Get()), 0)) {
        memory.Detach();
    }
}

}  // namespace vek::win32
