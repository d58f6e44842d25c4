// Any vek.ini content: a target value or an overflow report, never more.

#include "FuzzInput.h"
#include "app/Failure.h"
#include "app/TargetFile.h"
#include "platform/fake/FakePlatform.h"

using namespace vek;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t mode = input.Byte();
    FakePlatform fake(mode % 3 == 0 ? 932 : mode % 3 == 1 ? 1252 : 65001);
    fake.readBlockLimit = mode >> 4;
    fake.AddFile(u"vek.ini", input.Rest());
    try {
        ReadTargetFile(fake);
    } catch (const RuntimeFailure& f) {
        fuzz::Check(f.Kind() == FailureKind::Overflow, "vek.ini fails only by overflow");
        fuzz::Check(f.Report().find(u"vek.ini") != std::u16string::npos, "report names vek.ini");
    }
    return 0;
}
