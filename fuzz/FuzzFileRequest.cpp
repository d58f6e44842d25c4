// Any file content and any FILE argument: the request's frame is always whole
// and its line count is that of a plain line splitter.
//
// Input: a mode byte (code page, read block limit), the argument as UTF-16
// units up to a unit 0xFFFF, then the file's bytes.

#include <algorithm>
#include <cstring>

#include "FakePlatform.h"
#include "request/FileRequest.h"

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
    } catch (const RuntimeFailure& failure) {
        if (failure.Kind() == FailureKind::TypeMismatch ||
            failure.Kind() == FailureKind::Overflow) {
            return 0;
        }
        std::abort();  // a range fails only as a type mismatch or an overflow
    }
    if (!request.starts_with(u"NOTIFY SSTP/1.0\r\nSender: VEK\r\nEvent: OnFileRead\r\n") ||
        !request.ends_with(u"\r\nSecurityLevel: local\r\nCharset: Shift_JIS")) {
        std::abort();
    }
    // Lines as line input counts them: each CR (or CR LF) ends one, a lone LF
    // is inside a line, and a last line without an end counts too.
    const std::int64_t lines = std::count(input.begin(), input.end(), '\r') +
                               !(input.empty() || input.ends_with('\r') || input.ends_with("\r\n"));
    // When the name before the first "/" is still a.txt, Reference4 counts every line.
    if (fake.FileExists(Trim(command.substr(5, command.find(u'/') - 5))) &&
        request.find(u"\r\nReference4: " + PlainNumber(lines) + u"\r\nHWnd:") ==
            std::u16string::npos) {
        std::abort();
    }
    return 0;
}
