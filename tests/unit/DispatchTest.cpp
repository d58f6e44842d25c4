#include <gtest/gtest.h>

#include "TestUtil.h"
#include "app/F_ZERO.h"
#include "app/UsageText.h"
#include "platform/fake/FakePlatform.h"
#include "request/Request.h"

namespace vek {
namespace {

class DispatchTest : public ::testing::Test {
protected:
    Outcome Run(std::u16string args) {
        fake.commandArgs = std::move(args);
        return form.Form_Load();
    }
    void SetTarget(std::string ini) { fake.AddFile(u"vek.ini", std::move(ini)); }
    std::u16string SentText(std::size_t i = 0) {
        EXPECT_GT(fake.sent.size(), i);
        return fake.Decode(CodePage::ShiftJis, fake.sent.at(i).bytes);
    }

    FakePlatform fake;
    F_ZERO form{fake};
};

TEST_F(DispatchTest, EmptyOrHelpPlaysTheUsageText) {
    for (const char16_t* args : {u"", u"    ", u"/?", u"  /?  "}) {
        F_ZERO fresh{fake};
        fake.commandArgs = args;
        EXPECT_EQ(fresh.Form_Load(), Outcome::ShowBalloon);
        EXPECT_EQ(fresh.BlnText, kUsageText);
        EXPECT_EQ(fresh.BlnPos, 1);
        EXPECT_EQ(fresh.BlnWait, 0);
        EXPECT_TRUE(fresh.BlnShown.empty());
    }
    EXPECT_TRUE(fake.sent.empty());
}

TEST_F(DispatchTest, UsageTextIsComplete) {
    EXPECT_EQ(kUsageText.size(), 243u);
    EXPECT_TRUE(kUsageText.starts_with(u"\u3010\u4f7f\u7528\u65b9\u6cd5\u3011\\n"));
    EXPECT_TRUE(kUsageText.ends_with(u"#ref(7)#\\n\\w9\\w9\\w9\\w9\\w9\\w9\\w9\\w9\\w9\\w9"));
}

TEST_F(DispatchTest, EventIsSentToTheTargetAsShiftJis) {
    SetTarget("5678\r\n");
    EXPECT_EQ(Run(u"  OnBoot#first#second  "), Outcome::EndRun);
    ASSERT_EQ(fake.sent.size(), 1u);
    EXPECT_EQ(fake.sent[0].target, 5678);
    EXPECT_EQ(fake.sent[0].marker, 9801u);
    EXPECT_EQ(SentText(), BuildEventRequest(u"OnBoot#first#second", 1234));
}

TEST_F(DispatchTest, RequestsAreShiftJisWhateverTheSystemCodePage) {
    for (unsigned cp : {932u, 1252u}) {
        FakePlatform western(cp);
        western.AddFile(u"vek.ini", "77");
        western.commandArgs = u"SEND#\u3053\u3093\u306b\u3061\u306f";
        F_ZERO f{western};
        EXPECT_EQ(f.Form_Load(), Outcome::EndRun);
        ASSERT_EQ(western.sent.size(), 1u);
        const std::string& bytes = western.sent[0].bytes;
        EXPECT_NE(bytes.find("Script: \x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\r\n"),
                  std::string::npos);
        EXPECT_TRUE(bytes.ends_with("\r\nCharset: Shift_JIS"));
    }
}

TEST_F(DispatchTest, PrefixTestsAreExactAndInTableOrder) {
    SetTarget("77");
    Run(u"SENDER#x");
    EXPECT_EQ(SentText(0), BuildSendRequest(u"SENDER#x", 1234));
    Run(u"send#x");
    EXPECT_EQ(SentText(1), BuildEventRequest(u"send#x", 1234));
    Run(u"\"SEND#hi\"");
    EXPECT_EQ(SentText(2), BuildEventRequest(u"\"SEND#hi\"", 1234));
    Run(u"/? x");
    EXPECT_EQ(SentText(3), BuildEventRequest(u"/? x", 1234));
    EXPECT_EQ(Run(u"TestPoint"), Outcome::ShowTestWindow);
    EXPECT_EQ(Run(u"TestPointer"), Outcome::ShowTestWindow);
    EXPECT_EQ(fake.sent.size(), 4u);
    Run(u"TestPoin");
    EXPECT_EQ(SentText(4), BuildEventRequest(u"TestPoin", 1234));
    Run(u"\tSEND#x");
    EXPECT_EQ(SentText(5), BuildEventRequest(u"\tSEND#x", 1234));
}

TEST_F(DispatchTest, InitWritesTheArgumentUnlessItIsZero) {
    EXPECT_EQ(Run(u"INIT#1234"), Outcome::EndRun);
    EXPECT_EQ(fake.FileBytes(u"vek.ini"), "1234\r\n");
    Run(u"INIT 0");
    EXPECT_EQ(fake.FileBytes(u"vek.ini"), "1234\r\n");
    EXPECT_EQ(fake.replaceCount, 1);
    Run(u"INIT 00");
    EXPECT_EQ(fake.FileBytes(u"vek.ini"), "00\r\n");
    Run(u"INIT");
    EXPECT_EQ(fake.FileBytes(u"vek.ini"), "\r\n");
    Run(u"INIT#-1");
    EXPECT_EQ(fake.FileBytes(u"vek.ini"), "-1\r\n");
    Run(u"INIT# 5 ");  // the command text is trimmed, the argument is not
    EXPECT_EQ(fake.FileBytes(u"vek.ini"), " 5\r\n");
    EXPECT_TRUE(fake.sent.empty());
}

TEST_F(DispatchTest, FailedInitLeavesTheOldTarget) {
    SetTarget("42\r\n");
    fake.failWrites = true;
    EXPECT_EQ(FailureOf([&] { Run(u"INIT#99"); }), FailureKind::FileError);
    EXPECT_EQ(fake.FileBytes(u"vek.ini"), "42\r\n");
}

TEST_F(DispatchTest, MinusOneShowsTheRequestInsteadOfSending) {
    SetTarget("-1\r\n");
    EXPECT_EQ(Run(u"OnX#a"), Outcome::EndRun);
    EXPECT_TRUE(fake.sent.empty());
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0], BuildEventRequest(u"OnX#a", 1234));
}

