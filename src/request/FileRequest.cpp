#include "request/FileRequest.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>

#include "app/Failure.h"
#include "request/Request.h"
#include "text/Text.h"

namespace vek {
namespace {

constexpr std::int32_t kDefaultStart = 0;
constexpr std::int32_t kDefaultEnd = 1024;
constexpr std::int64_t kMaxLineCount = std::numeric_limits<std::int32_t>::max();

struct FileArgument {
    std::u16string namePart;  // as written, for the not-found reference
    std::u16string fileName;  // the name part trimmed
    std::int32_t start = kDefaultStart;
    std::int32_t end = kDefaultEnd;
};

template <typename Convert>
std::int32_t Converted(Convert convert, std::u16string_view what, std::u16string_view commandText) {
    try {
        return convert();
    } catch (RuntimeFailure& failure) {
        failure.AddContext(std::u16string(what) + u" in " + Quoted(commandText));
        throw;
    }
}

FileArgument ParseFileArgument(std::u16string_view commandText) {
    FileArgument arg;
    // The first "/" of the whole text ends the name, even one inside a path.
    const std::int64_t slash = InStr(1, commandText, u"/");
    const std::int64_t nameEnd =
        slash == 0 ? static_cast<std::int64_t>(commandText.size()) + 1 : slash;
    // The name part starts at the 6th character; a text that ends, or has its
    // "/", before that names no file at all. Checked before the range so that
    // 'FILE/x' is reported for what is really wrong with it.
    if (nameEnd < 6) {
        throw RuntimeFailure(FailureKind::InvalidArgument,
                             Quoted(commandText) +
                                 u" names no file: the name follows the 5th character, as in "
                                 u"FILE#name/start-end");
    }
    arg.namePart = Mid(commandText, 6, nameEnd - 6);
    arg.fileName = Trim(arg.namePart);
    if (slash == 0) return arg;

    const std::int64_t dash = InStr(slash + 1, commandText, u"-");
    if (dash == 0) {
        // Without "-" the start must be a number: 'FILE#dir/a.txt' fails here.
        const std::u16string startText = Mid(commandText, slash + 1);
        arg.start = Converted([&] { return ValStrict(startText); },
                              u"the start line after the \"/\"", commandText);
        arg.end = kDefaultEnd;
    } else {
        // With "-" a missing or non-numeric bound reads as 0.
        const std::u16string startText = Trim(Mid(commandText, slash + 1, dash - slash - 1));
        const std::u16string endText = Trim(Mid(commandText, dash + 1));
        arg.start = Converted([&] { return ValPrefix(startText); },
                              u"the start line before the \"-\"", commandText);
        arg.end = Converted([&] { return ValPrefix(endText); }, u"the end line after the \"-\"",
                            commandText);
    }
    return arg;
}

// The number of CR bytes, eight at a time: lines past the selection are only
// counted, and on a large file that is most of the work.
std::int64_t CountCrs(std::string_view bytes) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
    constexpr std::uint64_t kEvenBytes = 0x00FF00FF00FF00FFu;
    std::int64_t count = 0;
    std::size_t i = 0;
    while (i + 8 <= bytes.size()) {
        // Each byte of lanes counts the CRs seen at its place; 255 words at
        // most, so that no lane overflows before they are added up.
        std::uint64_t lanes = 0;
        for (int words = 0; words < 255 && i + 8 <= bytes.size(); ++words, i += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + i, 8);
            // A byte of x is zero exactly where the byte was a CR; the high
            // bit of the same byte of zeros is then set, and only then.
            const std::uint64_t x = word ^ (kOnes * '\r');
            const std::uint64_t zeros = ~(((x & kLow7) + kLow7) | x | kLow7);
            lanes += zeros >> 7;
        }
        const std::uint64_t pairs = (lanes & kEvenBytes) + ((lanes >> 8) & kEvenBytes);
        count += static_cast<std::int64_t>((pairs * 0x0001000100010001u) >> 48);
    }
    for (; i < bytes.size(); ++i) count += bytes[i] == '\r' ? 1 : 0;
    return count;
}

// Splits the file's bytes into lines as they arrive, block by block, and
// appends the selected ones to the request. A line ends at CR or CR LF; a lone
// LF is part of the line. CR and LF never occur inside a Shift_JIS character,
// so lines are split on bytes and only the selected ones are decoded, each on
// its own, as the file's lines would be read one at a time.
class LineSelector {
public:
    LineSelector(const Platform& platform, const FileArgument& arg, std::u16string& out)
        : platform_(platform), arg_(arg), out_(out) {}

    void Feed(std::string_view block) {
        std::size_t i = 0;
        if (afterCr_ && !block.empty()) {
            // The LF of a CR LF whose CR closed the previous block.
            afterCr_ = false;
            if (block.front() == '\n') i = 1;
        }
        while (i < block.size()) {
            if (NothingMoreToSelect()) {
                CountRest(block.substr(i));
                return;
            }
            const void* cr = std::memchr(block.data() + i, '\r', block.size() - i);
            if (cr == nullptr) {
                // The line goes on in the next block.
                if (Selected()) pending_.append(block.substr(i));
                inLine_ = true;
                return;
            }
            const auto at = static_cast<std::size_t>(static_cast<const char*>(cr) - block.data());
            EndLine(block.substr(i, at - i));
            i = at + 1;
            if (i == block.size()) {
                afterCr_ = true;
            } else if (block[i] == '\n') {
                ++i;
            }
        }
    }

