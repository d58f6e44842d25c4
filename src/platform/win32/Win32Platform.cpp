// The program's window, its command line, text in code pages, and the
// host's shared memory.

#include "platform/win32/Win32Platform.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/WinText.h"
#include "text/Failure.h"
#include "text/Text.h"

namespace vek::win32 {
namespace {

UINT WindowsCodePage(CodePage cp) {
    return cp == CodePage::Ansi ? GetACP() : cp.number;
}

// Code pages for which WideCharToMultiByte takes neither flags nor a default
// character. Others refuse the flags alone (50220-50229, 57002-57011, 42):
// those are found as they refuse them.
bool IsUnicodeCodePage(UINT cp) {
    return cp == CP_UTF8 || cp == CP_UTF7 || cp == 54936;
}

}  // namespace

Hwnd Win32Platform::OwnHwnd() const {
    return FromHwnd(own_);
}

std::u16string Win32Platform::CommandLine() const {
    return U16(GetCommandLineW());
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
    DWORD flags = unicode ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultPtr = unicode ? nullptr : &usedDefault;
    const auto* in = reinterpret_cast<const wchar_t*>(text.data());
    const int inLength = static_cast<int>(text.size());
    int need = WideCharToMultiByte(codePage, flags, in, inLength, nullptr, 0, nullptr, nullptr);
    if (need <= 0 && flags != 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        usedDefaultPtr = nullptr;
        need = WideCharToMultiByte(codePage, flags, in, inLength, nullptr, 0, nullptr, nullptr);
    }
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

HostMemory Win32Platform::ReadHostMemory(std::string_view name, HostSnapshot& snapshot) {
    const std::string nameText(name);
    const ScopedHandle mapping(OpenFileMappingA(FILE_MAP_READ, TRUE, nameText.c_str()));
    if (!mapping) {
        return GetLastError() == ERROR_ACCESS_DENIED ? HostMemory::Refused : HostMemory::None;
    }
    snapshot = {};
    ScopedView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return HostMemory::Read;
    // The object may be smaller than the snapshot, or only partly committed:
    // copy no more than the readable region the view starts with.
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(view.Get(), &region, sizeof region) != sizeof region) return HostMemory::Read;
    constexpr DWORD kUnreadable = PAGE_NOACCESS | PAGE_GUARD;
    if (region.State != MEM_COMMIT || (region.Protect & kUnreadable) != 0) return HostMemory::Read;
    std::memcpy(snapshot.data(), view.Get(), std::min<SIZE_T>(region.RegionSize, snapshot.size()));
    return HostMemory::Read;
}

}  // namespace vek::win32
