#include "FakePlatform.h"

#include <errno.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace vek {
namespace {

struct MemoryInput : InputFile {
    MemoryInput(FakeFile bytes, std::size_t readLimit)
        : size(bytes.bytes.size() + bytes.crs), file(std::move(bytes)), limit(readLimit) {}
    std::size_t Read(std::span<char> buffer) override {
        std::size_t n = file.bytes.copy(buffer.data(), std::min(buffer.size(), limit), at);
        at += n;
        if (n == 0) {  // past the bytes, the CRs
            n = static_cast<std::size_t>(std::min<std::uint64_t>({buffer.size(), limit, file.crs}));
            std::memset(buffer.data(), '\r', n);
            file.crs -= n;
        }
        return n;
    }
    std::uint64_t Size() const override { return size; }
    std::uint64_t size;
    FakeFile file;
    std::size_t limit, at = 0;
};

// Appends in converted to out, and returns whether a sequence did not convert: each becomes standIn
// and takes a unit, or in code page 932, as in Windows, a lead byte and the next byte but NUL.
bool Convert(iconv_t cd, std::string_view in, std::string& out, std::string_view standIn,
             std::size_t unit, bool shiftJis = false) {
    bool lossy = false;
    char* next = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buffer[16384];
    while (left > 0) {
        char* end = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t result = iconv(cd, &next, &left, &end, &room);
        out.append(buffer, static_cast<std::size_t>(end - buffer));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            out += standIn;
            const auto lead = static_cast<unsigned char>(*next);
            const bool pair = shiftJis && left >= 2 && next[1] != '\0' &&
                              ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC));
            const std::size_t skip = std::min(left, pair ? 2 : unit);
            next += skip;
            left -= skip;
            lossy = true;
        }
    }
    return lossy;
}

}  // namespace

std::u16string FakePlatform::Key(std::u16string_view path) const {
    std::u16string full(path);
    if (!(full.size() >= 2 && full[1] == u':') && !full.starts_with(u"\\"))
        full = currentDirectory + u"\\" + full;
    // A drive's colon anywhere but after its letter makes a name no volume holds.
    if (full.find(u':', 2) != std::u16string::npos) return {};
    // As GetFullPathName: ".\" goes, and a run of separators after the root is one.
    for (std::size_t at; (at = full.find(u"\\.\\")) != std::u16string::npos;) full.erase(at, 2);
    for (std::size_t at; (at = full.find(u"\\\\", 1)) != std::u16string::npos;) full.erase(at, 1);
    return full;
}

FakeFile& FakePlatform::AddFile(std::u16string_view path, std::string bytes) {
    const std::u16string key = Key(path);
    if (key.empty()) throw std::invalid_argument("no volume can hold a file at this path");
    return files_[key] = FakeFile{std::move(bytes)};
}

std::unique_ptr<InputFile> FakePlatform::OpenForRead(std::u16string_view path) {
    if (outOfMemoryOnOpen) throw std::bad_alloc();
    const auto it = files_.find(Key(path));
    if (it == files_.end() || it->second.locked) {
        const std::uint32_t error = it == files_.end() ? kFileNotFound : kSharingViolation;
        throw RuntimeFailure(SystemFailure{Operation::Open, error, std::u16string(path)});
    }
    return std::make_unique<MemoryInput>(it->second, readBlockLimit ? readBlockLimit : SIZE_MAX);
}

iconv_t FakePlatform::Converter(CodePage cp, bool decode) const {
    const unsigned number = Number(cp);
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
    std::string units;
    // As Windows has it; what code page 1252 puts there, the core never reads.
    const bool utf8 = Number(cp) == 65001;
    Convert(Converter(cp, true), bytes, units,
            {reinterpret_cast<const char*>(utf8 ? u"\uFFFD" : u"\u30FB"), 2}, 1, Number(cp) == 932);
    out.append(reinterpret_cast<const char16_t*>(units.data()), units.size() / 2);
}

const std::vector<bool>& FakePlatform::LookAlikes(CodePage cp) const {
    // The same for every instance; found once, as it takes some 100,000 conversions.
    static std::map<unsigned, std::vector<bool>> byCodePage;
    auto& lookAlikes = byCodePage[Number(cp)];
    if (!lookAlikes.empty()) return lookAlikes;
    lookAlikes.resize(0x10000);
    for (char32_t c = 0; c < 0x10000; ++c) {
        const char16_t unit = static_cast<char16_t>(c);
        const std::string_view in(reinterpret_cast<const char*>(&unit), 2);
        std::string bytes, back;
        if ((c >= 0xD800 && c < 0xE000) || Convert(Converter(cp, false), in, bytes, "", 2))
            continue;
        Convert(Converter(cp, true), bytes, back, "", 1);
        lookAlikes[c] = back != in;
    }
    return lookAlikes;
}

std::string FakePlatform::Encode(CodePage cp, std::u16string_view text) const {
    // iconv maps some characters to another's bytes (U+301C to U+FF5E's); Windows lacks them.
    const bool utf8 = Number(cp) == 65001;
    std::u16string exact;
    if (!utf8) {
        const std::vector<bool>& lookAlikes = LookAlikes(cp);
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (!lookAlikes[text[i]]) continue;
            if (exact.empty()) exact = text;
            exact[i] = char16_t{0xD800};  // lacking in every code page
        }
        if (!exact.empty()) text = exact;
    }
    // As Windows does it: '?' for each unit the code page lacks, U+FFFD for a lone surrogate.
    const std::string_view units(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    std::string out;
    Convert(Converter(cp, false), units, out, utf8 ? "\xEF\xBF\xBD" : "?", 2);
    return out;
}

}  // namespace vek