    // Called at the end of the file: a last line without a line end is a
    // line; a line end at the very end makes no extra one. Returns the number
    // of lines in the file.
    std::int32_t Finish() {
        if (inLine_) EndLine({});
        return static_cast<std::int32_t>(counter_);
    }

    std::int64_t LinesSoFar() const { return counter_; }

private:
    bool Selected() const { return arg_.start <= counter_ && counter_ <= arg_.end; }
    bool NothingMoreToSelect() const { return counter_ > arg_.end || arg_.start > arg_.end; }

    // The current line ends with its last piece; earlier pieces, when the line
    // spans blocks, wait in pending_.
    void EndLine(std::string_view lastPiece) {
        if (Selected()) {
            if (pending_.empty()) {
                platform_.AppendDecoded(CodePage::ShiftJis, lastPiece, out_);
            } else {
                pending_.append(lastPiece);
                platform_.AppendDecoded(CodePage::ShiftJis, pending_, out_);
                // A very long line's bytes are not kept for the lines after it.
                if (pending_.capacity() > kFileReadBlock) {
                    std::string().swap(pending_);
                } else {
                    pending_.clear();
                }
            }
            out_ += u"\\n";
        }
        AddLines(1);
        inLine_ = false;
    }

    // Past the selection lines only need counting: every CR ends one line.
    void CountRest(std::string_view rest) {
        const std::int64_t crs = CountCrs(rest);
        if (crs == 0) {
            inLine_ = true;
            return;
        }
        AddLines(crs);
        const std::size_t lastCr = rest.rfind('\r');
        std::string_view tail = rest.substr(lastCr + 1);
        if (tail.empty()) {
            afterCr_ = true;
        } else if (tail.front() == '\n') {
            tail.remove_prefix(1);
        }
        inLine_ = !tail.empty();
    }

    void AddLines(std::int64_t lines) {
        counter_ += lines;
        if (counter_ > kMaxLineCount) {
            throw RuntimeFailure(FailureKind::Overflow, u"'" + arg_.fileName + u"' has more than " +
                                                            PlainNumber(kMaxLineCount) +
                                                            u" lines to count");
        }
    }

    const Platform& platform_;
    const FileArgument& arg_;
    std::u16string& out_;
    std::string pending_;  // bytes of a selected line begun in an earlier block
    std::int64_t counter_ = 0;
    bool inLine_ = false;   // bytes of the current line have been seen
    bool afterCr_ = false;  // the last byte seen was a CR ending a line
};

// Reads the file through and appends the selected lines; returns the number
// of lines in the file.
std::int32_t AppendSelectedLines(Platform& platform, const FileArgument& arg, std::u16string& out) {
    LineSelector selector(platform, arg, out);
    try {
        auto file = platform.OpenForRead(arg.fileName);
        const auto block = std::make_unique_for_overwrite<char[]>(kFileReadBlock);
        for (;;) {
            const std::size_t got = file->Read({block.get(), kFileReadBlock});
            if (got == 0) break;
            selector.Feed({block.get(), got});
        }
        return selector.Finish();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    // Everything held so far is released on the way out; the report only
    // needs the few bytes it is made of.
    out.clear();
    out.shrink_to_fit();
    throw RuntimeFailure(FailureKind::SystemError,
                         u"out of memory holding the selected lines of '" + arg.fileName + u"' (" +
                             PlainNumber(selector.LinesSoFar()) +
                             u" lines read); select fewer lines");
}

}  // namespace

std::u16string BuildFileRequest(Platform& platform, std::u16string_view commandText) {
    try {
        const FileArgument arg = ParseFileArgument(commandText);
        std::u16string request = NotificationHead();
        request += u"Event: OnFileRead";
        request += kCrLf;
        request += ReferencePiece(0) + arg.fileName;
        request += kCrLf;
        request += ReferencePiece(1) + PlainNumber(arg.start);
        request += kCrLf;
        request += ReferencePiece(2) + PlainNumber(arg.end);
        request += kCrLf;
        request += ReferencePiece(3);
        // Only an existing normal file by its exact name is read: a wildcard
        // pattern or a directory is reported as not found.
        if (platform.FileExists(arg.fileName)) {
            const std::int32_t lines = AppendSelectedLines(platform, arg, request);
            request += kCrLf;
            request += ReferencePiece(4) + PlainNumber(lines);
        } else {
            request += u"File(" + arg.namePart + u")NotFound";
        }
        request += NotificationTail(platform.OwnHwnd());
        return request;
    } catch (RuntimeFailure& failure) {
        failure.AddContext(u"FILE");
        throw;
    }
}

}  // namespace vek
