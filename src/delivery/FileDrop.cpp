#include "delivery/FileDrop.h"

#include <algorithm>

#include "app/Failure.h"
#include "delivery/Delivery.h"
#include "text/Text.h"

namespace vek {
namespace {

void PutUint32(std::vector<std::uint8_t>& block, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        block[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

std::u16string DropPath(const Platform& platform, std::u16string_view commandText) {
    return platform.CurrentDirectory() + u"\\" + Mid(commandText, 6);
}

std::vector<std::uint8_t> BuildDropBlock(const Platform& platform, std::u16string_view path) {
    const std::string list = platform.EncodeExactly(CodePage::Ansi, path, u"DROP");
    // Two bytes a character was once enough for every ANSI code page; UTF-8
    // as the ANSI code page takes up to three.
    const std::size_t nominal = kDropHeaderSize + 2 * (path.size() + 2);
    const std::size_t needed = kDropHeaderSize + list.size() + 2;
    std::vector<std::uint8_t> block(std::max(nominal, needed), 0);
    PutUint32(block, 0, static_cast<std::uint32_t>(kDropHeaderSize));  // pFiles
    // pt.x, pt.y, fNC and fWide stay 0: no point, an ANSI list.
    std::copy(list.begin(), list.end(), block.begin() + kDropHeaderSize);
    return block;
}

void DropFile(Platform& platform, Hwnd target, std::u16string_view commandText) {
    const std::u16string path = DropPath(platform, commandText);
    if (!platform.FileExists(path)) return;
    if (!IsDeliverableTarget(target)) return;
    platform.PostDropFiles(target, BuildDropBlock(platform, path));
}

}  // namespace vek
