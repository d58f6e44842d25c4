#include "delivery/Handover.h"

#include "text/Failure.h"
#include "text/Text.h"

namespace vek {
namespace {

constexpr std::u16string_view kAgain = u": sending it again may deliver it twice";

// Nothing documents that a message on its way is dropped when its sender
// gives up or ends.
constexpr std::u16string_view kMayStillReach =
    u" may have reached it, or may still reach it if the host responds";

[[noreturn]] void Fail(std::u16string report) {
    throw RuntimeFailure(FailureKind::SystemError, std::move(report));
}

[[noreturn]] void FailMaybeArrived(std::u16string report) {
    throw RuntimeFailure(FailureKind::SystemError, std::move(report) + std::u16string(kAgain))
        .MayHaveArrived();
}

void Require(const ErrorTexts& texts, const Delivery& delivery, Hwnd target,
             std::u16string_view what) {
    // Nothing is built once it is the host's: running out of memory would read as maybe.
    if (delivery.handed == Handed::Taken) return;
    const std::u16string host = u"the host window " + PlainNumber(target);
    switch (delivery.handed) {
        case Handed::Taken:
            return;
        case Handed::HigherRights:
            Fail(HigherRights(host) + u": " + std::u16string(what) + u" was not taken");
        case Handed::GoneBefore:
            Fail(host + u" closed before it took " + std::u16string(what));
        case Handed::ClosedWhileHandling:
            FailMaybeArrived(host + u" closed while it handled " + std::u16string(what));
        case Handed::HungBefore:
            Fail(host + u" is not responding: " + std::u16string(what) + u" was not sent");
        case Handed::HungWhileHandling:
            FailMaybeArrived(host + u" is not responding: " + std::u16string(what) +
                             std::u16string(kMayStillReach));
        case Handed::Failed: {
            std::u16string report =
                std::u16string(what) + u" was not taken by window " + PlainNumber(target);
            if (delivery.error != 0) report += u": " + texts.SystemErrorReport(delivery.error);
            Fail(std::move(report));
        }
        case Handed::LostTrack:
            FailMaybeArrived(u"waiting for " + host + u" failed: " +
                             texts.SystemErrorReport(delivery.error) + u": " +
                             std::u16string(what) + u" may have reached it");
    }
}

}  // namespace

void RequireRequestTaken(const ErrorTexts& texts, const Delivery& delivery, Hwnd target,
                         std::size_t bytes) {
    if (delivery.handed == Handed::Taken) return;  // before its words are built, as in Require
    Require(texts, delivery, target,
            u"the request (" + PlainNumber(static_cast<std::int64_t>(bytes)) + u" bytes)");
}

void RequireDropTaken(const ErrorTexts& texts, const Delivery& delivery, Hwnd target) {
    Require(texts, delivery, target, u"the file drop");
}

std::u16string HigherRights(std::u16string_view who) {
    return std::u16string(who) + u" runs with higher rights than vek.exe (as administrator?)";
}

}  // namespace vek
