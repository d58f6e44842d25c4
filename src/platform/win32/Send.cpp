// The host's memory, and what is handed to its window from a thread of its own
// while this one watches: a host that stops taking messages would hang the caller.

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinText.h"

namespace vek::win32 {
namespace {

// The system judges a window hung when its thread has not asked for a message
// for five seconds and is not waiting for one. One look proves nothing (it may
// hold for an instant for a live window, and a busy machine lets a woken host
// wait its turn): a host is not responding when every look for kHungForMs is.
constexpr DWORD kLookEveryMs = 250;
constexpr ULONGLONG kHungForMs = 3000;

// False when window has not responded for kHungForMs: nothing is sent to it.
bool Responds(HWND window) {
    for (const ULONGLONG since = GetTickCount64(); IsHungAppWindow(window); Sleep(kLookEveryMs)) {
        if (GetTickCount64() - since >= kHungForMs) return false;
    }
    return true;
}

// A call to the host's window; attempt keeps what it hands over alive.
struct Call {
    explicit Call(std::function<BOOL()> what) : attempt(std::move(what)) {}
    std::function<BOOL()> attempt;
    BOOL done = FALSE;
    DWORD error = 0;
};

DWORD WINAPI RunCall(void* parameter) {
    auto& call = *static_cast<Call*>(parameter);
    // A call that fails without saying why must not quote an earlier error.
    SetLastError(ERROR_SUCCESS);
    call.done = call.attempt();
    call.error = GetLastError();
    return 0;
}

// Makes the call on a thread of its own, handling messages sent to this one as
// SendMessage does: nothing when it returned, else what became of it. A call
// that may still run is released (call is null); what it hands over stays too.
std::optional<Delivery> CallWatched(std::unique_ptr<Call>& call, HWND window) {
    const ScopedHandle thread(CreateThread(nullptr, 0, &RunCall, call.get(), 0, nullptr));
    if (!thread) return Delivery{Handed::Failed, GetLastError()};
    HANDLE handle = thread.Get();
    ULONGLONG hungSince = 0;  // 0 while it responds
    for (;;) {
        const DWORD woke =
            MsgWaitForMultipleObjects(1, &handle, FALSE, kLookEveryMs, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0) return std::nullopt;
        if (woke == WAIT_FAILED) {
            const DWORD error = GetLastError();
            call.release();
            return Delivery{Handed::LostTrack, error};
        }
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (!IsHungAppWindow(window)) {
            hungSince = 0;
        } else if (hungSince == 0) {
            hungSince = GetTickCount64();
        }
        if (hungSince == 0 || GetTickCount64() - hungSince < kHungForMs) continue;
        // The call may have returned since the wait: a host blocked in a
        // send of its own reads as hung, yet still takes sent messages.
        if (WaitForSingleObject(handle, 0) == WAIT_OBJECT_0) return std::nullopt;
        call.release();
        return Delivery{Handed::HungWhileHandling};
    }
}

// What a call that returned without success means. Access denied from a window
// still there: the system keeps a program from one with higher rights.
Delivery NotTaken(HWND window, DWORD error, Handed whenGone) {
    if (!IsWindow(window)) return {whenGone};
    if (error == ERROR_ACCESS_DENIED) return {Handed::HigherRights};
    if (IsHungAppWindow(window)) return {Handed::HungBefore};
    return {Handed::Failed, error};
}

}  // namespace

bool Win32Platform::WindowExists(Hwnd target) const {
    return IsWindow(ToHwnd(target)) != FALSE;
}

Delivery Win32Platform::SendCopyData(Hwnd target, std::uint32_t marker, std::string bytes) {
    const HWND window = ToHwnd(target);
    // A WM_COPYDATA message carries its size in 32 bits.
    if (bytes.size() > MAXDWORD) return {Handed::Failed, ERROR_ARITHMETIC_OVERFLOW};
    if (!IsWindow(window)) return {Handed::GoneBefore};
    if (!Responds(window)) return {Handed::HungBefore};
    // Not SMTO_ABORTIFHUNG: a thread idle for five seconds is judged hung in
    // the instant between another sender's message waking it and its asking
    // for it, and a live host would lose the request; the watch tells a hung
    // one. SMTO_ERRORONEXIT: a window or thread that ends meanwhile fails it.
    auto call =
        std::make_unique<Call>([window, own = own_, marker, bytes = std::move(bytes)]() mutable {
            COPYDATASTRUCT record{marker, static_cast<DWORD>(bytes.size()), bytes.data()};
            DWORD_PTR answer = 0;
            return static_cast<BOOL>(
                SendMessageTimeoutW(window, WM_COPYDATA, reinterpret_cast<WPARAM>(own),
                                    reinterpret_cast<LPARAM>(&record),
                                    SMTO_NORMAL | SMTO_ERRORONEXIT, INFINITE, &answer) != 0);
        });
    if (const auto notReturned = CallWatched(call, window)) return *notReturned;
    if (call->done) return {Handed::Taken};
    // Gone since the send began: it ended while it handled the request.
    return NotTaken(window, call->error, Handed::ClosedWhileHandling);
}

Delivery Win32Platform::PostDropFiles(Hwnd target, std::span<const std::uint8_t> block) {
    const HWND window = ToHwnd(target);
    if (!IsWindow(window)) return {Handed::GoneBefore};
    if (!Responds(window)) return {Handed::HungBefore};
    ScopedGlobal memory(GlobalAlloc(GMEM_MOVEABLE, block.size()));
    void* data = memory ? GlobalLock(memory.Get()) : nullptr;
    if (data == nullptr) return {Handed::Failed, GetLastError()};
    std::memcpy(data, block.data(), block.size());
    GlobalUnlock(memory.Get());
    // Posting a drop to another process first sends it the block, and waits as
    // for any sent message: a host that stopped taking messages would hold the
    // post for ever. One given up on may still go through when it responds.
    auto call = std::make_unique<Call>([window, handle = memory.Get()] {
        return PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(handle), 0);
    });
    if (const auto notReturned = CallWatched(call, window)) {
        if (call == nullptr) memory.Detach();  // the post may still be using it
        return *notReturned;
    }
    if (!call->done) return NotTaken(window, call->error, Handed::GoneBefore);
    memory.Detach();  // the receiver frees the block once it has the message
    return {Handed::Taken};
}

HostMemory Win32Platform::ReadHostMemory(std::string_view name, HostSnapshot& snapshot) {
    const std::string nameText(name);  // alive until the last error is read
    const ScopedHandle mapping(OpenFileMappingA(FILE_MAP_READ, TRUE, nameText.c_str()));
    if (!mapping) {
        return GetLastError() == ERROR_ACCESS_DENIED ? HostMemory::Refused : HostMemory::None;
    }
    snapshot = {};
    const ScopedView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    // The object may be smaller than the snapshot, or only partly committed:
    // copy no more than the readable region the view starts with.
    MEMORY_BASIC_INFORMATION region{};
    if (view && VirtualQuery(view.Get(), &region, sizeof region) == sizeof region &&
        region.State == MEM_COMMIT && (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)) == 0) {
        std::memcpy(snapshot.data(), view.Get(),
                    std::min<SIZE_T>(region.RegionSize, snapshot.size()));
    }
    return HostMemory::Read;
}

}  // namespace vek::win32
