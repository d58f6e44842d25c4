#include "delivery/HostLookup.h"

#include "app/Failure.h"
#include "text/Text.h"

namespace vek {
namespace {

// The size field in front of the entries; the host's business, never read.
constexpr std::size_t kHeaderSize = 4;

constexpr std::u16string_view kHwndKeyEnd = u"hwnd\u0001";

}  // namespace

Hwnd HostHwndFromText(std::u16string_view text) {
    const std::int64_t key = InStr(1, text, kHwndKeyEnd);
    if (key == 0) return 0;
    const std::int64_t value = key + static_cast<std::int64_t>(kHwndKeyEnd.size());
    const std::int64_t end = InStr(value, text, u"\r");
    if (end == 0) return 0;
    try {
        return ValPrefix(Mid(text, value, end - value));
    } catch (const RuntimeFailure& failure) {
        if (failure.Kind() != FailureKind::Overflow) throw;
        return 0;
    }
}

Hwnd HostHwndFromSnapshot(const Platform& platform, const HostSnapshot& snapshot) {
    // The header is skipped as bytes, so that a header byte that happens to
    // be a double-byte lead byte cannot swallow the first key's first
    // character. The rest is decoded on its own: a lead byte in the last byte
    // ends the text as an incomplete character and pairs with nothing beyond.
    const std::string_view bytes(reinterpret_cast<const char*>(snapshot.data()) + kHeaderSize,
                                 snapshot.size() - kHeaderSize);
    return HostHwndFromText(platform.Decode(CodePage::Ansi, bytes));
}

Hwnd LookUpHostHwnd(Platform& platform) {
    for (std::string_view name : kHostMemoryNames) {
        if (auto snapshot = platform.ReadHostMemory(name)) {
            return HostHwndFromSnapshot(platform, *snapshot);
        }
    }
    return 0;
}

}  // namespace vek