TEST_F(DispatchTest, BroadcastHandleIsNeverATarget) {
    SetTarget("65535");
    EXPECT_EQ(Run(u"OnX"), Outcome::EndRun);
    EXPECT_TRUE(fake.sent.empty());
    EXPECT_TRUE(fake.messages.empty());
    SetTarget("&HFFFF");
    EXPECT_EQ(Run(u"SEND#x"), Outcome::EndRun);
    EXPECT_TRUE(fake.sent.empty());
}

TEST_F(DispatchTest, NoTargetPlaysTheNotReadyReportAndTheRequest) {
    EXPECT_EQ(Run(u"OnX#\\w5"), Outcome::ShowBalloon);
    EXPECT_TRUE(fake.sent.empty());
    EXPECT_EQ(form.BlnText,
              u"Object Platform is not ready!!\\n" + BuildEventRequest(u"OnX#\\w5", 1234));
    EXPECT_EQ(form.BlnPos, 1);
}

TEST_F(DispatchTest, TargetFileWithoutANumberGivesNoTarget) {
    for (const char* ini : {"", "abc\r\n", "\r\n", ",5"}) {
        FakePlatform f;
        f.AddFile(u"vek.ini", ini);
        f.commandArgs = u"OnX";
        F_ZERO form2{f};
        EXPECT_EQ(form2.Form_Load(), Outcome::ShowBalloon) << ini;
        EXPECT_EQ(form2.TargetHwnd, 0);
    }
}

TEST_F(DispatchTest, TargetFileIsReadFromTheCurrentDirectory) {
    fake.AddFile(u"C:\\elsewhere\\vek.ini", "77");
    EXPECT_EQ(Run(u"OnX"), Outcome::ShowBalloon);
    fake.currentDirectory = u"C:\\elsewhere";
    EXPECT_EQ(Run(u"OnX"), Outcome::EndRun);
    EXPECT_EQ(fake.sent.at(0).target, 77);
}

TEST_F(DispatchTest, TargetOverflowEndsTheRunBeforeAnythingIsSent) {
    SetTarget("99999999999\r\n");
    std::string report = ReportOf([&] { Run(u"OnX"); });
    EXPECT_NE(report.find("'99999999999'"), std::string::npos) << report;
    EXPECT_TRUE(fake.sent.empty());
    EXPECT_TRUE(fake.messages.empty());
}

TEST_F(DispatchTest, StaleHandleIsStillSentTo) {
    SetTarget("12345678");
    EXPECT_EQ(Run(u"OnX"), Outcome::EndRun);
    ASSERT_EQ(fake.sent.size(), 1u);
    EXPECT_EQ(fake.sent[0].target, 12345678);
}

}  // namespace
}  // namespace vek
