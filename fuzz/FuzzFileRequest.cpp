// Any file content and any FILE argument: the request's frame is always whole, its line count is
// that of a plain line splitter in the file's units, and its bytes as they go out read back, by
// their Charset line, as the request.
// Input: a mode byte (code page, read block limit), the argument as UTF-16 units up to a unit
// 0xFFFF, then the file's bytes.

#include <algorithm>
#include <bit>
#include <cstring>

#include "FakePlatform.h"
#include "request/FileRequest.h"
#include "request/Request.h"
#include "text/Encodings.h"

using namespace vek;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::uint8_t mode = input.empty() ? 0 : static_cast<std::uint8_t>(input[0]);
    input.remove_prefix(std::min<std::size_t>(1, input.size()));
    std::u16string argument;
    while (input.size() >= 2) {
        char16_t unit;
        std::memcpy(&unit, input.data(), 2);
        input.remove_prefix(2);
        if (unit == 0xFFFF) break;
        argument += unit;
    }
    FakePlatform fake(mode % 2 == 0 ? 932 : 1252);
    fake.readBlockLimit = mode >> 1;
    fake.AddFile(u"a.txt", std::string(input));

    const std::u16string command = u"FILE#a.txt" + argument;
    std::u16string request;
    try {
        request = BuildFileRequest(fake, command);
    } catch (const RuntimeFailure& failure) {  // a range fails only as a type mismatch or overflow
        if (failure.Kind() == FailureKind::TypeMismatch || failure.Kind() == FailureKind::Overflow)
            return 0;
        std::abort();
    }
    if (!request.starts_with(u"NOTIFY SSTP/1.0\r\nSender: VEK\r\nEvent: OnFileRead\r\n") ||
        !request.ends_with(u"\r\nSecurityLevel: local\r\nCharset: Shift_JIS")) {
        std::abort();
    }
    // Lines as line input counts them: each CR (or CR LF) ends one, a lone LF is inside a line, and
    // a last line without an end counts too. A UTF-8 mark is no line; after a UTF-16 mark lines are
    // counted in units, an odd last byte one more.
    const auto count = [](auto text) -> std::int64_t {
        return std::count(text.begin(), text.end(), '\r') +
               !(text.empty() || text.back() == '\r' ||
                 (text.back() == '\n' && text.size() >= 2 && text[text.size() - 2] == '\r'));
    };
    const bool big = input.starts_with("\xFE\xFF"), utf16 = big || input.starts_with("\xFF\xFE");
    std::u16string units;
    for (std::size_t i = 2; utf16 && i < input.size(); i += 2) {
        const auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(input[at]); };
        units += i + 1 == input.size() ? u'\uFFFD'
                 : big                 ? char16_t(byte(i) << 8 | byte(i + 1))
                                       : char16_t(byte(i + 1) << 8 | byte(i));
    }
    const std::int64_t lines = utf16
                                   ? count(std::u16string_view(units))
                                   : count(input.substr(input.starts_with("\xEF\xBB\xBF") ? 3 : 0));
    // When the name before the first "/" is still a.txt, Reference4 counts every line.
    if (fake.FileExists(Trim(command.substr(5, command.find(u'/') - 5))) &&
        request.find(u"\r\nReference4: " + PlainNumber(lines) + u"\r\nHWnd:") == request.npos) {
        std::abort();
    }
    // In Shift_JIS, or in UTF-8 with the Charset line saying so; either reads back as the request,
    // but for a lone surrogate of the argument, which no encoding holds: UTF-8 writes it as U+FFFD.
    std::u16string sent = request;
    const std::string bytes = EncodeRequest(fake, sent);
    const bool utf8 = sent != request;
    std::u16string readBack;
    Utf16Reader reader(std::endian::native == std::endian::big ? FileEncoding::Utf16Be
                                                               : FileEncoding::Utf16Le);
    reader.Read({reinterpret_cast<const char*>(sent.data()), 2 * sent.size()}, readBack);
    readBack += reader.Finish();
    if ((utf8 && sent != request.substr(0, request.rfind(u"Shift_JIS")) + u"UTF-8") ||
        fake.Decode(utf8 ? CodePage::Utf8 : CodePage::ShiftJis, bytes) != readBack) {
        std::abort();
    }
    return 0;
}
