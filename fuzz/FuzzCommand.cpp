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
#include "text/Text.h"

using namespace vek;

namespace {

void Check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

void CheckRequest(std::string_view bytes) {
    Check(bytes.starts_with("NOTIFY SSTP/1.0\r\nSender: VEK\r\n") ||
              bytes.starts_with("SEND SSTP/1.0\r\nSender: VEK\r\n"),
          "a request starts with its first line and the sender");
    Check(bytes.ends_with("\r\nCharset: Shift_JIS"), "a request ends with the charset line");
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
    const std::string_view ini = take(byte());
    if ((mode & 4) != 0) fake.AddFile(u"vek.ini", std::string(ini));
    const std::string_view memory = take(byte() * 4u);
    if (!memory.empty()) {
        HostSnapshot snapshot{};
        std::memcpy(snapshot.data(), memory.data(), memory.size());
        fake.hostMemory[(mode & 8) != 0 ? "enbryo" : "Sakura"] = snapshot;
    }
    std::u16string command(input.size() / 2, u'\0');
    std::memcpy(command.data(), input.data(), command.size() * 2);
    fake.commandArgs = command;
    fake.AddFile(u"a.txt", "line 0\r\nline 1\r\n\x82\xa0\r\n");
    fake.AddFile(u"dir").directory = true;

    // The two conversions agree where both read a number.
    try {
        const std::int32_t strict = ValStrict(command);
        Check(command.find_first_of(u",") != std::u16string::npos || ValPrefix(command) == strict,
              "the strict and the prefix conversion agree");
    } catch (const RuntimeFailure&) {
    }

    F_ZERO form(fake);
    Outcome outcome = Outcome::EndRun;
    try {
        outcome = form.Form_Load();
    } catch (const RuntimeFailure& failure) {
        Check(failure.Kind() != FailureKind::SystemError, "no system failure without the system");
        Check(fake.sent.empty() && fake.messages.empty() && fake.drops.empty(),
              "nothing is delivered before a failure");
        return 0;
    }
    Check(fake.sent.size() + fake.messages.size() + fake.drops.size() <= 1,
          "at most one delivery per run");
    for (const auto& sent : fake.sent) {
        Check(sent.marker == 9801 && IsWindowTarget(sent.target), "sent to a window, marked");
        CheckRequest(sent.bytes);
    }
    for (const auto& text : fake.messages) {
        Check(form.TargetHwnd == kShowInsteadOfSend, "a message box only for -1");
        CheckRequest(fake.Encode(CodePage::ShiftJis, text));
    }
    for (const auto& [target, block] : fake.drops) {
        Check(IsWindowTarget(target), "dropped on a window");
        const std::u16string path = u"C:\\work\\" + CommandArgument(Trim(command));
        const std::string list = fake.Encode(CodePage::Ansi, path);
        Check(block.size() >= 22 + list.size() && block.size() >= 24 + 2 * path.size(),
              "the block holds the list and is as long as two bytes a character need");
        Check(block[0] == 20 && std::count(block.begin() + 1, block.begin() + 20, 0) == 19,
              "the header: pFiles 20, no point, not wide");
        Check(std::equal(list.begin(), list.end(), block.begin() + 20) &&
                  std::count(block.begin() + 20 + list.size(), block.end(), 0) ==
                      std::ssize(block) - 20 - std::ssize(list),
              "the path and nothing but zeros after it");
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
