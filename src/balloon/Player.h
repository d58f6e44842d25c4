#pragma once
// The balloon text player: types a text one character a tick, plays its tags,
// then keeps the finished text up a while. Tags, with a backslash or a slash:
//   \wd  /wd   wait: d more ticks when d is a digit (anything else waits 0);
//              the character d is consumed whatever it is
//   \n   /n    new line: CR LF is added to the shown text
//   \c   /c    clear: the shown text becomes empty
// Every other character, CR and LF included, is typed as it is.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vek {

inline constexpr unsigned kBlnTickMs = 50;

// Ticks past the end of the text: about four seconds.
inline constexpr std::int32_t kBlnLinger = 80;

// One tick: shown is what has been typed, pos the 1-based position to play,
// wait the ticks still to wait. False, changing nothing, once pos has passed
// the length without surrounding spaces plus kBlnLinger. A surrogate pair is
// typed, or consumed as a wait digit, whole.
bool BlnStep(std::u16string_view text, std::u16string& shown, std::int32_t& pos,
             std::int32_t& wait);

// Enough to tell which request it was; short enough for every place a report
// goes (a pipe nobody reads before the run ends, the event log), and for a
// balloon over within minutes.
inline constexpr std::size_t kQuotedRequestLength = 1000;

// A long request cut to its first kQuotedRequestLength units, where the player
// would end a character or a tag, then "... (N characters in all)".
std::u16string QuotedRequest(std::u16string_view request);

}  // namespace vek
