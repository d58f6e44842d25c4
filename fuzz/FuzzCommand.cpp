// Any command text through the whole dispatch and request building.

#include "FuzzInput.h"
#include "app/F_ZERO.h"
#include "app/Failure.h"
#include "app/UsageText.h"
#include "balloon/Player.h"
#include "platform/fake/FakePlatform.h"

using namespace vek;

namespace {

void CheckRequest(std::string_view bytes) {
    fuzz::Check(bytes.starts_with("NOTIFY SSTP/1.0\r\nSender: VEK\r\n") ||
                    bytes.starts_with("SEND SSTP/1.0\r\nSender: VEK\r\n"),
                "a request starts with its first line and the sender");
    fuzz::Check(bytes.ends_with("\r\nCharset: Shift_JIS"), "a request ends with the charset line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t mode = input.Byte();
    static constexpr const char* kTargets[] = {nullptr, "77\r\n", "-1\r\n", "65535\r\n"};
    const char* target = kTargets[mode % 4];
    FakePlatform fake((mode >> 2) % 2 == 0 ? 932 : 1252);
    if (target != nullptr) fake.AddFile(u"vek.ini", target);
    fake.AddFile(u"a.txt", "line 0\r\nline 1\r\n\x82\xa0\r\n");
    fake.AddDirectory(u"dir");
    fake.commandArgs = input.Text();

    F_ZERO form(fake);
    Outcome outcome = Outcome::EndRun;
    try {
        outcome = form.Form_Load();
    } catch (const RuntimeFailure& f) {
        // What a command text alone can make fail: FILE's range and name, or
        // an INIT value the code page cannot hold.
        fuzz::Check(f.Kind() != FailureKind::SystemError, "no system failure from a command");
        fuzz::Check(fake.sent.empty() && fake.messages.empty() && fake.drops.empty(),
                    "nothing is delivered before a failure");
        return 0;
    }
    fuzz::Check(fake.sent.size() + fake.messages.size() + fake.drops.size() <= 1,
                "at most one delivery per run");
    for (const auto& s : fake.sent) {
        fuzz::Check(s.marker == 9801 && s.target == 77, "sent to the target with the marker");
        CheckRequest(s.bytes);
    }
    for (const auto& m : fake.messages) CheckRequest(fake.Encode(CodePage::ShiftJis, m));
    switch (outcome) {
        case Outcome::ShowBalloon:
            fuzz::Check(form.BlnText == kUsageText ||
                            form.BlnText.starts_with(u"Object Platform is not ready!!\\n"),
                        "the balloon plays the usage text or the not-ready report");
            fuzz::Check(form.BlnPos == 1 && form.BlnWait == 0 && form.BlnShown.empty(),
                        "the player starts from the beginning");
            {
                // And plays to its end.
                const auto bound = (static_cast<std::int64_t>(form.BlnText.size()) + 82) * 4;
                std::int64_t ticks = 0;
                while (form.TmBln_Timer() == Outcome::KeepRunning) {
                    fuzz::Check(++ticks <= bound, "the balloon ends by itself");
                }
            }
            break;
        case Outcome::EndRun:
        case Outcome::ShowTestWindow:
            break;
        case Outcome::KeepRunning:
            fuzz::Broken("the form's load never keeps a balloon running");
    }
    return 0;
}
