#include "request/Request.h"

#include "text/Text.h"

namespace vek {

std::u16string OwnWindowLine(Hwnd own) {
    return u"HWnd:" + PaddedNumber(own);
}

std::u16string ReferencePiece(int k) {
    return u"Reference" + PlainNumber(k) + u": ";
}

std::u16string NotificationHead() {
    std::u16string head;
    head += kNotifyFirstLine;
    head += kCrLf;
    head += kSenderLine;
    head += kCrLf;
    return head;
}

std::u16string NotificationTail(Hwnd own) {
    std::u16string tail;
    tail += kCrLf;
    tail += OwnWindowLine(own);
    tail += kCrLf;
    tail += kSecurityLine;
    tail += kCrLf;
    tail += kCharsetLine;
    return tail;
}

std::u16string BuildSendRequest(std::u16string_view commandText, Hwnd own) {
    std::u16string request;
    request += kSendFirstLine;
    request += kCrLf;
    request += kSenderLine;
    request += kCrLf;
    request += u"Script: " + Trim(Mid(commandText, 6));
    request += kCrLf;
    request += OwnWindowLine(own);
    request += kCrLf;
    request += kCharsetLine;
    return request;
}

std::u16string BuildEventRequest(std::u16string_view commandText, Hwnd own) {
    std::u16string request = NotificationHead();
    std::int64_t p = InStr(1, commandText, u"#");
    if (p == 0) {
        request += u"Event: ";
        request += commandText;
    } else {
        request += u"Event: " + Left(commandText, p - 1);
        for (int k = 0; k <= 7; ++k) {
            std::int64_t s = p + 1;
            std::int64_t q = InStr(s, commandText, u"#");
            std::u16string field = q == 0 ? Mid(commandText, s) : Mid(commandText, s, q - s);
            request += kCrLf;
            request += ReferencePiece(k) + Trim(field);
            if (q == 0) break;
            p = q;
        }
    }
    request += NotificationTail(own);
    return request;
}

}  // namespace vek
