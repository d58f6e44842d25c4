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
    const std::int64_t nameEnd = slash == 0 ? std::ssize(commandText) + 1 : slash;
    // Checked before the range: that is what is wrong with 'FILE/x'.
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

// Splits the text into lines as it arrives and appends the selected ones,
// each decoded on its own, as line input reads them. A line ends at CR or CR
// LF; a lone LF is part of it. Unit is a byte where CR and LF are never part
// of a character (Shift_JIS, UTF-8), else a UTF-16 unit.
template <typename Unit, typename Decode>
class LineSelector {
public:
    using View = std::basic_string_view<Unit>;

    LineSelector(const FileArgument& arg, std::u16string& out, Decode decode)
        : arg_(arg), out_(out), decode_(decode) {}

    void Feed(View block) {
        if (block.empty()) return;
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
        if (!block.empty()) {  // the line goes on in the next block
            if (Selected()) pending_.append(block);
            inLine_ = true;
        }
    }

    // The line count; a last line without a line end counts.
    std::int32_t Finish() {
        if (inLine_) EndLine({});
        return static_cast<std::int32_t>(counter_);
    }

private:
    bool Selected() const { return arg_.start <= counter_ && counter_ <= arg_.end; }
    bool PastSelection() const { return counter_ > arg_.end || arg_.start > arg_.end; }

    void EndLine(View lastPiece) {
        if (Selected()) {
            if (pending_.empty()) {
                decode_(lastPiece, out_);
            } else {
                pending_.append(lastPiece);
                decode_(View(pending_), out_);
                pending_.clear();
                // A long line's room is not kept for the lines after it.
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
    bool inLine_ = false;
    bool afterCr_ = false;  // a CR ended the block before
};

// Hands feed each block after the first skip bytes, while it returns true.
template <typename Feed>
void ReadThrough(InputFile& file, std::size_t skip, Feed feed) {
    const auto block = std::make_unique_for_overwrite<char[]>(kFileReadBlock);
    while (const std::size_t got = file.Read({block.get(), kFileReadBlock})) {
        const std::size_t skipped = std::min(skip, got);
        skip -= skipped;
        if (got > skipped && !feed(std::string_view(block.get() + skipped, got - skipped))) return;
    }
}

// Appends the selected lines and returns the line count. The encoding is told
// in a pass of its own, which most often ends within the first block.
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
    // UTF-16. A range that takes every line (n units make n lines at most)
    // takes at least every unit: room made at once is not copied as it grows.
    if (const std::uint64_t units = file->Size() / 2;
        arg.start <= 0 && std::cmp_greater_equal(arg.end, units)) {
        out.reserve(out.size() + static_cast<std::size_t>(units) + 128);  // + the closing lines
    }
    const auto append = [](std::u16string_view line, std::u16string& text) { text += line; };
    LineSelector<char16_t, decltype(append)> selector(arg, out, append);
    Utf16Reader reader(encoding);
    std::u16string units;
    ReadThrough(*file, detector.MarkSize(), [&](std::string_view bytes) {
        reader.Read(bytes, units);
        selector.Feed(units);
        return true;
    });
    selector.Feed(reader.Finish());
    return selector.Finish();
}

}  // namespace

std::u16string BuildFileRequest(Platform& platform, std::u16string_view commandText) {
    try {
        const FileArgument arg = ParseFileArgument(commandText);
        std::u16string request = NotificationHead(u"OnFileRead") + Reference(0, arg.fileName) +
                                 Reference(1, PlainNumber(arg.start)) +
                                 Reference(2, PlainNumber(arg.end)) + Reference(3, u"");
        if (platform.FileExists(arg.fileName)) {
            const std::int32_t lines = AppendSelectedLines(platform, arg, request);
            request += Reference(4, PlainNumber(lines));
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
