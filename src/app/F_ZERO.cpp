#include "app/F_ZERO.h"

#include "app/CommandLine.h"
#include "app/Report.h"
#include "app/UsageText.h"
#include "balloon/Player.h"
#include "delivery/FileDrop.h"
#include "delivery/Handover.h"
#include "delivery/Target.h"
#include "request/FileRequest.h"
#include "request/Request.h"
#include "text/Failure.h"
#include "text/Text.h"

namespace vek {
namespace {

constexpr std::uint32_t kSstpMarker = 9801;  // WM_COPYDATA's dwData

// Ends in the player's new-line tag.
constexpr std::u16string_view kNotReadyText = u"Object Platform is not ready!!\\n";

constexpr std::u16string_view kNobody =
    u"this program runs where no window can be seen (as a service, or as a task that runs "
    u"whether the user is logged on or not)";
constexpr std::u16string_view kNobodyNow =
    u"nobody can answer a window now (the session is locked or disconnected)";

}  // namespace

Outcome F_ZERO::Form_Load() {
    const std::u16string commandText = Trim(ArgumentText(platform_.CommandLine()));

    // What delivers nothing reads no target: INIT repairs a vek.ini no run can read.
    if (commandText.empty() || commandText == u"/?") {
        BlnText = kUsageText;
        return Shown(StartBln(), u"the usage text");
    }
    if (commandText.starts_with(u"INIT")) {
        if (const std::u16string argument = CommandArgument(commandText); argument != u"0") {
            WriteTargetFile(platform_, argument);
        }
        return Outcome::EndRun;
    }
    if (commandText.starts_with(u"TestPoint")) {
        return Shown(Outcome::ShowTestWindow, u"the test window", {}, Onlooker::User);
    }

    TargetHwnd = ReadTargetFile(platform_);
    // A handle that names no window (the host restarted since INIT) is no
    // target; -1 is no window, but a target all the same.
    if (TargetHwnd != kShowInsteadOfSend && !IsLiveTarget(platform_, TargetHwnd)) {
        const HostLookup host = FindHostHwnd(platform_);
        TargetHwnd = host.window;
        refusedHost_ = host.refused;
    }

    if (commandText.starts_with(u"DROP")) {
        const std::u16string path =
            platform_.CurrentDirectory() + u"\\" + CommandArgument(commandText);
        if (platform_.FileExists(path) && IsWindowTarget(TargetHwnd)) {
            const std::vector<std::uint8_t> block = BuildDropBlock(platform_, path);
            handedOver_ = true;
            RequireDropTaken(platform_, platform_.PostDropFiles(TargetHwnd, block), TargetHwnd);
        }
        return Outcome::EndRun;
    }
    if (commandText.starts_with(u"FILE")) {
        return SendSstp(BuildFileRequest(platform_, commandText));
    }
    const Hwnd own = platform_.OwnHwnd();
    return SendSstp(commandText.starts_with(u"SEND") ? BuildSendRequest(commandText, own)
                                                     : BuildEventRequest(commandText, own));
}

Outcome F_ZERO::SendSstp(std::u16string request) {
    // Encoded first: the box and the balloon show the Charset line it goes out with.
    std::string bytes = EncodeRequest(platform_, request);
    if (TargetHwnd == 0) {
        // A host was there, but kept vek.exe from its window: not "not ready".
        if (!refusedHost_.empty()) {
            throw RuntimeFailure(FailureKind::SystemError,
                                 HigherRights(u"the host that published " + Quoted(refusedHost_)) +
                                     u": its shared memory cannot be read");
        }
        // Nothing was delivered: a script must not read the balloon as success.
        exitCode_ = 1;
        const Outcome outcome = Shown(
            StartBln(), u"\"Object Platform is not ready!!\" (no host window is known)", request);
        // The start of a long request, as a report quotes it: the caller waits
        // until the balloon, one character a tick, is done.
        std::u16string quoted = QuotedRequest(request);
        std::u16string().swap(request);
        std::string().swap(bytes);
        if (platform_.ErrorOutput() != ErrorStream::None) {
            platform_.WriteError(
                StandardErrorLine(u"the request was not sent: no host window is known: " + quoted));
        }
        BlnText = std::u16string(kNotReadyText) + quoted;
        return outcome;
    }
    if (TargetHwnd == kShowInsteadOfSend) {
        Shown(Outcome::EndRun, u"the request (target -1 shows it instead of sending it)", request,
              Onlooker::User);
        platform_.ShowMessage(request, MessageKind::Request);
        return Outcome::EndRun;
    }
    const std::size_t size = bytes.size();
    handedOver_ = true;
    const Delivery delivery = platform_.SendCopyData(TargetHwnd, kSstpMarker, std::move(bytes));
    RequireRequestTaken(platform_, delivery, TargetHwnd, size);
    return Outcome::EndRun;
}

Outcome F_ZERO::StartBln() {
    BlnWait = 0;
    BlnPos = 1;
    BlnShown.clear();
    return Outcome::ShowBalloon;
}

Outcome F_ZERO::Shown(Outcome outcome, std::u16string_view what, std::u16string_view request,
                      Onlooker needed) const {
    // Nobody would see it, or it would keep an unattended caller waiting.
    const Onlooker onlooker = platform_.WhoSeesWindows();
    if (onlooker == Onlooker::User || onlooker == needed) return outcome;
    std::u16string report = std::u16string(what) + u" cannot be shown: " +
                            std::u16string(onlooker == Onlooker::Nobody ? kNobody : kNobodyNow);
    if (!request.empty()) report += u": " + QuotedRequest(request);
    throw RuntimeFailure(FailureKind::SystemError, std::move(report));
}

Outcome F_ZERO::TmBln_Timer() {
    return BlnStep(BlnText, BlnShown, BlnPos, BlnWait) ? Outcome::KeepRunning : Outcome::EndRun;
}

}  // namespace vek
