// The SEND request and the event notification, built from the command text.

#include "TestSupport.h"
#include "request/Request.h"

namespace vek {
namespace {

std::u16string Notification(std::vector<std::u16string> lines, std::u16string own = u" 1234") {
    lines.insert(lines.begin(), {u"NOTIFY SSTP/1.0", u"Sender: VEK"});
    lines.insert(lines.end(), {u"HWnd:" + own, u"SecurityLevel: local", u"Charset: Shift_JIS"});
    return JoinCrLf(lines);
}

std::u16string Send(const std::u16string& script) {
    return JoinCrLf({u"SEND SSTP/1.0", u"Sender: VEK", u"Script: " + script, u"HWnd: 1234",
                     u"Charset: Shift_JIS"});
}

TEST(RequestTest, EventNameAndUpToEightTrimmedReferences) {
    const std::vector<std::u16string> eight = {
        u"Event: E",      u"Reference0: 0", u"Reference1: 1", u"Reference2: 2", u"Reference3: 3",
        u"Reference4: 4", u"Reference5: 5", u"Reference6: 6", u"Reference7: 7"};
    const std::pair<const char16_t*, std::vector<std::u16string>> cases[] = {
        {u"OnBoot", {u"Event: OnBoot"}},
        {u"On X ", {u"Event: On X "}},
        {u"OnX#a#b", {u"Event: OnX", u"Reference0: a", u"Reference1: b"}},
        {u"OnX#", {u"Event: OnX", u"Reference0: "}},
        {u"OnX##c", {u"Event: OnX", u"Reference0: ", u"Reference1: c"}},
        {u"OnX # a ", {u"Event: OnX ", u"Reference0: a"}},
        {u"#x", {u"Event: ", u"Reference0: x"}},
        {u"E#\ta\t", {u"Event: E", u"Reference0: \ta\t"}},
        {u"On\u3042#\u65e5\r\n#\\w5",
         {u"Event: On\u3042", u"Reference0: \u65e5\r\n", u"Reference1: \\w5"}},
        {u"E#0#1#2#3#4#5#6#7", eight},
        {u"E#0#1#2#3#4#5#6#7#8", eight},
        {u"E#0#1#2#3#4#5#6#7#8#9", eight},
    };
    for (const auto& [command, lines] : cases) {
        EXPECT_EQ(BuildEventRequest(command, 1234), Notification(lines)) << Utf8(command);
    }
    EXPECT_EQ(BuildEventRequest(u"E", -5), Notification({u"Event: E"}, u"-5"));
}

TEST(RequestTest, SendScriptIsTheTrimmedArgument) {
    EXPECT_EQ(BuildSendRequest(u"SEND#\\h\\s0hi\\e", 1234), Send(u"\\h\\s0hi\\e"));
    EXPECT_EQ(BuildSendRequest(u"SEND", 1234), Send(u""));
    EXPECT_EQ(BuildSendRequest(u"SEND#  x y  ", 1234), Send(u"x y"));
    EXPECT_EQ(BuildSendRequest(u"SENDER#x", 1234), Send(u"R#x"));
    EXPECT_EQ(BuildSendRequest(u"SEND x#y", 1234), Send(u"x#y"));
}

}  // namespace
}  // namespace vek
