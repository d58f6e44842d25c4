// Any text through the balloon player: it always ends, within a bound the
// text's length gives, and never shows half a surrogate pair.

#include "FuzzInput.h"
#include "balloon/Player.h"

using namespace vek;

namespace {

bool IsHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::u16string text = input.Text();
    std::u16string shown;
    std::int32_t pos = 1;
    std::int32_t wait = 0;
    // Every tick advances the position or spends one of at most nine waiting
    // ticks that a three-character wait tag bought.
    const std::int64_t n = static_cast<std::int64_t>(text.size());
    const std::int64_t bound = (n + kBlnLinger + 2) * 4;
    std::int64_t ticks = 0;
    for (;;) {
        const std::int32_t before = pos;
        const std::size_t shownBefore = shown.size();
        if (!BlnStep(text, shown, pos, wait)) break;
        ++ticks;
        fuzz::Check(ticks <= bound, "the player ends");
        fuzz::Check(pos >= before && wait >= 0 && wait <= 9, "position and wait stay in range");
        if (shown.size() == shownBefore + 1 && IsHigh(shown.back())) {
            const auto at = static_cast<std::size_t>(before);  // the unit after the typed one
            fuzz::Check(at >= text.size() || !IsLow(text[at]), "a surrogate pair is typed whole");
        }
    }
    std::size_t first = text.find_first_not_of(u' ');
    const std::int64_t trimmed =
        first == std::u16string::npos
            ? 0
            : static_cast<std::int64_t>(text.find_last_not_of(u' ') - first + 1);
    fuzz::Check(pos > trimmed + kBlnLinger, "the player ends only past its text");
    return 0;
}
