#include "app/F_ZERO.h"

#include "app/TargetFile.h"
#include "app/UsageText.h"
#include "balloon/Player.h"
#include "delivery/Delivery.h"
#include "delivery/FileDrop.h"
#include "delivery/HostLookup.h"
#include "request/FileRequest.h"
#include "request/Request.h"
#include "text/Text.h"

namespace vek {

Outcome F_ZERO::Form_Load() {
    TargetHwnd = 0;
    TargetHwnd = ReadTargetFile(platform_);
    if (TargetHwnd == 0) TargetHwnd = FindHostHwnd();

    const std::u16string commandText = Trim(platform_.CommandArgs());

    if (commandText.empty() || commandText == u"/?") {
        BlnText = kUsageText;
        return StartBln();
    }
    if (commandText.starts_with(u"DROP")) {
        DropCommand(commandText);
        return Outcome::EndRun;
    }
    if (commandText.starts_with(u"INIT")) {
        InitCommand(commandText);
        return Outcome::EndRun;
    }
    if (commandText.starts_with(u"FILE")) {
        return SendSstp(BuildFileRequest(platform_, commandText));
    }
    if (commandText.starts_with(u"SEND")) {
        return SendSstp(BuildSendRequest(commandText, platform_.OwnHwnd()));
    }
    if (commandText.starts_with(u"TestPoint")) {
        return Outcome::ShowTestWindow;
    }
    return SendSstp(BuildEventRequest(commandText, platform_.OwnHwnd()));
}

void F_ZERO::InitCommand(std::u16string_view commandText) {
    const std::u16string argument = Mid(commandText, 6);
    if (argument == u"0") return;
    platform_.ReplaceFileContent(kTargetFileName, TargetFileBytes(platform_, argument));
}

Hwnd F_ZERO::FindHostHwnd() {
    return LookUpHostHwnd(platform_);
}

void F_ZERO::DropCommand(std::u16string_view commandText) {
    DropFile(platform_, TargetHwnd, commandText);
}

Outcome F_ZERO::SendSstp(const std::u16string& request) {
    // The request declares Shift_JIS, so it is encoded as such whatever the
    // system's code page.
    const std::string bytes = platform_.Encode(CodePage::ShiftJis, request);
    if (TargetHwnd != 0) {
        if (TargetHwnd == kShowInsteadOfSend) {
            platform_.ShowMessage(request);
        } else if (IsDeliverableTarget(TargetHwnd)) {
            platform_.SendCopyData(TargetHwnd, kSstpMarker, bytes);
        }
        return Outcome::EndRun;
    }
    BlnText = std::u16string(kNotReadyText) + request;
    return StartBln();
}

Outcome F_ZERO::StartBln() {
    BlnWait = 0;
    BlnPos = 1;
    BlnShown.clear();
    return Outcome::ShowBalloon;
}

Outcome F_ZERO::TmBln_Timer() {
    return BlnStep(BlnText, BlnShown, BlnPos, BlnWait) ? Outcome::KeepRunning : Outcome::EndRun;
}

}  // namespace vek
