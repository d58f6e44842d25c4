// Requests and drops handed to the host's window. Each goes from a thread of
// its own while this one watches the host: a host whose thread stops taking
// messages never answers, and would hang whoever called vek.exe.

#include <cstring>
#include <memory>

#include "delivery/Target.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinText.h"
#include "text/Failure.h"
#include "text/Text.h"

namespace vek::win32 {
namespace {

// One call to the host's window on a thread of its own: attempt runs there
// and keeps whatever it hands over alive for as long as it runs.
template <typename Attempt>
struct Call {
    Attempt attempt;
    BOOL done = FALSE;
    DWORD error = 0;

    static DWORD WINAPI Run(void* parameter) {
        auto& call = *static_cast<Call*>(parameter);
        // A call that fails without saying why must not quote an error of
        // an earlier one.
        SetLastError(ERROR_SUCCESS);
        call.done = call.attempt();
        call.error = GetLastError();
        return 0;
    }
};

template <typename Attempt>
std::unique_ptr<Call<Attempt>> MakeCall(Attempt attempt) {
    return std::make_unique<Call<Attempt>>(Call<Attempt>{std::move(attempt)});
}

// Waits until thread has ended, handling the messages sent to this thread
// meanwhile, as SendMessage does while it waits. False when window stops
// taking messages first: the system judges it hung (it has not asked for a
// message for five seconds and is not waiting for one) at every look for
// kHungForMs in a row. A single look proves nothing: the system's test can
// hold for an instant for a live window, while a busy machine lets a woken
// host wait for its turn.
bool WaitWhileTaking(HANDLE thread, HWND window) {
    constexpr DWORD kLookEveryMs = 250;
    constexpr ULONGLONG kHungForMs = 3000;
    bool hung = false;
    ULONGLONG hungSince = 0;
    for (;;) {
        const DWORD woke =
            MsgWaitForMultipleObjects(1, &thread, FALSE, kLookEveryMs, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke == WAIT_FAILED) {
            throw RuntimeFailure(FailureKind::SystemError,
                                 u"waiting for the host: " + SystemMessage(GetLastError()));
        }
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (!IsHungAppWindow(window)) {
            hung = false;
        } else if (!hung) {
            hung = true;
            hungSince = GetTickCount64();
        } else if (GetTickCount64() - hungSince >= kHungForMs) {
            return false;
        }
    }
}

// Makes the call on a thread of its own, watching window meanwhile. False
// when the window stopped taking messages: the thread may then never come
// back from the call, so it keeps the call for the end of the process to
// free, and nothing the call hands over may be freed before that.
template <typename Attempt>
bool CallWatched(std::unique_ptr<Call<Attempt>>& call, HWND window, std::u16string_view what) {
    const ScopedHandle thread(
        CreateThread(nullptr, 0, &Call<Attempt>::Run, call.get(), 0, nullptr));
    if (!thread) {
        throw RuntimeFailure(FailureKind::SystemError, std::u16string(what) +
                                                           u" cannot be handed over: " +
                                                           SystemMessage(GetLastError()));
    }
    if (WaitWhileTaking(thread.Get(), window)) return true;
    call.release();  // the thread's now
    return false;
}

std::u16string HostWindow(Hwnd target) {
    return u"the host window " + PlainNumber(target);
}

RuntimeFailure NotResponding(Hwnd target, std::u16string_view fate) {
    return RuntimeFailure(FailureKind::SystemError,
                          HostWindow(target) + u" is not responding: " + std::u16string(fate));
}

// Why the window target did not take what (a request, a drop), the call
// having failed with error. Access denied from a window that is still there
// means the system keeps a program from sending or posting to one with
// higher rights.
RuntimeFailure NotTaken(Hwnd target, HWND window, std::u16string_view what, DWORD error) {
    if (!IsWindow(window)) {
        return RuntimeFailure(FailureKind::SystemError,
                              HostWindow(target) + u" closed before it took " + std::u16string(what));
    }
    if (error == ERROR_ACCESS_DENIED) {
        return RuntimeFailure(FailureKind::SystemError, HigherRights(HostWindow(target)) + u": " +
                                                            std::u16string(what) + u" was not taken");
    }
    std::u16string report = std::u16string(what) + u" was not taken by window " + PlainNumber(target);
    if (error != ERROR_SUCCESS) report += u": " + SystemMessage(error);
    return RuntimeFailure(FailureKind::SystemError, std::move(report));
}

}  // namespace

bool Win32Platform::WindowExists(Hwnd target) const {
    return IsWindow(ToHwnd(target)) != FALSE;
}

void Win32Platform::SendCopyData(Hwnd target, std::uint32_t marker, std::string bytes) {
    const HWND window = ToHwnd(target);
    const std::u16string request =
        u"the request (" + PlainNumber(static_cast<std::int64_t>(bytes.size())) + u" bytes)";
    if (bytes.size() > MAXDWORD) {
        throw RuntimeFailure(FailureKind::SystemError, request + u" is too large to send");
    }
    // Waits for as long as the host takes, and tells a message the window
    // never took (too large to pass, the window went away first, it runs
    // with higher rights) from one it handled, whatever the window answered.
    // Not SMTO_ABORTIFHUNG: the system judges a thread hung in the instant
    // between another sender's message waking it and its asking for that
    // message, if it had been idle for five seconds before, and the request
    // would be dropped on a live host. Whether the host hangs is for the
    // watch to say.
    auto call = MakeCall([window, own = own_, marker, bytes = std::move(bytes)]() mutable {
        COPYDATASTRUCT record{marker, static_cast<DWORD>(bytes.size()), bytes.data()};
        DWORD_PTR answer = 0;
        return static_cast<BOOL>(SendMessageTimeoutW(window, WM_COPYDATA,
                                                     reinterpret_cast<WPARAM>(own),
                                                     reinterpret_cast<LPARAM>(&record),
                                                     SMTO_NORMAL, INFINITE, &answer) != 0);
    });
    // A sent message the host has not taken yet stays in its queue after the
    // sender has gone, and is handled when the host takes messages again.
    if (!CallWatched(call, window, request)) {
        throw NotResponding(target, request +
                                        u" stays queued and reaches it if it recovers: sending it "
                                        u"again may deliver it twice");
    }
    if (call->done) return;
    // Refused for its rights, whether or not the host also hangs.
    if (call->error != ERROR_ACCESS_DENIED && IsWindow(window) && IsHungAppWindow(window)) {
        throw NotResponding(target, request + u" was not taken");
    }
    throw NotTaken(target, window, request, call->error);
}

void Win32Platform::PostDropFiles(Hwnd target, std::span<const std::uint8_t> block) {
    const HWND window = ToHwnd(target);
    ScopedGlobal memory(GlobalAlloc(GMEM_MOVEABLE, block.size()));
    void* data = memory ? GlobalLock(memory.Get()) : nullptr;
    if (data == nullptr) {
        throw RuntimeFailure(FailureKind::SystemError,
                             u"the file-drop block: " + SystemMessage(GetLastError()));
    }
    std::memcpy(data, block.data(), block.size());
    GlobalUnlock(memory.Get());
    // Posting a drop to another process first sends it the block, and waits
    // for that as for any sent message: a host that has stopped taking
    // messages would hold the post, and the caller, for ever.
    auto call = MakeCall([window, handle = memory.Get()] {
        return PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(handle), 0);
    });
    if (!CallWatched(call, window, u"the file drop")) {
        memory.Detach();  // the post may still be using it
        throw NotResponding(target, u"the file drop was not handed over; drop the file again "
                                    u"once the host responds");
    }
    // The receiver frees the block once it has the message; a post that
    // failed leaves it to us.
    if (call->done) {
        memory.Detach();
        return;
    }
    throw NotTaken(target, window, u"the file drop", call->error);
}

}  // namespace vek::win32
