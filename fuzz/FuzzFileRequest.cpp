// Any file content and any FILE argument: the request's frame is always
// whole and its line count is that of a plain line splitter.

#include "FuzzInput.h"
#include "app/Failure.h"
#include "platform/fake/FakePlatform.h"
#include "request/FileRequest.h"
#include "text/Text.h"

using namespace vek;

namespace {

// Lines as sequential line input counts them: CR or CR LF ends a line; a
// last line without an end counts; a lone LF is inside a line.
std::int64_t ReferenceLineCount(std::string_view bytes) {
    std::int64_t lines = 0;
    bool inLine = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            ++lines;
            inLine = false;
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            inLine = true;
        }
    }
    return lines + (inLine ? 1 : 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t mode = input.Byte();
    FakePlatform fake(mode % 2 == 0 ? 932 : 1252);
    fake.readBlockLimit = mode >> 1;
    const std::u16string argument = input.Text();
    const std::string content = input.Rest();
    fake.AddFile(u"a.txt", content);

    std::u16string request;
    try {
        request = BuildFileRequest(fake, u"FILE#a.txt" + argument);
    } catch (const RuntimeFailure& f) {
        fuzz::Check(f.Kind() == FailureKind::TypeMismatch || f.Kind() == FailureKind::Overflow,
                    "a range fails only by type mismatch or overflow");
        return 0;
    }
    fuzz::Check(request.starts_with(u"NOTIFY SSTP/1.0\r\nSender: VEK\r\nEvent: OnFileRead\r\n"),
                "the notification's first lines");
    fuzz::Check(request.ends_with(u"\r\nSecurityLevel: local\r\nCharset: Shift_JIS"),
                "the notification's last lines");
    // Whether the argument left the name a.txt: the text before the first "/"
    // (a line break in it is part of the name, and of the request).
    const std::u16string command = u"FILE#a.txt" + argument;
    const std::u16string name = Trim(command.substr(5, command.find(u'/') - 5));
    if (fake.FileExists(name)) {
        const std::u16string count =
            u"\r\nReference4: " + PlainNumber(ReferenceLineCount(content)) + u"\r\nHWnd:";
        fuzz::Check(request.find(count) != std::u16string::npos, "Reference4 counts every line");
    }
    return 0;
}
