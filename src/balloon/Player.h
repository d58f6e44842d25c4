#pragma once
// The balloon text player: types a text out one character per tick and plays
// its inline tags, then keeps the finished text up for a while before it
// tells the caller that the run is over.
//
// Tags, recognised at the position being played, a backslash or a slash form:
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

// The player's clock.
inline constexpr unsigned kBlnTickMs = 50;

// Positions played past the end of the text (one per tick) before the run
// ends: the finished text stays up about four seconds.
inline constexpr std::int32_t kBlnLinger = 80;

// One tick. text is the whole text to play, shown what has been typed so
// far, pos the 1-based position of the next thing to play and wait the ticks
// still to wait. Returns false, changing nothing, on the tick that finds the
// text finished: pos has passed its length without surrounding spaces plus
// kBlnLinger. A character outside the Basic Multilingual Plane is typed (or
// consumed as a wait digit) whole, never half a surrogate pair at a time.
// Throws an overflow RuntimeFailure should a position leave the 32-bit range.
bool BlnStep(std::u16string_view text, std::u16string& shown, std::int32_t& pos,
             std::int32_t& wait);

// Characters of a request a report or the balloon quotes: enough to tell
// which request it was, and a report stays short enough for every place it
// may go (a pipe nobody reads before the run ends, the event log), the
// balloon short enough to be read, and over within minutes.
inline constexpr std::size_t kQuotedRequestLength = 1000;

// A request as a report or the balloon quotes it: a long one cut to its first
// kQuotedRequestLength units, where the player would end a character or a
// tag, then "... (N characters in all)".
std::u16string QuotedRequest(std::u16string_view request);

}  // namespace vek
