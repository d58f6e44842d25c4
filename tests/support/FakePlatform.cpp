#include "FakePlatform.h"

#include <errno.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace vek {
namespace {

class MemoryInput : public InputFile {
public:
    MemoryInput(std::string bytes, std::size_t limit) : bytes_(std::move(bytes)), limit_(limit) {}
    std::size_t Read(std::span<char> buffer) override {
        const std::size_t n = std::min({buffer.size(), bytes_.size() - at_, limit_});
        std::memcpy(buffer.data(), bytes_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    std::string bytes_;
    std::size_t limit_;
    std::size_t at_ = 0;
};

// Converts all of in, appending to out. Where a sequence does not convert,
// bad(in) appends what stands for it and returns how many bytes it takes.
template <typename Bad>
bool Convert(iconv_t cd, std::string_view in, std::string& out, Bad bad) {
    bool lossy = false;
    char* from = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buffer[16384];
    while (left > 0) {
        char* to = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t result = iconv(cd, &from, &left, &to, &room);
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            const std::size_t skip = std::min(left, bad(std::string_view(from, left)));
            from += skip;
            left -= skip;
            lossy = true;
        }
    }
    return lossy;
}

}  // namespace

std::u16string FakePlatform::Key(std::u16string_view path) const {
    std::u16string full(path);
    if (!(full.size() >= 2 && full[1] == u':') && !full.starts_with(u"\\")) {
        full = currentDirectory + u"\\" + full;
    }
    for (std::size_t at; (at = full.find(u"\\.\\")) != std::u16string::npos;) full.erase(at, 2);
    for (char16_t& c : full) c = c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c;
    return full;
}

FakeFile& FakePlatform::AddFile(std::u16string_view path, std::string bytes) {
    return files_[Key(path)] = FakeFile{std::move(bytes)};
}

std::string* FakePlatform::FileBytes(std::u16string_view path) {
    const auto it = files_.find(Key(path));
    return it == files_.end() ? nullptr : &it->second.bytes;
}

bool FakePlatform::FileExists(std::u16string_view path) const {
    const auto it = files_.find(Key(path));
    return path.find_first_of(u"*?") == std::u16string_view::npos && it != files_.end() &&
           !it->second.directory && !it->second.hidden;
}

std::unique_ptr<InputFile> FakePlatform::OpenForRead(std::u16string_view path) {
    const auto it = files_.find(Key(path));
    if (it == files_.end() || it->second.directory || it->second.locked) {
        throw RuntimeFailure(FailureKind::FileError, u"Could not open " + Quoted(path));
    }
    return std::make_unique<MemoryInput>(it->second.bytes,
                                         readBlockLimit ? readBlockLimit : SIZE_MAX);
}

void FakePlatform::ReplaceFileContent(std::u16string_view path, std::string_view bytes) {
    if (failWrites)
        throw RuntimeFailure(FailureKind::FileError, u"Could not write " + Quoted(path));
    AddFile(path, std::string(bytes));
}

std::optional<HostSnapshot> FakePlatform::ReadHostMemory(std::string_view name) {
    const auto it = hostMemory.find(name);
    if (it == hostMemory.end()) return std::nullopt;
    return it->second;
}

iconv_t FakePlatform::Converter(CodePage cp, bool decode) const {
    const unsigned number = cp == CodePage::Ansi ? ansiCodePage_ : static_cast<unsigned>(cp);
    auto& converter = converters_[{number, decode}];
    if (!converter) {
        const char* utf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
        const char* name = number == 932 ? "CP932" : number == 1252 ? "CP1252" : "UTF-8";
        converter = {iconv_open(decode ? utf16 : name, decode ? name : utf16),
                     [](void* cd) { iconv_close(static_cast<iconv_t>(cd)); }};
    }
    return static_cast<iconv_t>(converter.get());
}

void FakePlatform::AppendDecoded(CodePage cp, std::string_view bytes, std::u16string& out) const {
    decodedBytes += bytes.size();
    const bool western = cp == CodePage::Ansi && ansiCodePage_ == 1252;
    const bool japanese =
        cp == CodePage::ShiftJis || (cp == CodePage::Ansi && ansiCodePage_ == 932);
    std::string units;
    // As Windows does it: an undefined byte of 1252 stands for itself, an
    // invalid sequence of 932 becomes the katakana middle dot.
    Convert(Converter(cp, true), bytes, units, [&](std::string_view rest) {
        const char16_t unit = western    ? static_cast<unsigned char>(rest[0])
                              : japanese ? 0x30FB
                                         : 0xFFFD;
        units.append(reinterpret_cast<const char*>(&unit), 2);
        return std::size_t{1};
    });
    out.append(reinterpret_cast<const char16_t*>(units.data()), units.size() / 2);
}

void FakePlatform::AppendEncoded(CodePage cp, std::u16string_view text, std::string& out,
                                 bool* lossy) const {
    // As Windows does it: each UTF-16 unit the code page lacks becomes one '?'.
    const bool lost =
        Convert(Converter(cp, false), {reinterpret_cast<const char*>(text.data()), text.size() * 2},
                out, [&](std::string_view) {
                    out += '?';
                    return std::size_t{2};
                });
    if (lossy != nullptr) *lossy = lost;
}

}  // namespace vek
