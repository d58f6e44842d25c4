#pragma once
// Text (char16_t, wchar_t, code pages) and window handles between the core and
// the Win32 API, functions looked up at run time, and a failing call's facts.

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace vek::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16");

inline std::wstring Wide(std::u16string_view text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

inline std::u16string U16(std::wstring_view text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

inline UINT WindowsCodePage(CodePage cp) {
    return cp == CodePage::Ansi ? GetACP() : cp.number;
}

// Window handles are 32-bit significant and sign-extended on 64-bit Windows.
inline Hwnd FromHwnd(HWND hwnd) {
    return static_cast<Hwnd>(reinterpret_cast<INT_PTR>(hwnd));
}

inline HWND ToHwnd(Hwnd hwnd) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(hwnd));
}

// A system function that older systems lack, or of a library only some runs
// load: looked up at run time, nullptr where there is none.
template <typename Function>
Function SystemFunction(HMODULE library, const char* name) {
    return library == nullptr
               ? nullptr
               : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Throws what failed, on path if any, for the system's reason; the core words it.
[[noreturn]] inline void ThrowLastError(Operation operation, std::u16string_view path = {}) {
    throw RuntimeFailure(SystemFailure{operation, GetLastError(), std::u16string(path)});
}

}  // namespace vek::win32
