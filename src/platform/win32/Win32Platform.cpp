#include "platform/win32/Win32Platform.h"

#include <climits>

#include "platform/win32/WinText.h"

namespace vek::win32 {

Hwnd Win32Platform::OwnHwnd() const {
    return FromHwnd(own_);
}

std::u16string Win32Platform::CommandLine() const {
    return U16(GetCommandLineW());
}

void Win32Platform::AppendDecoded(CodePage cp, std::string_view bytes, std::u16string& out) const {
    if (bytes.empty()) return;
    if (bytes.size() > INT_MAX) throw RuntimeFailure(SystemFailure{Operation::DecodeOver2Gb});
    const UINT codePage = WindowsCodePage(cp);
    const int inLength = static_cast<int>(bytes.size());
    int need = MultiByteToWideChar(codePage, 0, bytes.data(), inLength, nullptr, 0);
    if (need <= 0) ThrowLastError(Operation::Convert);
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(need));
    MultiByteToWideChar(codePage, 0, bytes.data(), inLength,
                        reinterpret_cast<wchar_t*>(out.data() + at), need);
}

std::string Win32Platform::Encode(CodePage cp, std::u16string_view text) const {
    if (text.empty()) return {};
    if (text.size() > INT_MAX / 4) throw RuntimeFailure(SystemFailure{Operation::EncodeOver500Mb});
    const UINT codePage = WindowsCodePage(cp);
    // No best-fit mapping: a character the code page lacks becomes '?' rather
    // than a look-alike that means something else. UTF-8 refuses the flag;
    // the other code pages that do (UTF-7, GB18030, ISO-2022...) are retried.
    DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const auto* in = reinterpret_cast<const wchar_t*>(text.data());
    const int inLength = static_cast<int>(text.size());
    int need = WideCharToMultiByte(codePage, flags, in, inLength, nullptr, 0, nullptr, nullptr);
    if (need <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        need = WideCharToMultiByte(codePage, flags, in, inLength, nullptr, 0, nullptr, nullptr);
    }
    if (need <= 0) ThrowLastError(Operation::Convert);
    std::string out(static_cast<std::size_t>(need), '\0');
    WideCharToMultiByte(codePage, flags, in, inLength, out.data(), need, nullptr, nullptr);
    return out;
}

}  // namespace vek::win32
