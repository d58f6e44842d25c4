#include "platform/win32/Win32Platform.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <initializer_list>
#include <memory>

#include "app/CommandLine.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/WinText.h"
#include "text/Failure.h"
#include "text/Text.h"

namespace vek::win32 {
namespace {

[[noreturn]] void ThrowFileError(std::u16string_view what, std::u16string_view path, DWORD error) {
    throw RuntimeFailure(FailureKind::FileError,
                         std::u16string(what) + u" " + Quoted(path) + u": " + SystemMessage(error));
}

UINT WindowsCodePage(CodePage cp) {
    return cp == CodePage::Ansi ? GetACP() : static_cast<UINT>(cp);
}

// Code pages for which WideCharToMultiByte takes neither flags nor a default character.
bool IsUnicodeCodePage(UINT cp) {
    return cp == CP_UTF8 || cp == CP_UTF7 || cp == 54936;
}

class Win32InputFile final : public InputFile {
public:
    Win32InputFile(ScopedHandle file, std::u16string path)
        : file_(std::move(file)), path_(std::move(path)) {}

    std::size_t Read(std::span<char> buffer) override {
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file_.Get(), buffer.data(), want, &got, nullptr)) {
            ThrowFileError(u"Could not read", path_, GetLastError());
        }
        return got;
    }

private:
    ScopedHandle file_;
    std::u16string path_;
};

// Tries attempt again while it fails with one of the given errors, for about
// a second in all: another program may hold a file for a moment (a second
// vek.exe reading vek.ini while INIT replaces it, a virus scanner, the search
// indexer, a sync client). The last error is attempt's.
template <typename Attempt>
bool Retrying(Attempt attempt, std::initializer_list<DWORD> passing) {
    constexpr ULONGLONG kRetryForMs = 1000;
    constexpr DWORD kPauseMs = 20;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (attempt()) return true;
        const DWORD error = GetLastError();
        if (std::find(passing.begin(), passing.end(), error) == passing.end() ||
            GetTickCount64() - start >= kRetryForMs) {
            SetLastError(error);
            return false;
        }
        Sleep(kPauseMs);
    }
}

std::u16string HigherRights(std::u16string_view who) {
    return std::u16string(who) + u" runs with higher rights than vek.exe (as administrator?)";
}

// The report of what (a request, a drop) that window target refused with
// error. Access denied from a window that is still there means the system
// keeps a program from sending or posting to one with higher rights; a
// window that went away meanwhile may say so too.
RuntimeFailure NotTaken(Hwnd target, std::u16string_view what, DWORD error) {
    if (error == ERROR_ACCESS_DENIED && IsWindow(ToHwnd(target))) {
        return RuntimeFailure(FailureKind::SystemError,
                              HigherRights(u"the host window " + PlainNumber(target)) + u": " +
                                  std::u16string(what) + u" was not taken");
    }
    return RuntimeFailure(FailureKind::SystemError,
                          std::u16string(what) + u" was not taken by window " +
                              PlainNumber(target) + u": " + SystemMessage(error));
}

// A request on its way to the host: the sending thread reads the request and
// writes what came of it; the thread that started it frees it once the
// sender has ended, and never before.
struct Delivery {
    HWND window;
    HWND own;
    std::uint32_t marker;
    std::string bytes;
    bool taken = false;
    DWORD error = 0;
};

