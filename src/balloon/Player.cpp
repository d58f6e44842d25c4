#include "balloon/Player.h"

#include <algorithm>
#include <utility>

#include "text/Failure.h"
#include "text/Text.h"

namespace vek {
namespace {

// 2 for a surrogate pair at index i, else 1 (a lone surrogate, past the end).
std::size_t UnitsAt(std::u16string_view text, std::size_t i) {
    return i + 1 < text.size() && IsHighSurrogate(text[i]) && IsLowSurrogate(text[i + 1]) ? 2 : 1;
}

// The units the player takes at once at 0-based index i: a tag whole, a wait
// tag with the character after it (whether or not the text still has one),
// or one character.
std::size_t PlayedUnits(std::u16string_view text, std::size_t i) {
    const std::u16string_view tag = i < text.size() ? text.substr(i, 2) : std::u16string_view();
    if (tag == u"\\w" || tag == u"/w") return 2 + UnitsAt(text, i + 2);
    if (tag == u"\\n" || tag == u"/n" || tag == u"\\c" || tag == u"/c") return 2;
    return UnitsAt(text, i);
}

std::int32_t Checked(std::int64_t value) {
    if (!std::in_range<std::int32_t>(value)) {
        throw RuntimeFailure(
            FailureKind::Overflow,
            u"the balloon's position " + PlainNumber(value) + u" is beyond the 32-bit range");
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

bool BlnStep(std::u16string_view text, std::u16string& shown, std::int32_t& pos,
             std::int32_t& wait) {
    if (wait >= 1) {
        --wait;
        return true;
    }
    // Surrounding spaces are typed but do not hold the balloon open. Measured
    // in place: a long request is not copied on every tick.
    const std::size_t first = text.find_first_not_of(u' ');
    const std::int64_t trimmedLength =
        first == std::u16string_view::npos
            ? 0
            : static_cast<std::int64_t>(text.find_last_not_of(u' ') - first + 1);
    if (trimmedLength + kBlnLinger < pos) return false;

    const std::u16string tag = Mid(text, pos, 2);  // refuses a position below 1
    const auto units =
        static_cast<std::int64_t>(PlayedUnits(text, static_cast<std::size_t>(pos - 1)));
    if (tag == u"\\w" || tag == u"/w") {
        wait = Checked(std::int64_t{wait} + ValPrefix(Mid(text, std::int64_t{pos} + 2, units - 2)));
    } else if (tag == u"\\n" || tag == u"/n") {
        shown += u"\r\n";
    } else if (tag == u"\\c" || tag == u"/c") {
        shown.clear();
    } else {
        shown += Mid(text, pos, units);  // nothing past the end
    }
    pos = Checked(std::int64_t{pos} + units);
    return true;
}

std::u16string QuotedRequest(std::u16string_view request) {
    if (request.size() <= kQuotedRequestLength) return std::u16string(request);
    std::size_t cut = 0;
    for (std::size_t next = 0; next <= kQuotedRequestLength; next += PlayedUnits(request, next)) {
        cut = next;
    }
    const auto pairs = std::count_if(request.begin(), request.end(), IsLowSurrogate);
    return std::u16string(request.substr(0, cut)) + u"... (" +
           PlainNumber(static_cast<std::int64_t>(request.size()) - pairs) + u" characters in all)";
}

}  // namespace vek
