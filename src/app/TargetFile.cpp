#include "app/TargetFile.h"

#include <array>

#include "app/Failure.h"
#include "text/Text.h"

namespace vek {

std::u16string FirstField(std::u16string_view text) {
    std::size_t lineEnd = text.find_first_of(u"\r\n");
    if (lineEnd != std::u16string_view::npos) text = text.substr(0, lineEnd);
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    if (i < text.size() && text[i] == u'"') {
        std::size_t close = text.find(u'"', i + 1);
        std::size_t end = close == std::u16string_view::npos ? text.size() : close;
        return std::u16string(text.substr(i + 1, end - i - 1));
    }
    std::size_t end = text.find(u',', i);
    if (end == std::u16string_view::npos) end = text.size();
    while (end > i && (text[end - 1] == u' ' || text[end - 1] == u'\t')) --end;
    return std::u16string(text.substr(i, end - i));
}

Hwnd TargetFromFileStart(const Platform& platform, std::string_view bytes) {
    std::u16string text;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        text = FromUtf8(bytes.substr(3));
    } else if (bytes.starts_with("\xFF\xFE")) {
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8);
        }
    } else {
        platform.AppendDecoded(CodePage::Ansi, bytes, text);
    }
    std::u16string field = Trim(FirstField(text));
    try {
        return ValPrefix(field);
    } catch (RuntimeFailure& failure) {
        failure.AddContext(u"The target window handle in vek.ini");
        throw;
    }
}

Hwnd ReadTargetFile(Platform& platform) {
    if (!platform.FileExists(kTargetFileName)) return 0;
    auto file = platform.OpenForRead(u".\\vek.ini");
    // Only the first line matters; stop reading once its end has been seen.
    std::string bytes;
    std::array<char, 4096> block;
    for (;;) {
        std::size_t got = file->Read(block);
        if (got == 0) break;
        bytes.append(block.data(), got);
        if (bytes.find_first_of("\r\n") != std::string::npos) break;
    }
    return TargetFromFileStart(platform, bytes);
}

std::string TargetFileBytes(const Platform& platform, std::u16string_view argument) {
    std::string bytes = platform.EncodeExactly(CodePage::Ansi, argument, u"INIT");
    bytes += "\r\n";
    return bytes;
}

}  // namespace vek
