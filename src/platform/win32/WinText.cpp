#include "platform/win32/WinText.h"

#include "text/Text.h"

namespace vek::win32 {

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

}  // namespace vek::win32
