// The number conversions on any text: a value or the documented failure.

#include <optional>

#include "FuzzInput.h"
#include "app/Failure.h"
#include "text/Text.h"

using namespace vek;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::u16string text = input.Text();

    std::optional<std::int32_t> prefix;
    try {
        prefix = ValPrefix(text);
    } catch (const RuntimeFailure& f) {
        fuzz::Check(f.Kind() == FailureKind::Overflow, "ValPrefix fails only by overflow");
    }
    std::optional<std::int32_t> strict;
    try {
        strict = ValStrict(text);
    } catch (const RuntimeFailure& f) {
        fuzz::Check(f.Kind() == FailureKind::Overflow || f.Kind() == FailureKind::TypeMismatch,
                    "ValStrict fails only by overflow or type mismatch");
    }
    // A text the strict form takes whole, without digit-group separators, is
    // read the same by the prefix form.
    if (strict && text.find(u',') == std::u16string::npos) {
        fuzz::Check(prefix.has_value() && *prefix == *strict, "strict and prefix forms agree");
    }
    // The padded form reads back as the same number.
    if (prefix) {
        fuzz::Check(ValStrict(PaddedNumber(*prefix)) == *prefix, "padded form reads back");
        fuzz::Check(ValPrefix(PlainNumber(*prefix)) == *prefix, "plain form reads back");
    }
    return 0;
}
