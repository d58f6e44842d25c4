#include "request/Request.h"

#include "text/Encodings.h"
#include "text/Text.h"

namespace vek {
namespace {

std::u16string OwnWindowLine(Hwnd own) {
    return u"\r\nHWnd:" + PaddedNumber(own);
}

// The closing line of a request in code page cp; every request is built with
// the Shift_JIS one.
std::u16string CharsetLine(CodePage cp) {
    return u"\r\nCharset: " + std::u16string(cp == CodePage::Utf8 ? u"UTF-8" : u"Shift_JIS");
}

}  // namespace

std::string EncodeRequest(const Platform& platform, std::u16string& request) {
    // The closing Charset line, ASCII in either code page, follows what the
    // lines before it need.
    const std::u16string built = CharsetLine(CodePage::ShiftJis);
    const bool closed = request.ends_with(built);
    if (closed) request.resize(request.size() - built.size());
    Encoded sent = ShiftJisOrUtf8(platform, request);
    if (closed) {
        request += CharsetLine(sent.cp);
        sent.bytes += platform.Encode(sent.cp, CharsetLine(sent.cp));
    }
    return std::move(sent.bytes);
}

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
    return OwnWindowLine(own) + u"\r\nSecurityLevel: local" + CharsetLine(CodePage::ShiftJis);
}

std::u16string BuildSendRequest(std::u16string_view commandText, Hwnd own) {
    return u"SEND SSTP/1.0\r\nSender: VEK\r\nScript: " + Trim(CommandArgument(commandText)) +
           OwnWindowLine(own) + CharsetLine(CodePage::ShiftJis);
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
