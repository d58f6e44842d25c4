// A whole run from any input (code page, vek.ini, the host's memory, the command): it fails with a
// report before it delivers anything, or delivers at most one thing, to a window, and a balloon it
// starts ends by itself. What is delivered is the unit tests' to check.
// Input: a mode byte (code page; whether vek.ini exists; the memory's name), a byte n and n bytes
// of vek.ini, a byte m and 4 x m bytes of host memory, then the command as UTF-16 units.

#include <cstring>

#include "FakePlatform.h"
#include "app/F_ZERO.h"
#include "delivery/Target.h"

using namespace vek;

static void Check(bool holds, const char* what) {
    if (!holds) std::fprintf(stderr, "broken: %s\n", what), std::abort();
}

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
    if (const std::string_view ini = take(byte()); (mode & 4) != 0)
        fake.AddFile(u"vek.ini", std::string(ini));
    if (const std::string_view memory = take(byte() * 4u); !memory.empty()) {
        HostSnapshot& snapshot = fake.hostMemory[(mode & 8) != 0 ? "enbryo" : "Sakura"];
        std::memcpy(snapshot.data(), memory.data(), memory.size());
    }
    std::u16string command(input.size() / 2, u'\0');
    std::memcpy(command.data(), input.data(), command.size() * 2);
    fake.commandLine = u"vek.exe " + command;
    fake.AddFile(u"a.txt", "line 0\r\nline 1\r\n\x82\xa0\r\n");
    for (Hwnd small = 1; small < 256; ++small) fake.windows.insert(small);  // the rest name none

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
    for (const auto& [target, marker, bytes] : fake.sent)
        Check(marker == 9801 && IsLiveTarget(fake, target), "a request, to a window");
    for (const auto& [target, block] : fake.drops)
        Check(IsLiveTarget(fake, target), "a drop, to a window");
    Check(fake.messages.empty() || form.TargetHwnd == kShowInsteadOfSend, "a box only for -1");
    if (outcome == Outcome::ShowBalloon) {  // which text it plays is the unit tests' to check
        const auto bound = (static_cast<std::int64_t>(form.BlnText.size()) + 82) * 4;
        for (std::int64_t ticks = 0; form.TmBln_Timer() == Outcome::KeepRunning; ++ticks)
            Check(ticks <= bound, "the balloon ends by itself");
    }
    return 0;
}
