#include "request/FileRequest.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

#include "request/Request.h"
#include "text/Encodings.h"
#include "text/Failure.h"
#include "text/Text.h"

namespace vek {
namespace {

constexpr std::int64_t kMaxLineCount = std::numeric_limits<std::int32_t>::max();

// What follows the lines in a request: the line count and the closing lines.
constexpr std::size_t kRequestTailRoom = 128;

struct FileArgument {
    std::u16string namePart;  // as written, for the not-found reference
    std::u16string fileName;  // the name part trimmed
    std::int32_t start = 0;
    std::int32_t end = 1024;
};

// A line number of the range; a failure names where in the command it stood.
std::int32_t LineNumber(std::int32_t (*convert)(std::u16string_view), std::u16string_view text,
                        std::u16string_view where, std::u16string_view commandText) {
    try {
        return convert(text);
    } catch (RuntimeFailure& failure) {
        failure.AddContext(std::u16string(where) + u" in " + Quoted(commandText));
        throw;
    }
}

FileArgument ParseFileArgument(std::u16string_view commandText) {
    FileArgument arg;
    // The first "/" of the whole text ends the name, even one inside a path.
    const std::int64_t slash = InStr(1, commandText, u"/");
    const std::int64_t nameEnd =
        slash == 0 ? static_cast<std::int64_t>(commandText.size()) + 1 : slash;
    // A text that ends, or has its "/", before the 6th character names no
    // file; checked before the range, as that is what is wrong with 'FILE/x'.
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
        arg.start = LineNumber(ValStrict, Mid(commandText, slash + 1),
                               u"the start line after the \"/\"", commandText);
    } else {
        // With "-" a missing or non-numeric bound reads as 0.
        arg.start = LineNumber(ValPrefix, Trim(Mid(commandText, slash + 1, dash - slash - 1)),
                               u"the start line before the \"-\"", commandText);
        arg.end = LineNumber(ValPrefix, Trim(Mid(commandText, dash + 1)),
                             u"the end line after the \"-\"", commandText);
    }
    return arg;
}

std::size_t FindCr(std::string_view bytes) {
    return bytes.find('\r');
}

// memchr finds a CR's byte far faster than find goes through units; other
// units hold that byte too.
std::size_t FindCr(std::u16string_view units) {
    const char* const begin = reinterpret_cast<const char*>(units.data());
    const char* const end = begin + 2 * units.size();
    for (const char* p = begin; (p = static_cast<const char*>(std::memchr(p, '\r', end - p)));
         ++p) {
        if (const std::size_t at = (p - begin) / 2; units[at] == u'\r') return at;
    }
    return units.npos;
}

// Splits the file's text into lines as it arrives, block by block, and
// appends the selected ones to the request, each decoded on its own (by
// decode), as the file's lines would be read one at a time. A line ends at CR
// or CR LF; a lone LF is part of the line. Unit is a byte for Shift_JIS and
// UTF-8, where CR and LF never occur inside a character, and a UTF-16 unit
// for UTF-16, read as text already.
template <typename Unit, typename Decode>
class LineSelector {
public:
    using View = std::basic_string_view<Unit>;

    LineSelector(const FileArgument& arg, std::u16string& out, Decode decode)
        : arg_(arg), out_(out), decode_(decode) {}

    void Feed(View block) {
        // The LF of a CR LF whose CR closed the block before.
        if (afterCr_ && block.front() == '\n') block.remove_prefix(1);
        afterCr_ = false;
        while (!block.empty()) {
            if (PastSelection()) {
                // Past the selection lines are only counted: each CR ends one.
                const auto crs = std::count(block.begin(), block.end(), Unit('\r'));
                if (crs == 0) break;
                AddLines(crs - 1);
                block.remove_prefix(block.rfind(Unit('\r')));
            }
            const std::size_t cr = FindCr(block);
            if (cr == View::npos) break;
            EndLine(block.substr(0, cr));
            block.remove_prefix(cr + 1);
            afterCr_ = block.empty();
            if (block.starts_with(Unit('\n'))) block.remove_prefix(1);
        }
        if (!block.empty()) {
            // The line goes on in the next block.
            if (Selected()) pending_.append(block);
            inLine_ = true;
        }
    }

    // At the end of the file: a last line without a line end is a line; a
    // line end at the very end makes no extra one. Returns the line count.
    std::int32_t Finish() {
        if (inLine_) EndLine({});
        return static_cast<std::int32_t>(counter_);
    }

private:
    bool Selected() const { return arg_.start <= counter_ && counter_ <= arg_.end; }
    bool PastSelection() const { return counter_ > arg_.end || arg_.start > arg_.end; }

