// Any path through the file-drop block: the block is as the shell reads it,
// and big enough for what is in it.

#include <cstring>

#include "FuzzInput.h"
#include "app/Failure.h"
#include "delivery/FileDrop.h"
#include "platform/fake/FakePlatform.h"

using namespace vek;

namespace {

std::uint32_t Field(const std::vector<std::uint8_t>& block, std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, block.data() + at, 4);
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t mode = input.Byte();
    FakePlatform fake(mode % 3 == 0 ? 932 : mode % 3 == 1 ? 1252 : 65001);
    const std::u16string path = input.Text();
    std::vector<std::uint8_t> block;
    try {
        block = BuildDropBlock(fake, path);
    } catch (const RuntimeFailure& f) {
        bool lossy = false;
        fake.Encode(CodePage::Ansi, path, &lossy);
        fuzz::Check(f.Kind() == FailureKind::FileError && lossy,
                    "only a path the code page cannot write is refused");
        return 0;
    }
    const std::string bytes = fake.Encode(CodePage::Ansi, path);
    fuzz::Check(block.size() >= kDropHeaderSize + 2 * (path.size() + 2), "the block's size");
    fuzz::Check(block.size() >= kDropHeaderSize + bytes.size() + 2, "the list fits the block");
    fuzz::Check(Field(block, 0) == 20 && Field(block, 4) == 0 && Field(block, 8) == 0 &&
                    Field(block, 12) == 0 && Field(block, 16) == 0,
                "the header");
    fuzz::Check(std::memcmp(block.data() + kDropHeaderSize, bytes.data(), bytes.size()) == 0,
                "the path's bytes");
    fuzz::Check(block[kDropHeaderSize + bytes.size()] == 0 &&
                    block[kDropHeaderSize + bytes.size() + 1] == 0,
                "both terminators");
    return 0;
}
