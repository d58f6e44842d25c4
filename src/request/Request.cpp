#include "request/Request.h"

#include "text/Text.h"

namespace vek {
namespace {

std::u16string OwnWindowLine(Hwnd own) {
    return u"\r\nHWnd:" + PaddedNumber(own);
}

}  // namespace

std::u16string CommandArgument(std::u16string_view commandText) {
    return Mid(commandText, 6);
}

std::u16string NotificationHead(std::u16string_view event) {
    return u"NOTIFY SSTP/1.0\r\nSender: VEK\r\nEvent: " + std::u16string(event);
}

std::u16string Reference(int k, std::u16string_view value) {
    return u"\r\nReference" + PlainNumber(k) + u": " + std::u16string(value);
}

std::u16string NotificationTail(Hwnd own) {
    return OwnWindowLine(own) + u"\r\nSecurityLevel: local" + std::u16string(kShiftJisCharsetLine);
}

std::u16string BuildSendRequest(std::u16string_view commandText, Hwnd own) {
    return u"SEND SSTP/1.0\r\nSender: VEK\r\nScript: " + Trim(CommandArgument(commandText)) +
           OwnWindowLine(own) + std::u16string(kShiftJisCharsetLine);
}

std::u16string BuildEventRequest(std::u16string_view commandText, Hwnd own) {
    std::int64_t p = InStr(1, commandText, u"#");
    if (p == 0) return NotificationHead(commandText) + NotificationTail(own);
    std::u16string request = NotificationHead(Left(commandText, p - 1));
    for (int k = 0; k <= 7; ++k) {
        const std::int64_t s = p + 1;
        const std::int64_t q = InStr(s, commandText, u"#");
        request += Reference(k, Trim(q == 0 ? Mid(commandText, s) : Mid(commandText, s, q - s)));
        if (q == 0) break;
        p = q;  // after the eighth field, whatever follows its "#" is dropped
    }
    request += NotificationTail(own);
    return request;
}

}  // namespace vek
