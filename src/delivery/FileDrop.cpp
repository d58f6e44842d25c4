#include "delivery/FileDrop.h"

#include <algorithm>

namespace vek {

std::vector<std::uint8_t> BuildDropBlock(const Platform& platform, std::u16string_view path) {
    bool lossy = false;
    const std::string list = platform.Encode(CodePage::Ansi, path, &lossy);
    // The round trip also catches what a code page that reports no loss
    // (UTF-8 as the ANSI code page) could not hold: a lone surrogate.
    if (!lossy && platform.Decode(CodePage::Ansi, list) == path) {
        // Two bytes a character was once enough for every ANSI code page;
        // UTF-8 as the ANSI code page takes up to three.
        std::vector<std::uint8_t> block(std::max(kDropHeaderSize + 2 * (path.size() + 2),
                                                 kDropHeaderSize + list.size() + 2),
                                        0);
        block[0] = kDropHeaderSize;  // pFiles, little-endian; pt, fNC and fWide stay 0
        std::copy(list.begin(), list.end(), block.begin() + kDropHeaderSize);
        return block;
    }
    // A name the ANSI code page cannot hold goes in a wide list: UTF-16
    // little-endian, with the path's and the list's terminating zero units.
    std::vector<std::uint8_t> block(kDropHeaderSize + 2 * (path.size() + 2), 0);
    block[0] = kDropHeaderSize;
    block[16] = 1;  // fWide
    for (std::size_t i = 0; i < path.size(); ++i) {
        block[kDropHeaderSize + 2 * i] = static_cast<std::uint8_t>(path[i] & 0xFF);
        block[kDropHeaderSize + 2 * i + 1] = static_cast<std::uint8_t>(path[i] >> 8);
    }
    return block;
}

}  // namespace vek
