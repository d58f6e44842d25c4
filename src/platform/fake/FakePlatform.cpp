#include "platform/fake/FakePlatform.h"

#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "app/Failure.h"
#include "text/Text.h"

namespace vek {
namespace {

const char* IconvName(unsigned codePage) {
    switch (codePage) {
        case 932: return "CP932";
        case 1252: return "CP1252";
        case 65001: return "UTF-8";
    }
    throw std::invalid_argument("FakePlatform: unsupported code page");
}

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts as much as possible; returns false at an invalid or
    // incomplete sequence, with in pointing at it.
    bool Convert(const char*& in, std::size_t& inLeft, std::string& out) {
        char buffer[4096];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            std::size_t r = iconv(cd_, const_cast<char**>(&in), &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
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

FakePlatform::FakePlatform(unsigned ansiCodePage) : ansiCodePage_(ansiCodePage) {
    IconvName(ansiCodePage);
}

std::u16string FakePlatform::Key(std::u16string_view path) const {
    std::u16string full(path);
    bool absolute = (full.size() >= 2 && full[1] == u':') || StartsWith(full, u"\\");
    if (!absolute) full = currentDirectory + u"\\" + full;
    std::u16string key;
    std::size_t i = 0;
    while (i < full.size()) {
        if (StartsWith(std::u16string_view(full).substr(i), u"\\.\\")) {
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
    Iconv iconv("UTF-16LE", IconvName(number));
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    std::string utf16;
    while (!iconv.Convert(in, left, utf16)) {
        // Like Windows: undefined single bytes of 1252 stand for themselves,
        // an invalid sequence of 932 becomes the katakana middle dot.
        char16_t replacement = number == 1252 ? static_cast<unsigned char>(*in)
                               : number == 932 ? u'\u30FB'
                                               : u'\uFFFD';
        utf16 += static_cast<char>(replacement & 0xFF);
        utf16 += static_cast<char>(replacement >> 8);
        ++in;
        --left;
    }
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        out += static_cast<char16_t>(static_cast<unsigned char>(utf16[i]) |
                                     static_cast<unsigned char>(utf16[i + 1]) << 8);
    }
}

void FakePlatform::AppendEncoded(CodePage cp, std::u16string_view text, std::string& out,
                                 bool* lossy) const {
    Iconv iconv(IconvName(CodePageNumber(cp)), "UTF-16LE");
    std::string utf16;
    utf16.reserve(text.size() * 2);
    for (char16_t c : text) {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
    }
    const char* in = utf16.data();
    std::size_t left = utf16.size();
    if (lossy != nullptr) *lossy = false;
    while (!iconv.Convert(in, left, out)) {
        // Like Windows: each UTF-16 unit the code page lacks becomes one '?',
        // so a character beyond the BMP gives two.
        out += '?';
        if (lossy != nullptr) *lossy = true;
        std::size_t skip = 2;
        skip = std::min(skip, left);
        in += skip;
        left -= skip;
    }
}

void FakePlatform::SendCopyData(Hwnd target, std::uint32_t marker, std::span<const char> bytes) {
    sent.push_back({target, marker, std::string(bytes.begin(), bytes.end())});
}

void FakePlatform::ShowMessage(std::u16string_view text) { messages.emplace_back(text); }

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
