#include "delivery/FileDrop.h"

#include <algorithm>

namespace vek {

std::vector<std::uint8_t> BuildDropBlock(const Platform& platform, std::u16string_view path) {
    const std::string list = platform.EncodeExactly(CodePage::Ansi, path, u"DROP");
    // Two bytes a character was once enough for every ANSI code page; UTF-8
    // as the ANSI code page takes up to three.
    std::vector<std::uint8_t> block(
        std::max(kDropHeaderSize + 2 * (path.size() + 2), kDropHeaderSize + list.size() + 2), 0);
    block[0] = kDropHeaderSize;  // pFiles, little-endian; pt, fNC and fWide stay 0
    std::copy(list.begin(), list.end(), block.begin() + kDropHeaderSize);
    return block;
}

}  // namespace vek
