#include "request/Request.h"

#include <vector>

#include "TestUtil.h"

namespace vek {
namespace {

std::u16string Lines(const std::vector<std::u16string>& lines) {
    std::u16string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i != 0) joined += u"\r\n";
        joined += lines[i];
    }
    return joined;
}

std::u16string Notification(const std::vector<std::u16string>& middle, Hwnd own = 1234) {
    std::vector<std::u16string> lines{u"NOTIFY SSTP/1.0", u"Sender: VEK"};
    lines.insert(lines.end(), middle.begin(), middle.end());
    lines.push_back(u"HWnd:" + PaddedNumber(own));
    lines.push_back(u"SecurityLevel: local");
    lines.push_back(u"Charset: Shift_JIS");
    return Lines(lines);
}

TEST(EventRequestTest, WithoutReferences) {
    EXPECT_EQ(BuildEventRequest(u"OnBoot", 1234), Notification({u"Event: OnBoot"}));
    // Nothing follows the last line.
    EXPECT_TRUE(BuildEventRequest(u"OnBoot", 1234).ends_with(u"local\r\nCharset: Shift_JIS"));
}

TEST(EventRequestTest, ReferencesAreSplitAtHashesAndTrimmed) {
    EXPECT_EQ(BuildEventRequest(u"OnX#a#b", 1234),
              Notification({u"Event: OnX", u"Reference0: a", u"Reference1: b"}));
    EXPECT_EQ(BuildEventRequest(u"OnX#", 1234), Notification({u"Event: OnX", u"Reference0: "}));
    EXPECT_EQ(BuildEventRequest(u"OnX##c", 1234),
              Notification({u"Event: OnX", u"Reference0: ", u"Reference1: c"}));
    // The event name keeps its spaces; the references lose them.
    EXPECT_EQ(BuildEventRequest(u"OnX # a", 1234),
              Notification({u"Event: OnX ", u"Reference0: a"}));
    EXPECT_EQ(BuildEventRequest(u"#x", 1234), Notification({u"Event: ", u"Reference0: x"}));
    // Tabs are not trimmed.
    EXPECT_EQ(BuildEventRequest(u"E#\ta\t", 1234),
              Notification({u"Event: E", u"Reference0: \ta\t"}));
}

TEST(EventRequestTest, AtMostEightReferencesTheRestIsDropped) {
    std::vector<std::u16string> expected{u"Event: E"};
    for (int k = 0; k <= 7; ++k) expected.push_back(ReferencePiece(k) + PlainNumber(k));
    EXPECT_EQ(BuildEventRequest(u"E#0#1#2#3#4#5#6#7#8", 1234), Notification(expected));
    EXPECT_EQ(BuildEventRequest(u"E#0#1#2#3#4#5#6#7#8#9#10", 1234), Notification(expected));
    EXPECT_EQ(BuildEventRequest(u"E#0#1#2#3#4#5#6#7", 1234), Notification(expected));
}

TEST(EventRequestTest, TextIsCopiedUnchanged) {
    EXPECT_EQ(
        BuildEventRequest(u"On\u3042#\u65e5\u672c\r\n#\\w5", 1234),
        Notification({u"Event: On\u3042", u"Reference0: \u65e5\u672c\r\n", u"Reference1: \\w5"}));
}

TEST(EventRequestTest, OwnHandleUsesThePaddedForm) {
    EXPECT_EQ(BuildEventRequest(u"E", -5), Notification({u"Event: E"}, -5));
    EXPECT_NE(BuildEventRequest(u"E", 70000).find(u"\r\nHWnd: 70000\r\n"), std::u16string::npos);
}

TEST(SendRequestTest, ScriptIsTheTrimmedArgument) {
    auto expected = [](std::u16string script) {
        return Lines({u"SEND SSTP/1.0", u"Sender: VEK", u"Script: " + script, u"HWnd: 1234",
                      u"Charset: Shift_JIS"});
    };
    EXPECT_EQ(BuildSendRequest(u"SEND#\\h\\s0hi\\e", 1234), expected(u"\\h\\s0hi\\e"));
    EXPECT_EQ(BuildSendRequest(u"SEND", 1234), expected(u""));
    EXPECT_EQ(BuildSendRequest(u"SEND#  x y  ", 1234), expected(u"x y"));
    EXPECT_EQ(BuildSendRequest(u"SENDER#x", 1234), expected(u"R#x"));
    EXPECT_EQ(BuildSendRequest(u"SEND x#y", 1234), expected(u"x#y"));
    EXPECT_EQ(BuildSendRequest(u"SEND#", 1234).find(u"SecurityLevel"), std::u16string::npos);
}

}  // namespace
}  // namespace vek
