// Where a report can be read: a message box where the user can see one,
// standard error where the caller gave one, the event log where neither.

#include <cstring>
#include <string>

#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinText.h"
#include "text/Failure.h"

namespace vek::win32 {
namespace {

// True for a character device that is a console this program cannot write
// to as a console: the caller's, inherited by a program that has none of its
// own (a GUI program started from a console with only standard output
// redirected). Its text would go nowhere anybody reads. Any other character
// device (NUL, above all) is a place the caller chose.
bool IsSomeoneElsesConsole(HANDLE handle) {
    struct CountedText {  // UNICODE_STRING
        USHORT length;
        USHORT capacity;
        const wchar_t* text;
    };
    using NtQueryObjectFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query =
        SystemFunction<NtQueryObjectFn>(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject");
    constexpr int kObjectNameInformation = 1;
    alignas(CountedText) unsigned char buffer[1024];
    ULONG got = 0;
    // A handle the system cannot name (an old console's pseudo-handle) leads
    // nowhere either.
    if (query == nullptr ||
        query(handle, kObjectNameInformation, buffer, sizeof buffer, &got) < 0) {
        return true;
    }
    const auto& name = *reinterpret_cast<const CountedText*>(buffer);
    return name.text != nullptr && std::wstring_view(name.text, name.length / sizeof(wchar_t))
                                       .starts_with(L"\\Device\\ConDrv");
}

BOOL WINAPI TakeConsoleEvent(DWORD) {
    return TRUE;
}

// The output code page of the console the caller runs in: this program's, or
// as a GUI program has none, its parent's, read by attaching to it for the
// moment. Without one, the OEM code page, a console's own unless changed.
UINT CallersCodePage() {
    if (const UINT own = GetConsoleOutputCP(); own != 0) return own;
    UINT codePage = 0;
    // Attaching may make the console's handles the standard ones: the
    // caller's choice of where the report goes stays.
    const DWORD kinds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE handles[3];
    for (int i = 0; i < 3; ++i) handles[i] = GetStdHandle(kinds[i]);
    // While attached, a Ctrl+C or Ctrl+Break typed in that console would end
    // this process by the default handler, with an exit code a script reads
    // as success: the event is taken and dropped instead.
    const BOOL ignoring = SetConsoleCtrlHandler(&TakeConsoleEvent, TRUE);
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        codePage = GetConsoleOutputCP();
        FreeConsole();
    }
    if (ignoring) SetConsoleCtrlHandler(&TakeConsoleEvent, FALSE);
    for (int i = 0; i < 3; ++i) SetStdHandle(kinds[i], handles[i]);
    return codePage != 0 ? codePage : GetOEMCP();
}

// False when the session is not the one at the screen now (a remote session
// that is disconnected, a session switched away from); true where the system
// does not say. wtsapi32 is loaded only here, for the runs that show something.
bool SessionIsActive() {
    const HMODULE wtsapi = LoadLibraryW(L"wtsapi32.dll");
    using QueryFn = BOOL(WINAPI*)(HANDLE, DWORD, int, wchar_t**, DWORD*);
    using FreeFn = void(WINAPI*)(void*);
    const auto query = SystemFunction<QueryFn>(wtsapi, "WTSQuerySessionInformationW");
    const auto release = SystemFunction<FreeFn>(wtsapi, "WTSFreeMemory");
    // WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSConnectState, WTSActive.
    constexpr DWORD kCurrentSession = static_cast<DWORD>(-1);
    constexpr int kConnectState = 8;
    constexpr int kActive = 0;
    bool active = true;
    wchar_t* state = nullptr;
    DWORD bytes = 0;
    if (query != nullptr && release != nullptr &&
        query(nullptr, kCurrentSession, kConnectState, &state, &bytes)) {
        if (state != nullptr && bytes >= sizeof(int)) {
            int connectState = 0;
            std::memcpy(&connectState, state, sizeof connectState);
            active = connectState == kActive;
        }
        release(state);
    }
    if (wtsapi != nullptr) FreeLibrary(wtsapi);
    return active;
}

// The name of a window station or a desktop; empty where it cannot be told.
std::wstring ObjectName(HANDLE object) {
    wchar_t name[256] = {};
    DWORD need = 0;
    if (!GetUserObjectInformationW(object, UOI_NAME, name, sizeof name - sizeof name[0], &need)) {
        return {};
    }
    return name;
}

// True while the desktop that takes the keyboard and the mouse is this
// thread's: on a locked workstation, or while the system asks for consent,
// it is a secure desktop this program may not even open.
bool OwnDesktopTakesInput() {
    const HDESK input = OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
    if (input == nullptr) return false;
    const std::wstring inputName = ObjectName(input);
    CloseDesktop(input);
    return inputName == ObjectName(GetThreadDesktop(GetCurrentThreadId()));
}

// Writes text as an error event of the source "VEK" into the Application
// log; false when the log did not take it. advapi32 is loaded only here:
// every other run starts without it.
bool ReportToEventLog(std::u16string_view text) {
    const HMODULE advapi = LoadLibraryW(L"advapi32.dll");
    if (advapi == nullptr) return false;
    using RegisterFn = HANDLE(WINAPI*)(const wchar_t*, const wchar_t*);
    using ReportFn =
        BOOL(WINAPI*)(HANDLE, WORD, WORD, DWORD, void*, WORD, DWORD, const wchar_t**, void*);
    using DeregisterFn = BOOL(WINAPI*)(HANDLE);
    const auto registerSource = SystemFunction<RegisterFn>(advapi, "RegisterEventSourceW");
    const auto report = SystemFunction<ReportFn>(advapi, "ReportEventW");
    const auto deregister = SystemFunction<DeregisterFn>(advapi, "DeregisterEventSource");
    BOOL logged = FALSE;
    if (registerSource != nullptr && report != nullptr && deregister != nullptr) {
        if (const HANDLE source = registerSource(nullptr, L"VEK")) {
            // ReportEvent refuses a longer string.
            constexpr std::size_t kLongestEventText = 31839;
            const std::wstring message = Wide(text.substr(0, kLongestEventText));
            const wchar_t* strings[] = {message.c_str()};
            logged = report(source, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr);
            deregister(source);
        }
    }
    FreeLibrary(advapi);
    return logged != FALSE;
}

}  // namespace

void Win32Platform::ShowMessage(std::u16string_view text, MessageKind kind) {
    // In front of every window: vek.exe may have been started by a program in
    // the background, whose windows the system keeps from the foreground.
    MessageBoxW(
        nullptr, Wide(text).c_str(), L"VEK",
        MB_OK | MB_SETFOREGROUND | MB_TOPMOST | (kind == MessageKind::Failure ? MB_ICONERROR : 0));
}

Onlooker Win32Platform::WhoSeesWindows() const {
    // Session 0 holds services: nobody sees a window there, whatever its
    // window station says (a service allowed to interact has a visible one).
    if (DWORD session = 0; ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0) {
        return Onlooker::Nobody;
    }
    USEROBJECTFLAGS flags{};
    DWORD need = 0;
    const HWINSTA station = GetProcessWindowStation();
    // Where the system does not say, as if it could: a box nobody sees is
    // better than a report that is never shown.
    if (station != nullptr &&
        GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &need) &&
        (flags.dwFlags & WSF_VISIBLE) == 0) {
        return Onlooker::Nobody;
    }
    return SessionIsActive() && OwnDesktopTakesInput() ? Onlooker::User : Onlooker::NobodyNow;
}