DWORD WINAPI Deliver(void* parameter) {
    Delivery& delivery = *static_cast<Delivery*>(parameter);
    COPYDATASTRUCT record{delivery.marker, static_cast<DWORD>(delivery.bytes.size()),
                          delivery.bytes.data()};
    // Waits for as long as the host takes, and tells a message the window
    // never took (too large to pass, the window went away first, it runs with
    // higher rights) from one it handled, whatever the window answered. Not
    // SMTO_ABORTIFHUNG: the system judges a thread hung in the instant
    // between another sender's message waking it and its asking for that
    // message, if it had been idle for five seconds before, and the request
    // would be dropped on a live host. Whether the host hangs is for the
    // watch to say (WaitWhileTaking).
    DWORD_PTR answer = 0;
    delivery.taken =
        SendMessageTimeoutW(delivery.window, WM_COPYDATA, reinterpret_cast<WPARAM>(delivery.own),
                            reinterpret_cast<LPARAM>(&record), SMTO_NORMAL, INFINITE, &answer) != 0;
    delivery.error = GetLastError();
    return 0;
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

void ShowVekMessage(std::u16string_view text, UINT iconFlags) {
    // In front of every window: vek.exe may have been started by a program in
    // the background, whose windows the system keeps from the foreground.
    MessageBoxW(nullptr, Wide(text).c_str(), L"VEK",
                MB_OK | MB_SETFOREGROUND | MB_TOPMOST | iconFlags);
}

}  // namespace

std::u16string SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string message;
    if (length != 0 && text != nullptr) {
        message = U16(std::wstring_view(text, length));
        LocalFree(text);
    }
    while (!message.empty() && (message.back() == u'\n' || message.back() == u'\r' ||
                                message.back() == u' ' || message.back() == u'.')) {
        message.pop_back();
    }
    if (message.empty()) message = u"system error";
    // The code too, so that unusual errors can be looked up.
    return message + u" (error " + PlainNumber(error) + u")";
}

std::wstring FileApiPath(std::u16string_view path) {
    std::wstring wide = Wide(path);
    DWORD need = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (need == 0) return wide;
    std::wstring full(need, L'\0');
    DWORD got = GetFullPathNameW(wide.c_str(), need, full.data(), nullptr);
    if (got == 0 || got >= need) return wide;
    full.resize(got);
    if (full.size() < MAX_PATH - 12 || full.starts_with(L"\\\\?\\") ||
        full.starts_with(L"\\\\.\\")) {
        return full;
    }
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

Hwnd Win32Platform::OwnHwnd() const {
    return FromHwnd(own_);
}

std::u16string Win32Platform::CommandArgs() const {
    return ArgumentText(U16(GetCommandLineW()));
}

std::u16string Win32Platform::CurrentDirectory() const {
    for (;;) {
        DWORD need = GetCurrentDirectoryW(0, nullptr);
        if (need == 0) {
            throw RuntimeFailure(FailureKind::SystemError,
                                 u"the current directory: " + SystemMessage(GetLastError()));
        }
        std::wstring dir(need, L'\0');
        DWORD got = GetCurrentDirectoryW(need, dir.data());
        if (got != 0 && got < need) {
            dir.resize(got);
            return U16(dir);
        }
        // The directory changed between the two calls; ask again.
    }
}

bool Win32Platform::FileExists(std::u16string_view path) const {
    if (path.empty() || path.find_first_of(u"*?") != std::u16string_view::npos) return false;
    // Device names such as CON are no files, wherever they stand.
    const std::wstring full = FileApiPath(path);
    if (full.starts_with(L"\\\\.\\")) return false;
    DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    constexpr DWORD kNotNormal = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
    return (attributes & kNotNormal) == 0;
}

std::unique_ptr<InputFile> Win32Platform::OpenForRead(std::u16string_view path) {
    // Shared for deleting too: INIT replaces vek.ini while other runs read it.
    const std::wstring full = FileApiPath(path);
    ScopedHandle file;
    const bool opened = Retrying(
        [&] {
            file.Reset(NullIfInvalid(CreateFileW(
                full.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)));
            return static_cast<bool>(file);
        },
        {ERROR_SHARING_VIOLATION});
    if (!opened) ThrowFileError(u"Could not open", path, GetLastError());
    // Devices such as CON or a named pipe are not text files to read.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) {
        throw RuntimeFailure(FailureKind::FileError, Quoted(path) + u" is not a file");
    }
    return std::make_unique<Win32InputFile>(std::move(file), std::u16string(path));
}

