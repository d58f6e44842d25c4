#include "platform/fake/FakePlatform.h"

#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#include "app/Failure.h"
#include "text/Text.h"

namespace vek {
namespace {

const char* IconvName(unsigned codePage) {
    switch (codePage) {
        case 932:
            return "CP932";
        case 1252:
            return "CP1252";
        case 65001:
            return "UTF-8";
    }
    throw std::invalid_argument("FakePlatform: unsupported code page");
}

class MemoryInput : public InputFile {
public:
    MemoryInput(std::string bytes, std::size_t limit) : bytes_(std::move(bytes)), limit_(limit) {}
    std::size_t Read(std::span<char> buffer) override {
        std::size_t n = std::min(buffer.size(), bytes_.size() - at_);
        if (limit_ != 0) n = std::min(n, limit_);
        std::memcpy(buffer.data(), bytes_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    std::string bytes_;
    std::size_t at_ = 0;
    std::size_t limit_;
};

std::u16string FileFailure(std::u16string_view path, std::u16string_view why) {
    return u"'" + std::u16string(path) + u"': " + std::u16string(why);
}

}  // namespace

// One iconv descriptor, kept open for the life of the platform: opening one
// costs far more than converting a line.
class FakePlatform::Codec {
public:
    Codec(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    }
    ~Codec() { iconv_close(cd_); }
    Codec(const Codec&) = delete;
    Codec& operator=(const Codec&) = delete;