ErrorStream Win32Platform::ErrorOutput() const {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE) return ErrorStream::None;
    DWORD mode = 0;
    if (GetConsoleMode(err, &mode)) return ErrorStream::Console;
    switch (GetFileType(err)) {
        case FILE_TYPE_DISK:
        case FILE_TYPE_PIPE:
            return ErrorStream::Captured;
        case FILE_TYPE_CHAR:
            return IsSomeoneElsesConsole(err) ? ErrorStream::None : ErrorStream::Captured;
        default:
            return ErrorStream::None;
    }
}

bool Win32Platform::WriteError(std::u16string_view text) {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE) return false;
    DWORD mode = 0;
    if (GetConsoleMode(err, &mode)) {
        DWORD written = 0;
        return WriteConsoleW(err, text.data(), static_cast<DWORD>(text.size()), &written,
                             nullptr) &&
               written == text.size();
    }
    // Windows' own readers of a program's output (cmd's type and for /f,
    // PowerShell's redirections, .NET's Process) decode it in the code page
    // of the console they run in. A character that code page lacks becomes '?'.
    std::string bytes;
    try {
        bytes = Encode(CodePage{CallersCodePage()}, text);
    } catch (const RuntimeFailure&) {
        // A code page the system cannot convert to: every reader takes ASCII.
        bytes.clear();
        for (const char16_t c : text) bytes += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return WriteAll(err, bytes);
}

std::u16string Win32Platform::SystemErrorText(std::uint32_t error) const {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string message;
    if (length != 0 && text != nullptr) message = U16(std::wstring_view(text, length));
    LocalFree(text);
    return message;
}

void Win32Platform::WriteEventLog(std::u16string_view text) {
    // A logon without the right to write to the log (or a log that is full
    // and may not be overwritten): a debugger, or a viewer of debug output,
    // is the last place an administrator can find the report.
    if (!ReportToEventLog(text)) OutputDebugStringW(Wide(text).c_str());
}

}  // namespace vek::win32
