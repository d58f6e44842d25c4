#pragma once
// Reading a fuzzer's bytes as the pieces a target needs. Texts are taken as
// UTF-16 code units, so that every unit (a lone surrogate too) can occur.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace vek::fuzz {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return at_ >= size_; }

    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

    // A text of UTF-16 units up to the next unit 0xFFFF or the end.
    std::u16string Text() {
        std::u16string text;
        while (at_ + 1 < size_) {
            auto unit = static_cast<char16_t>(data_[at_] | data_[at_ + 1] << 8);
            at_ += 2;
            if (unit == 0xFFFF) break;
            text += unit;
        }
        if (at_ + 1 == size_) ++at_;
        return text;
    }

    // All the bytes that are left.
    std::string Rest() {
        std::string rest(reinterpret_cast<const char*>(data_ + at_), size_ - at_);
        at_ = size_;
        return rest;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Stops the run with a message: an invariant did not hold.
[[noreturn]] inline void Broken(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline void Check(bool condition, const char* what) {
    if (!condition) Broken(what);
}

}  // namespace vek::fuzz