void Win32Platform::ReplaceFileContent(std::u16string_view path, std::string_view bytes) {
    // Write the new content beside the file, then move it over the old one in
    // one step: a failure on the way leaves the old file as it was, and a
    // reader finds the old file or the new one, never a part. The temporary
    // name is longer than the file's, so it takes the long form on its own.
    const std::wstring target = FileApiPath(path);
    const std::wstring temporary =
        FileApiPath(std::u16string(path) + u".~" + PlainNumber(GetCurrentProcessId()) + u".tmp");
    ScopedHandle file(NullIfInvalid(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file) ThrowFileError(u"Could not write", path, GetLastError());
    // Any failure from here on removes the temporary file first.
    auto abandon = [&](std::u16string_view what) {
        const DWORD error = GetLastError();
        file.Reset();
        DeleteFileW(temporary.c_str());
        ThrowFileError(what, path, error);
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        if (!WriteFile(file.Get(), bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) {
            abandon(u"Could not write");
        }
        done += wrote;
    }
    if (!FlushFileBuffers(file.Get())) abandon(u"Could not write");
    file.Reset();
    // A reader holding vek.ini for a moment refuses the replace.
    if (!Retrying(
            [&] {
                return MoveFileExW(temporary.c_str(), target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
            },
            {ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED})) {
        abandon(u"Could not replace");
    }
}

void Win32Platform::AppendDecoded(CodePage cp, std::string_view bytes, std::u16string& out) const {
    if (bytes.empty()) return;
    if (bytes.size() > INT_MAX) {
        throw RuntimeFailure(FailureKind::SystemError, u"a text of more than 2 GB to convert");
    }
    const UINT codePage = WindowsCodePage(cp);
    const int inLength = static_cast<int>(bytes.size());
    int need = MultiByteToWideChar(codePage, 0, bytes.data(), inLength, nullptr, 0);
    if (need <= 0) {
        throw RuntimeFailure(FailureKind::SystemError,
                             u"text conversion: " + SystemMessage(GetLastError()));
    }
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(need));
    MultiByteToWideChar(codePage, 0, bytes.data(), inLength,
                        reinterpret_cast<wchar_t*>(out.data() + at), need);
}

void Win32Platform::AppendEncoded(CodePage cp, std::u16string_view text, std::string& out,
                                  bool* lossy) const {
    if (lossy != nullptr) *lossy = false;
    if (text.empty()) return;
    if (text.size() > INT_MAX / 4) {
        throw RuntimeFailure(FailureKind::SystemError, u"a text of more than 500 MB to convert");
    }
    const UINT codePage = WindowsCodePage(cp);
    const bool unicode = IsUnicodeCodePage(codePage);
    // No best-fit mapping: a character the code page lacks becomes '?' rather
    // than a look-alike that means something else.
    const DWORD flags = unicode ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultPtr = unicode ? nullptr : &usedDefault;
    const auto* in = reinterpret_cast<const wchar_t*>(text.data());
    const int inLength = static_cast<int>(text.size());
    int need = WideCharToMultiByte(codePage, flags, in, inLength, nullptr, 0, nullptr, nullptr);
    if (need <= 0) {
        throw RuntimeFailure(FailureKind::SystemError,
                             u"text conversion: " + SystemMessage(GetLastError()));
    }
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(need));
    WideCharToMultiByte(codePage, flags, in, inLength, out.data() + at, need, nullptr,
                        usedDefaultPtr);
    if (lossy != nullptr) *lossy = usedDefault != FALSE;
}

void Win32Platform::SendCopyData(Hwnd target, std::uint32_t marker, std::string bytes) {
    const HWND window = ToHwnd(target);
    // A handle that names no window (a stale vek.ini) takes nothing: nothing to report.
    if (!IsWindow(window)) return;
    const std::u16string request =
        u"the request (" + PlainNumber(static_cast<std::int64_t>(bytes.size())) + u" bytes)";
    if (bytes.size() > MAXDWORD) {
        throw RuntimeFailure(FailureKind::SystemError, request + u" is too large to send");
    }
    const RuntimeFailure notResponding(FailureKind::SystemError,
                                       u"the host window " + PlainNumber(target) +
                                           u" is not responding: " + request +
                                           u" may not have been taken");
    // The message goes from a thread of its own, so that this one can watch
    // the host: a host whose thread stops taking messages never answers, and
    // would hang whoever called vek.exe.
    auto* sending = new Delivery{window, own_, marker, std::move(bytes)};
    const ScopedHandle thread(CreateThread(nullptr, 0, Deliver, sending, 0, nullptr));
    if (!thread) {
        delete sending;
        throw RuntimeFailure(FailureKind::SystemError,
                             request + u" cannot be sent: " + SystemMessage(GetLastError()));
    }
    // A sender that may never return keeps the request, for the end of the
    // process to free.
    if (!WaitWhileTaking(thread.Get(), window)) throw notResponding;
    const std::unique_ptr<Delivery> delivery(sending);
    if (delivery->taken) return;
    // Refused for its rights, whether or not the host also hangs.
    if (delivery->error != ERROR_ACCESS_DENIED &&
        (delivery->error == ERROR_TIMEOUT || IsHungAppWindow(window))) {
        throw notResponding;
    }
    throw NotTaken(target, request, delivery->error);
}

void Win32Platform::ShowMessage(std::u16string_view text, MessageKind kind) {
    ShowVekMessage(text, kind == MessageKind::Failure ? MB_ICONERROR : 0);
}

ErrorStream Win32Platform::ErrorOutput() const {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE) return ErrorStream::None;
    DWORD mode = 0;
    if (GetConsoleMode(err, &mode)) return ErrorStream::Console;
    // A file, a pipe, or a device such as NUL: a program has the report.
    return GetFileType(err) == FILE_TYPE_UNKNOWN ? ErrorStream::None : ErrorStream::Captured;
}

