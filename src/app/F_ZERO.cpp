#include "app/F_ZERO.h"

#include "app/UsageText.h"
#include "balloon/Player.h"
#include "delivery/FileDrop.h"
#include "delivery/Target.h"
#include "request/Encoding.h"
#include "request/FileRequest.h"
#include "request/Request.h"
#include "text/Text.h"

namespace vek {
namespace {

// The dwData of every WM_COPYDATA that carries a request.
constexpr std::uint32_t kSstpMarker = 9801;

// Played before the request when no target is known; the last two characters
// are the player's new-line tag.
constexpr std::u16string_view kNotReadyText = u"Object Platform is not ready!!\\n";

}  // namespace

Outcome F_ZERO::Form_Load() {
    TargetHwnd = 0;
    TargetHwnd = ReadTargetFile(platform_);
    if (TargetHwnd == 0) TargetHwnd = FindHostHwnd(platform_);

    const std::u16string commandText = Trim(platform_.CommandArgs());

    if (commandText.empty() || commandText == u"/?") {
        BlnText = kUsageText;
        return StartBln();
    }
    if (commandText.starts_with(u"DROP")) {
        DropCommand(CommandArgument(commandText));
        return Outcome::EndRun;
    }
    if (commandText.starts_with(u"INIT")) {
        if (const std::u16string argument = CommandArgument(commandText); argument != u"0") {
            WriteTargetFile(platform_, argument);
        }
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

void F_ZERO::DropCommand(std::u16string_view argument) {
    const std::u16string path = platform_.CurrentDirectory() + u"\\" + std::u16string(argument);
    if (platform_.FileExists(path) && IsWindowTarget(TargetHwnd)) {
        platform_.PostDropFiles(TargetHwnd, BuildDropBlock(platform_, path));
    }
}

Outcome F_ZERO::SendSstp(std::u16string request) {
    // Encoded first: the encoding may rewrite the request's Charset line, and
    // the box and the balloon show the request as it would go out.
    std::string bytes = EncodeRequest(platform_, request);
    if (TargetHwnd == 0) {
        BlnText = std::u16string(kNotReadyText) + request;
        return StartBln();
    }
    if (TargetHwnd == kShowInsteadOfSend) {
        platform_.ShowMessage(request, MessageKind::Request);
    } else if (IsWindowTarget(TargetHwnd)) {
        platform_.SendCopyData(TargetHwnd, kSstpMarker, std::move(bytes));
    }
    return Outcome::EndRun;
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
