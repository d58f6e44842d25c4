#include "delivery/FileDrop.h"

#include <algorithm>

namespace vek {

std::vector<std::uint8_t> BuildDropBlock(const Codec& codec, std::u16string_view path) {
    if (const std::optional<std::string> list = codec.EncodeExactly(CodePage::Ansi, path)) {
        // The size of the wide list, or more: UTF-8 takes up to three bytes a character.
        std::vector<std::uint8_t> block(
            std::max(kDropHeaderSize + 2 * (path.size() + 2), kDropHeaderSize + list->size() + 2),
            0);
        block[0] = kDropHeaderSize;  // pFiles, little-endian; pt, fNC and fWide stay 0
        std::copy(list->begin(), list->end(), block.begin() + kDropHeaderSize);
        return block;
    }
    std::vector<std::uint8_t> block(kDropHeaderSize, 0);
    block[0] = kDropHeaderSize;
    block[16] = 1;  // fWide
    for (const char16_t c : path) {
        block.insert(block.end(),
                     {static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>(c >> 8)});
    }
    block.resize(block.size() + 4, 0);
    return block;
}

}  // namespace vek
