#include "app/Report.h"

#include <new>

#include "text/Failure.h"

namespace vek {
namespace {

std::u16string ReportText(const Platform& platform, const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const RuntimeFailure& runtime) {
        return runtime.Report();
    } catch (const std::bad_alloc&) {
        return u"Out of memory";
    } catch (const std::exception& other) {
        return u"Unexpected failure: " + platform.Decode(CodePage::Utf8, other.what());
    } catch (...) {
        return u"Unexpected failure";
    }
}

}  // namespace

int ReportFailure(Platform& platform, const std::exception_ptr& failure) {
    const std::u16string report = ReportText(platform, failure);
    const ErrorStream where = platform.ErrorOutput();
    if (where != ErrorStream::None) platform.WriteError(u"VEK: " + report + u"\r\n");
    if (where != ErrorStream::Captured) platform.ShowMessage(report, MessageKind::Failure);
    return 1;
}

}  // namespace vek
