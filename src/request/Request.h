#pragma once
// The SSTP/1.0 request texts and their bytes. Lines are joined by CR LF; the
// last line, "Charset: " and the encoding of the request's bytes, has no line
// end.

#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace vek {

// The bytes of a request as it goes out, in the code page ShiftJisOrUtf8
// chooses; where that is UTF-8, the request's Charset line says so, so that
// whatever shows the request shows it as it goes out.
std::string EncodeRequest(const Platform& platform, std::u16string& request);

// The argument of DROP, INIT, FILE and SEND: the command text from its 6th
// character on; the 5th is skipped whatever it is ("#" or a space).
std::u16string CommandArgument(std::u16string_view commandText);

// The SEND request for a command text beginning with "SEND": the script is
// the argument, trimmed.
std::u16string BuildSendRequest(std::u16string_view commandText, Hwnd own);

// The event notification for any other command text: the event name before
// the first "#" and up to eight trimmed references after it.
std::u16string BuildEventRequest(std::u16string_view commandText, Hwnd own);

// The pieces of every notification: the opening lines up to "Event: " and the
// event's name; one reference line, CR LF first; and the closing lines, from
// the CR LF before the own-window line ("HWnd: 1234") to the Charset line.
std::u16string NotificationHead(std::u16string_view event);
std::u16string Reference(int k, std::u16string_view value);
std::u16string NotificationTail(Hwnd own);

}  // namespace vek
