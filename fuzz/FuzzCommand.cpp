// A whole run from any input: the code page, the bytes of vek.ini, the host's
// memory and the command text. Whatever they are, the run fails with a report
// before it delivers anything, or delivers at most one well-formed thing.
//
// Input: a mode byte (code page; whether vek.ini exists; the memory's name),
// a byte n and n bytes of vek.ini, a byte m and 4 x m bytes of host memory,
// then the command text as UTF-16 units.

#include <algorithm>
#include <cstring>

#include "FakePlatform.h"
#include "app/F_ZERO.h"
#include "app/UsageText.h"
#include "delivery/Target.h"
#include "request/Request.h"

using namespace vek;

namespace {

void Check(bool holds, const char* what) {
    if (!holds) std::fprintf(stderr, "broken: %s\n", what), std::abort();
}

bool Framed(std::string_view request) {
    return (request.starts_with("NOTIFY SSTP/1.0\r\nSender: VEK\r\n") ||
            request.starts_with("SEND SSTP/1.0\r\nSender: VEK\r\n")) &&
           (request.ends_with("\r\nCharset: Shift_JIS") || request.ends_with("\r\nCharset: UTF-8"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto take = [&](std::size_t n) {
        const std::string_view piece = input.substr(0, n);
        input.remove_prefix(piece.size());
        return piece;
    };
    const auto byte = [&] { return static_cast<std::uint8_t>(input.empty() ? 0 : take(1)[0]); };
    const std::uint8_t mode = byte();
    FakePlatform fake(mode % 3 == 0 ? 932 : mode % 3 == 1 ? 1252 : 65001);
    if (const std::string_view ini = take(byte()); (mode & 4) != 0) {
        fake.AddFile(u"vek.ini", std::string(ini));
    }
    if (const std::string_view memory = take(byte() * 4u); !memory.empty()) {
        HostSnapshot& snapshot = fake.hostMemory[(mode & 8) != 0 ? "enbryo" : "Sakura"];
        std::memcpy(snapshot.data(), memory.data(), memory.size());
    }
    std::u16string command(input.size() / 2, u'\0');
    std::memcpy(command.data(), input.data(), command.size() * 2);
    fake.commandArgs = command;
    fake.AddFile(u"a.txt", "line 0\r\nline 1\r\n\x82\xa0\r\n");

    try {  // the two conversions agree where both read a number
        const std::int32_t strict = ValStrict(command);
        Check(command.find(u',') != command.npos || ValPrefix(command) == strict, "conversions");
    } catch (const RuntimeFailure&) {
    }
    F_ZERO form(fake);
    Outcome outcome = Outcome::EndRun;
    try {
        outcome = form.Form_Load();
    } catch (const RuntimeFailure& failure) {
        Check(failure.Kind() != FailureKind::SystemError, "no system failure without a system");
        Check(fake.sent.empty() && fake.messages.empty() && fake.drops.empty(),
              "nothing is delivered before a failure");
        return 0;
    }
    Check(fake.sent.size() + fake.messages.size() + fake.drops.size() <= 1, "one delivery at most");
    for (const auto& [target, marker, bytes] : fake.sent) {
        Check(marker == 9801 && IsWindowTarget(target) && Framed(bytes), "a request");
    }
    for (const auto& text : fake.messages) {
        Check(
            form.TargetHwnd == kShowInsteadOfSend && Framed(fake.Encode(CodePage::ShiftJis, text)),
            "a message box only for -1, with the request");
    }
    for (const auto& [target, block] : fake.drops) {
        // pFiles 20, no point; the path, 8-bit or (fWide) UTF-16, and at least its two zeros.
        const std::u16string path = u"C:\\work\\" + CommandArgument(Trim(command));
        const bool wide = block.size() > 16 && block[16] == 1;
        const std::string list =
            wide ? std::string(reinterpret_cast<const char*>(path.data()), path.size() * 2)
                 : fake.Encode(CodePage::Ansi, path);
        Check(IsWindowTarget(target) && block.size() >= 22 + list.size() && block[0] == 20 &&
                  std::count(block.begin(), block.begin() + 20, 0) == 19 - wide &&
                  std::equal(list.begin(), list.end(), block.begin() + 20) &&
                  std::count(block.begin() + 20 + std::ssize(list), block.end(), 0) ==
                      std::ssize(block) - 20 - std::ssize(list),
              "the drop block");
    }
    if (outcome == Outcome::ShowBalloon) {
        Check(form.BlnText == kUsageText ||
                  form.BlnText.starts_with(u"Object Platform is not ready!!\\n"),
              "the balloon plays the usage text or the not-ready report");
        const auto bound = (static_cast<std::int64_t>(form.BlnText.size()) + 82) * 4;
        for (std::int64_t ticks = 0; form.TmBln_Timer() == Outcome::KeepRunning; ++ticks) {
            Check(ticks <= bound, "the balloon ends by itself");
        }
    }
    return 0;
}
