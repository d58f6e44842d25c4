#pragma once
// The SSTP/1.0 request texts. Lines are joined by CR LF; the last line,
// "Charset: Shift_JIS", has no line end.

#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace vek {

inline constexpr std::u16string_view kCrLf = u"\r\n";
inline constexpr std::u16string_view kSendFirstLine = u"SEND SSTP/1.0";
inline constexpr std::u16string_view kNotifyFirstLine = u"NOTIFY SSTP/1.0";
inline constexpr std::u16string_view kSenderLine = u"Sender: VEK";
inline constexpr std::u16string_view kSecurityLine = u"SecurityLevel: local";
inline constexpr std::u16string_view kCharsetLine = u"Charset: Shift_JIS";

// "HWnd:" followed by the own handle in the space-padded form ("HWnd: 1234").
std::u16string OwnWindowLine(Hwnd own);

// "ReferenceK: " for K = 0 to 7.
std::u16string ReferencePiece(int k);

// The SEND request for a command text beginning with "SEND": the script is
// the text from the 6th character on, trimmed.
std::u16string BuildSendRequest(std::u16string_view commandText, Hwnd own);

// The event notification for any other command text: the event name before
// the first "#" and up to eight references after it.
std::u16string BuildEventRequest(std::u16string_view commandText, Hwnd own);

// The opening lines every notification shares: "NOTIFY SSTP/1.0", CR LF,
// "Sender: VEK", CR LF.
std::u16string NotificationHead();

// The closing lines every notification shares: CR LF, the own-window line,
// CR LF, "SecurityLevel: local", CR LF, "Charset: Shift_JIS".
std::u16string NotificationTail(Hwnd own);

}  // namespace vek
