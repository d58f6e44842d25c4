// Where a report can be read: a message box where the user can see one,
// standard error where the caller gave one, the event log where neither.

#include <windows.h>

#include <winternl.h>
#include <wtsapi32.h>

#include <string>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinText.h"
#include "text/Failure.h"
#include "text/Text.h"

namespace vek::win32 {
namespace {

// True for the caller's console, which a GUI program started from one with
// only standard output redirected inherits but cannot write to. Any other
// character device (NUL, above all) is the caller's choice; one the system
// cannot name (an old console's pseudo-handle) leads nowhere either.
bool IsSomeoneElsesConsole(HANDLE handle) {
    const auto query =
        SystemFunction<decltype(&NtQueryObject)>(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject");
    constexpr auto kObjectNameInformation = static_cast<OBJECT_INFORMATION_CLASS>(1);
    alignas(UNICODE_STRING) unsigned char buffer[1024];
    ULONG got = 0;
    if (query == nullptr ||
        query(handle, kObjectNameInformation, buffer, sizeof buffer, &got) < 0) {
        return true;
    }
    const auto& name = *reinterpret_cast<const UNICODE_STRING*>(buffer);
    return name.Buffer != nullptr && std::wstring_view(name.Buffer, name.Length / sizeof(wchar_t))
                                         .starts_with(L"\\Device\\ConDrv");
}

BOOL WINAPI TakeConsoleEvent(DWORD) {
    return TRUE;
}

// The output code page of this program's console, or else its parent's, read
// by attaching to it for the moment; else the OEM code page, a console's own.
UINT CallersCodePage() {
    if (const UINT own = GetConsoleOutputCP(); own != 0) return own;
    // Attaching may replace the standard handles: the caller's are put back.
    const DWORD kinds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE handles[3];
    for (int i = 0; i < 3; ++i) handles[i] = GetStdHandle(kinds[i]);
    // While attached, a Ctrl+C or Ctrl+Break there would end this process by
    // the default handler, with an exit code a script reads as success.
    const BOOL ignoring = SetConsoleCtrlHandler(&TakeConsoleEvent, TRUE);
    UINT codePage = 0;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        codePage = GetConsoleOutputCP();
        FreeConsole();
    }
    if (ignoring) SetConsoleCtrlHandler(&TakeConsoleEvent, FALSE);
    for (int i = 0; i < 3; ++i) SetStdHandle(kinds[i], handles[i]);
    return codePage != 0 ? codePage : GetOEMCP();
}

// False for a disconnected remote session, or one switched away from; true
// where the system does not say. wtsapi32 is loaded only where it is needed.
bool SessionIsActive() {
    const ScopedLibrary wtsapi(LoadLibraryW(L"wtsapi32.dll"));
    const auto query = SystemFunction<decltype(&WTSQuerySessionInformationW)>(
        wtsapi.Get(), "WTSQuerySessionInformationW");
    const auto release = SystemFunction<decltype(&WTSFreeMemory)>(wtsapi.Get(), "WTSFreeMemory");
    wchar_t* state = nullptr;
    DWORD bytes = 0;
    if (query == nullptr || release == nullptr ||
        !query(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSConnectState, &state, &bytes)) {
        return true;
    }
    const bool active = state == nullptr || bytes < sizeof(WTS_CONNECTSTATE_CLASS) ||
                        *reinterpret_cast<const WTS_CONNECTSTATE_CLASS*>(state) == WTSActive;
    release(state);
    return active;
}

// The name of a window station or a desktop; empty where it cannot be told.
std::wstring ObjectName(HANDLE object) {
    wchar_t name[256] = {};
    DWORD need = 0;
    const BOOL got =
        GetUserObjectInformationW(object, UOI_NAME, name, sizeof name - sizeof name[0], &need);
    return got ? std::wstring(name) : std::wstring();
}

// False on a locked workstation, or while the system asks for consent: the
// desktop that takes the input is a secure one this program may not open.
bool OwnDesktopTakesInput() {
    const HDESK input = OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
    if (input == nullptr) return false;
    const std::wstring inputName = ObjectName(input);
    CloseDesktop(input);
    return inputName == ObjectName(GetThreadDesktop(GetCurrentThreadId()));
}

// False when the Application log did not take text as an error event of the
// source "VEK". advapi32 is loaded only here: every other run goes without.
bool ReportToEventLog(std::u16string_view text) {
    const ScopedLibrary advapi(LoadLibraryW(L"advapi32.dll"));
    const auto registerSource =
        SystemFunction<decltype(&RegisterEventSourceW)>(advapi.Get(), "RegisterEventSourceW");
    const auto report = SystemFunction<decltype(&ReportEventW)>(advapi.Get(), "ReportEventW");
    const auto deregister =
        SystemFunction<decltype(&DeregisterEventSource)>(advapi.Get(), "DeregisterEventSource");
    if (registerSource == nullptr || report == nullptr || deregister == nullptr) return false;
    const HANDLE source = registerSource(nullptr, L"VEK");
    if (source == nullptr) return false;
    const std::wstring message = Wide(text.substr(0, 31839));  // ReportEvent takes no more
    const wchar_t* strings[] = {message.c_str()};
    const BOOL logged = report(source, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr);
    deregister(source);
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
    // Where the system does not say, as if visible: a box nobody sees is
    // better than a report that is never shown.
    USEROBJECTFLAGS flags{};
    DWORD need = 0;
    if (GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                  &need) &&
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
    const DWORD type = GetFileType(err);
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) return ErrorStream::Captured;
    if (type != FILE_TYPE_CHAR || IsSomeoneElsesConsole(err)) return ErrorStream::None;
    return ErrorStream::Captured;
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
    // Windows' own readers of a program's output (cmd, PowerShell, .NET's
    // Process) decode it in the code page of the console they run in.
    std::string bytes;
    try {
        bytes = Encode(CodePage{CallersCodePage()}, text);
    } catch (const RuntimeFailure&) {
        // A code page the system cannot convert to: every reader takes ASCII.
        bytes = Ascii(text);
    }
    return WriteAll(err, bytes);
}

std::u16string Win32Platform::SystemErrorText(std::uint32_t error) const {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const ScopedLocal owner(text);
    return length != 0 ? U16(std::wstring_view(text, length)) : std::u16string();
}

void Win32Platform::WriteEventLog(std::u16string_view text) {
    // A logon without the right to write to the log, or a full log: a viewer
    // of debug output is the last place an administrator can find the report.
    if (!ReportToEventLog(text)) OutputDebugStringW(Wide(text).c_str());
}

}  // namespace vek::win32