    // Converts as much as possible, handing the output to sink in pieces;
    // returns false at an invalid or incomplete sequence, with in pointing at it.
    template <typename Sink>
    bool Convert(const char*& in, std::size_t& inLeft, Sink&& sink) {
        // UTF-16 units, so that decoded text can be appended as it is.
        char16_t buffer[8192];
        while (inLeft > 0) {
            char* outPtr = reinterpret_cast<char*>(buffer);
            std::size_t outLeft = sizeof buffer;
            std::size_t r = iconv(cd_, const_cast<char**>(&in), &inLeft, &outPtr, &outLeft);
            sink(reinterpret_cast<const char*>(buffer),
                 static_cast<std::size_t>(outPtr - reinterpret_cast<char*>(buffer)));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
                return false;
            }
        }
        return true;
    }

private:
    iconv_t cd_;
};

namespace {

// UTF-16 in this machine's byte order, as char16_t holds it.
constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

}  // namespace

FakePlatform::FakePlatform(unsigned ansiCodePage) : ansiCodePage_(ansiCodePage) {
    IconvName(ansiCodePage);
}

FakePlatform::Codec& FakePlatform::CodecFor(unsigned codePage, bool decode) const {
    auto& codec = codecs_[{codePage, decode}];
    if (!codec) {
        codec = decode ? std::make_shared<Codec>(kUtf16, IconvName(codePage))
                       : std::make_shared<Codec>(IconvName(codePage), kUtf16);
    }
    return *codec;
}

std::u16string FakePlatform::Key(std::u16string_view path) const {
    std::u16string full(path);
    bool absolute = (full.size() >= 2 && full[1] == u':') || full.starts_with(u"\\");
    if (!absolute) full = currentDirectory + u"\\" + full;
    std::u16string key;
    std::size_t i = 0;
    while (i < full.size()) {
        if (std::u16string_view(full).substr(i).starts_with(u"\\.\\")) {
            i += 2;
            continue;
        }
        char16_t c = full[i++];
        key += (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
    }
    return key;
}

void FakePlatform::AddFile(std::u16string_view path, std::string bytes) {
    files_[Key(path)] = FakeFile{std::move(bytes)};
}

void FakePlatform::AddDirectory(std::u16string_view path) {
    FakeFile dir;
    dir.directory = true;
    files_[Key(path)] = dir;
}

FakeFile* FakePlatform::Find(std::u16string_view path) {
    auto it = files_.find(Key(path));
    return it == files_.end() ? nullptr : &it->second;
}

std::optional<std::string> FakePlatform::FileBytes(std::u16string_view path) {
    FakeFile* file = Find(path);
    if (file == nullptr || file->directory) return std::nullopt;
    return file->bytes;
}

bool FakePlatform::FileExists(std::u16string_view path) const {
    if (path.find_first_of(u"*?") != std::u16string_view::npos) return false;
    auto it = files_.find(Key(path));
    if (it == files_.end()) return false;
    const FakeFile& f = it->second;
    return !f.directory && !f.hidden && !f.system;
}

std::unique_ptr<InputFile> FakePlatform::OpenForRead(std::u16string_view path) {
    FakeFile* file = Find(path);
    if (file == nullptr || file->directory) {
        throw RuntimeFailure(FailureKind::FileError, FileFailure(path, u"file not found"));
    }
    if (file->locked) {
        throw RuntimeFailure(FailureKind::FileError,
                             FileFailure(path, u"the file is being used by another process"));
    }
    return std::make_unique<MemoryInput>(file->bytes, readBlockLimit);
}

void FakePlatform::ReplaceFileContent(std::u16string_view path, std::string_view bytes) {
    if (failWrites) {
        throw RuntimeFailure(FailureKind::FileError, FileFailure(path, u"access is denied"));
    }
    ++replaceCount;
    files_[Key(path)] = FakeFile{std::string(bytes)};
}

unsigned FakePlatform::CodePageNumber(CodePage cp) const {
    return cp == CodePage::Ansi ? ansiCodePage_ : static_cast<unsigned>(cp);
}

void FakePlatform::AppendDecoded(CodePage cp, std::string_view bytes, std::u16string& out) const {
    const unsigned number = CodePageNumber(cp);
    Codec& codec = CodecFor(number, true);
    auto sink = [&out](const char* units, std::size_t size) {
        out.append(reinterpret_cast<const char16_t*>(units), size / 2);
    };
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    while (!codec.Convert(in, left, sink)) {
        // Like Windows: undefined single bytes of 1252 stand for themselves,
        // an invalid sequence of 932 becomes the katakana middle dot.
        out += number == 1252  ? static_cast<char16_t>(static_cast<unsigned char>(*in))
               : number == 932 ? u'\u30FB'
                               : u'\uFFFD';
        ++in;
        --left;
    }
}

void FakePlatform::AppendEncoded(CodePage cp, std::u16string_view text, std::string& out,
                                 bool* lossy) const {
    Codec& codec = CodecFor(CodePageNumber(cp), false);
    auto sink = [&out](const char* bytes, std::size_t size) { out.append(bytes, size); };
    // Room for two bytes a unit, as much as Shift_JIS and 1252 ever take, so
    // that a long text is not copied again and again as it grows (Windows
    // sizes the output exactly before it converts).
    out.reserve(out.size() + text.size() * 2);
    const char* in = reinterpret_cast<const char*>(text.data());
    std::size_t left = text.size() * sizeof(char16_t);
    if (lossy != nullptr) *lossy = false;
    while (!codec.Convert(in, left, sink)) {
        // Like Windows: each UTF-16 unit the code page lacks becomes one '?',
        // so a character beyond the BMP gives two.
        out += '?';
        if (lossy != nullptr) *lossy = true;
        const std::size_t skip = std::min(sizeof(char16_t), left);
        in += skip;
        left -= skip;
    }
}

void FakePlatform::SendCopyData(Hwnd target, std::uint32_t marker, std::span<const char> bytes) {
    sent.push_back({target, marker, std::string(bytes.begin(), bytes.end())});
}

void FakePlatform::ShowMessage(std::u16string_view text) {
    messages.emplace_back(text);
}

std::optional<HostSnapshot> FakePlatform::ReadHostMemory(std::string_view name) {
    hostMemoryAsked.emplace_back(name);
    auto it = hostMemory.find(std::string(name));
    if (it == hostMemory.end()) return std::nullopt;
    return it->second;
}

void FakePlatform::PostDropFiles(Hwnd target, std::span<const std::uint8_t> block) {
    drops.push_back({target, std::vector<std::uint8_t>(block.begin(), block.end())});
}

}  // namespace vek