void Win32Platform::WriteError(std::u16string_view text) {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(err, &mode)) {
        WriteConsoleW(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } else {
        const std::string utf8 = Encode(CodePage::Utf8, text);
        WriteFile(err, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
}

std::optional<HostSnapshot> Win32Platform::ReadHostMemory(std::string_view name) {
    const std::string nameText(name);
    ScopedHandle mapping(OpenFileMappingA(FILE_MAP_READ, TRUE, nameText.c_str()));
    if (!mapping) {
        if (GetLastError() != ERROR_ACCESS_DENIED) return std::nullopt;
        throw RuntimeFailure(
            FailureKind::SystemError,
            HigherRights(u"the host that published '" + Decode(CodePage::Ansi, name) + u"'") +
                u": its shared memory cannot be read");
    }
    HostSnapshot snapshot{};
    ScopedView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return snapshot;
    // The object may be smaller than the snapshot, or only partly committed:
    // copy no more than the readable region the view starts with.
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(view.Get(), &region, sizeof region) != sizeof region) return snapshot;
    constexpr DWORD kUnreadable = PAGE_NOACCESS | PAGE_GUARD;
    if (region.State != MEM_COMMIT || (region.Protect & kUnreadable) != 0) return snapshot;
    std::memcpy(snapshot.data(), view.Get(), std::min<SIZE_T>(region.RegionSize, snapshot.size()));
    return snapshot;
}

void Win32Platform::PostDropFiles(Hwnd target, std::span<const std::uint8_t> block) {
    ScopedGlobal memory(GlobalAlloc(GMEM_MOVEABLE, block.size()));
    void* data = memory ? GlobalLock(memory.Get()) : nullptr;
    if (data == nullptr) {
        throw RuntimeFailure(FailureKind::SystemError,
                             u"the file-drop block: " + SystemMessage(GetLastError()));
    }
    std::memcpy(data, block.data(), block.size());
    GlobalUnlock(memory.Get());
    // The receiver frees the block once it has the message; a post that
    // failed leaves it to us.
    if (PostMessageW(ToHwnd(target), WM_DROPFILES, reinterpret_cast<WPARAM>(memory.Get()), 0)) {
        memory.Detach();
        return;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_INVALID_WINDOW_HANDLE) return;  // no window (any more): nothing to report
    throw NotTaken(target, u"the file drop", error);
}

}  // namespace vek::win32
