#include "delivery/Handover.h"

#include "text/Failure.h"
#include "text/Text.h"

namespace vek {
namespace {

constexpr std::u16string_view kAgain = u": sending it again may deliver it twice";

std::u16string HostWindow(Hwnd target) {
    return u"the host window " + PlainNumber(target);
}

[[noreturn]] void Fail(std::u16string report) {
    throw RuntimeFailure(FailureKind::SystemError, std::move(report));
}

[[noreturn]] void FailMaybeArrived(std::u16string report) {
    throw RuntimeFailure(FailureKind::SystemError, std::move(report) + std::u16string(kAgain))
        .MayHaveArrived();
}

std::u16string NotTakenBy(std::u16string_view what, Hwnd target, std::u16string_view error) {
    std::u16string report =
        std::u16string(what) + u" was not taken by window " + PlainNumber(target);
    if (!error.empty()) report += u": " + std::u16string(error);
    return report;
}

}  // namespace

void RequireRequestTaken(const Delivery& delivery, Hwnd target, std::size_t bytes) {
    const std::u16string request =
        u"the request (" + PlainNumber(static_cast<std::int64_t>(bytes)) + u" bytes)";
    const std::u16string host = HostWindow(target);
    switch (delivery.handed) {
        case Handed::Taken:
            return;
        case Handed::HigherRights:
            Fail(HigherRights(host) + u": " + request + u" was not taken");
        case Handed::GoneBefore:
            Fail(host + u" closed before it took " + request);
        case Handed::ClosedWhileHandling:
            FailMaybeArrived(host + u" closed while it handled " + request);
        case Handed::HungBefore:
            Fail(host + u" is not responding: " + request + u" was not sent");
        case Handed::HungWhileHandling:
            // What Windows does with a sent message whose sender ends: the
            // receiver finishes one it has begun and never sees one it has not.
            FailMaybeArrived(host + u" is not responding: " + request +
                             u" may have reached it (a request the host had begun is handled to "
                             u"its end, one it had not begun is dropped as vek.exe ends)");
        case Handed::Failed:
            Fail(NotTakenBy(request, target, delivery.error));
        case Handed::LostTrack:
            FailMaybeArrived(u"waiting for " + host + u" failed: " + delivery.error + u": " +
                             request + u" may have reached it");
    }
}

void RequireDropTaken(const Delivery& delivery, Hwnd target) {
    const std::u16string host = HostWindow(target);
    switch (delivery.handed) {
        case Handed::Taken:
            return;
        case Handed::HigherRights:
            Fail(HigherRights(host) + u": the file drop was not taken");
        case Handed::GoneBefore:
        case Handed::ClosedWhileHandling:
            Fail(host + u" closed before it took the file drop");
        case Handed::HungBefore:
        case Handed::HungWhileHandling:
            Fail(host +
                 u" is not responding: the file drop was not handed over; drop the file "
                 u"again once the host responds");
        case Handed::Failed:
            Fail(NotTakenBy(u"the file drop", target, delivery.error));
        case Handed::LostTrack:
            FailMaybeArrived(u"waiting for " + host + u" failed: " + delivery.error +
                             u": the file drop may have reached it");
    }
}

std::u16string HigherRights(std::u16string_view who) {
    return std::u16string(who) + u" runs with higher rights than vek.exe (as administrator?)";
}

}  // namespace vek
