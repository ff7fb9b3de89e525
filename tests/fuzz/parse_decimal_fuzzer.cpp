// libFuzzer target for the decimal parser: any input either parses to a
// value whose canonical text is exactly the input, or fails with one of the
// parser's two error numbers. Anything else (a crash, another exception, a
// sanitizer report, a substitute value) is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/failure.hpp"
#include "colour/colour.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const std::int32_t value = quill::ParseDecimal(text);
        if (quill::FormatDecimal(value) != text) std::abort();
    } catch (const quill::Failure& failure) {
        if (failure.number() != quill::kErrorTypeMismatch && failure.number() != quill::kErrorOverflow) std::abort();
        if (failure.description().empty()) std::abort();
    }
    return 0;
}
