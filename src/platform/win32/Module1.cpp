#include "platform/win32/Module1.h"

#include <windows.h>

#include <cstring>

#include "app/Failure.h"
#include "platform/win32/Scoped.h"
#include "platform/win32/WinText.h"

namespace vek::win32 {

void PostDropFiles(Hwnd target, std::span<const std::uint8_t> block) {
    GlobalBlock memory(GlobalAlloc(GMEM_MOVEABLE, block.size()));
    if (!memory) {
        throw RuntimeFailure(FailureKind::SystemError,
                             u"the file-drop block: " + SystemMessage(GetLastError()));
    }
    {
        GlobalLockGuard lock(memory.Get());
        if (lock.Get() == nullptr) {
            throw RuntimeFailure(FailureKind::SystemError,
                                 u"the file-drop block: " + SystemMessage(GetLastError()));
        }
        std::memcpy(lock.Get(), block.data(), block.size());
    }
    // The receiver frees the block once it has the message; a post that
    // failed (no such window) leaves it to us.
    if (PostMessageW(ToHwnd(target), WM_DROPFILES, reinterpret_cast<WPARAM>(memory.Get()), 0)) {
        memory.Release();
    }
}

}  // namespace vek::win32
