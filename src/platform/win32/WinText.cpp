#include "platform/win32/WinText.h"

#include "text/Failure.h"

namespace vek::win32 {

std::u16string SystemText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string message;
    if (length != 0 && text != nullptr) message = U16(std::wstring_view(text, length));
    LocalFree(text);
    return message;
}

std::u16string SystemMessage(DWORD error) {
    return SystemErrorReport(SystemText(error), error);
}

}  // namespace vek::win32