    // The current line ends with its last piece; earlier pieces, when the line
    // spans blocks, wait in pending_.
    void EndLine(View lastPiece) {
        if (Selected()) {
            if (pending_.empty()) {
                decode_(lastPiece, out_);
            } else {
                pending_.append(lastPiece);
                decode_(View(pending_), out_);
                pending_.clear();
                // A very long line's text is not kept for the lines after it.
                if (pending_.capacity() > kFileReadBlock) pending_.shrink_to_fit();
            }
            out_ += u"\\n";
        }
        AddLines(1);
        inLine_ = false;
    }

    void AddLines(std::int64_t lines) {
        counter_ += lines;
        if (counter_ > kMaxLineCount) {
            throw RuntimeFailure(FailureKind::Overflow, Quoted(arg_.fileName) + u" has more than " +
                                                            PlainNumber(kMaxLineCount) +
                                                            u" lines to count");
        }
    }

    const FileArgument& arg_;
    std::u16string& out_;
    Decode decode_;
    std::basic_string<Unit> pending_;  // a selected line begun in an earlier block
    std::int64_t counter_ = 0;
    bool inLine_ = false;   // the current line has begun
    bool afterCr_ = false;  // the last unit seen was a CR ending a line
};

// Reads the file through, skipping its first skip bytes (a byte-order mark),
// and hands each block to feed, for as long as feed returns true.
template <typename Feed>
void ReadThrough(InputFile& file, std::size_t skip, Feed feed) {
    const auto block = std::make_unique_for_overwrite<char[]>(kFileReadBlock);
    while (const std::size_t got = file.Read({block.get(), kFileReadBlock})) {
        const std::size_t skipped = std::min(skip, got);
        skip -= skipped;
        if (got > skipped && !feed(std::string_view(block.get() + skipped, got - skipped))) return;
    }
}

// Reads the file through and appends the selected lines; returns the number
// of lines in the file. The encoding is told first, in a pass of its own
// that most often ends within the first block: only a file that is UTF-8 or
// ASCII throughout is read twice.
std::int32_t AppendSelectedLines(Platform& platform, const FileArgument& arg, std::u16string& out) {
    EncodingDetector detector;
    ReadThrough(*platform.OpenForRead(arg.fileName), 0,
                [&](std::string_view b) { return !detector.Feed(b); });
    const FileEncoding encoding = detector.Encoding();
    const auto file = platform.OpenForRead(arg.fileName);
    if (const std::optional<CodePage> cp = CodePageOf(encoding, CodePage::ShiftJis)) {
        const auto decode = [&](std::string_view line, std::u16string& text) {
            platform.AppendDecoded(*cp, line, text);
        };
        LineSelector<char, decltype(decode)> selector(arg, out, decode);
        ReadThrough(*file, detector.MarkSize(), [&](std::string_view b) {
            selector.Feed(b);
            return true;
        });
        return selector.Finish();
    }
    // UTF-16. A range that cannot end before the file does (a file of n
    // units has at most n lines) takes every unit of it, and a line end's one
    // or two units become the two of "\n": the request needs at least that
    // room. Made at once, the request is not copied again and again as it
    // grows to the size of the file.
    if (const std::uint64_t units = file->Size() / 2;
        arg.start <= 0 && std::cmp_greater_equal(arg.end, units)) {
        // No more than the largest line number: a size_t in every build.
        out.reserve(out.size() + static_cast<std::size_t>(units) + kRequestTailRoom);
    }
    const auto append = [](std::u16string_view line, std::u16string& text) { text += line; };
    LineSelector<char16_t, decltype(append)> selector(arg, out, append);
    Utf16Reader reader(encoding);
    std::u16string units;
    ReadThrough(*file, detector.MarkSize(), [&](std::string_view bytes) {
        units.clear();
        reader.Append(bytes, units);
        if (!units.empty()) selector.Feed(units);
        return true;
    });
    if (const std::u16string_view last = reader.Finish(); !last.empty()) selector.Feed(last);
    return selector.Finish();
}

}  // namespace

std::u16string BuildFileRequest(Platform& platform, std::u16string_view commandText) {
    try {
        const FileArgument arg = ParseFileArgument(commandText);
        std::u16string request = NotificationHead(u"OnFileRead") + Reference(0, arg.fileName) +
                                 Reference(1, PlainNumber(arg.start)) +
                                 Reference(2, PlainNumber(arg.end)) + Reference(3, u"");
        // Only an existing normal file by its exact name is read: a wildcard
        // pattern or a directory is reported as not found.
        if (platform.FileExists(arg.fileName)) {
            const std::int32_t lines = AppendSelectedLines(platform, arg, request);
            request += Reference(4, PlainNumber(lines));
        } else {
            request += u"File(" + arg.namePart + u")NotFound";
        }
        request += NotificationTail(platform.OwnHwnd());  // in place: the request may be large
        return request;
    } catch (RuntimeFailure& failure) {
        failure.AddContext(u"FILE");
        throw;
    }
}

}  // namespace vek
