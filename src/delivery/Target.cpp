#include "delivery/Target.h"

#include <algorithm>
#include <array>
#include <optional>

#include "text/Encodings.h"
#include "text/Failure.h"
#include "text/Text.h"

namespace vek {
namespace {

// A bare name, in the current directory; every report names it so.
constexpr std::u16string_view kTargetFile = u"vek.ini";
constexpr std::u16string_view kHwndKeyEnd = u"hwnd\u0001";
// The size field in front of the host's entries, never read.
constexpr std::size_t kHostHeaderSize = 4;

// The first field of a line, as field input reads it: between double quotes,
// else up to a comma, without the blanks around it.
std::u16string_view FirstField(std::u16string_view text) {
    text = text.substr(0, text.find_first_of(u"\r\n"));
    text.remove_prefix(std::min(text.find_first_not_of(u" \t"), text.size()));
    if (text.starts_with(u'"')) return text.substr(1, text.find(u'"', 1) - 1);
    text = text.substr(0, text.find(u','));
    return text.substr(0, text.find_last_not_of(u" \t") + 1);
}

Hwnd HwndEntry(const Platform& platform, const HostSnapshot& snapshot) {
    // The header is skipped as bytes: one that is a lead byte would swallow
    // the first key's first character.
    const std::u16string text = platform.Decode(
        CodePage::Ansi,
        std::string_view(reinterpret_cast<const char*>(snapshot.data()), snapshot.size())
            .substr(kHostHeaderSize));
    const std::int64_t key = InStr(1, text, kHwndKeyEnd);
    if (key == 0) return 0;
    const std::int64_t value = key + static_cast<std::int64_t>(kHwndKeyEnd.size());
    const std::int64_t end = InStr(value, text, u"\r");
    if (end == 0) return 0;
    try {
        return ValPrefix(Mid(text, value, end - value));
    } catch (const RuntimeFailure&) {
        return 0;  // beyond 32 bits: the only failure ValPrefix has
    }
}

}  // namespace

Hwnd ReadTargetFile(Platform& platform) {
    if (!platform.FileExists(kTargetFile)) return 0;
    const auto file = platform.OpenForRead(kTargetFile);
    std::string bytes;  // up to the first line's end
    std::array<char, 4096> block;
    while (bytes.find_first_of("\r\n") == std::string::npos) {
        const std::size_t got = file->Read(block);
        if (got == 0) break;
        bytes.append(block.data(), got);
    }
    const ByteOrderMark mark = FindByteOrderMark(bytes);
    const std::string_view body = std::string_view(bytes).substr(mark.size);
    std::u16string text;
    if (const std::optional<CodePage> cp = CodePageOf(mark.encoding, CodePage::Ansi)) {
        text = platform.Decode(*cp, body);
    } else {
        Utf16Reader(mark.encoding).Read(body, text);
    }
    try {
        return ValPrefix(Trim(FirstField(text)));
    } catch (RuntimeFailure& failure) {
        failure.AddContext(u"The target window handle in " + std::u16string(kTargetFile));
        throw;
    }
}

void WriteTargetFile(Platform& platform, std::u16string_view argument) {
    // A copy with '?' for a character the code page lacks would name another window.
    const std::optional<std::string> bytes = platform.EncodeExactly(CodePage::Ansi, argument);
    if (!bytes) {
        throw RuntimeFailure(FailureKind::FileError,
                             Quoted(argument) + u" cannot be written in the system's code page")
            .AddContext(u"INIT");
    }
    platform.ReplaceFileContent(kTargetFile, *bytes + "\r\n");
}

HostLookup FindHostHwnd(Platform& platform) {
    HostLookup found;
    for (std::string_view name : {"enbryo", "Sakura"}) {
        HostSnapshot snapshot{};
        const HostMemory memory = platform.ReadHostMemory(name, snapshot);
        const Hwnd window = memory == HostMemory::Read ? HwndEntry(platform, snapshot) : 0;
        if (IsLiveTarget(platform, window)) return {window, found.refused};
        if (memory == HostMemory::Refused && found.refused.empty()) {
            found.refused.assign(name.begin(), name.end());  // ASCII
        }
    }
    return found;
}

bool IsLiveTarget(const Platform& platform, Hwnd target) {
    return IsWindowTarget(target) && platform.WindowExists(target);
}

}  // namespace vek
