#include "colour/colour.hpp"

#include <array>
#include <charconv>
#include <limits>
#include <system_error>

#include "base/failure.hpp"

namespace quill {

namespace {

// Quotes a piece of user-visible input for an error description, shortened
// so that a long text cannot flood the message.
std::string Quoted(std::string_view text) {
    constexpr std::size_t kMaxShown = 32;
    std::string out = "\"";
    out.append(text.substr(0, kMaxShown));
    if (text.size() > kMaxShown) out += "...";
    out += '"';
    return out;
}

}  // namespace

void Color_to_RGB(const std::int32_t& Color, std::int32_t& R, std::int32_t& G, std::int32_t& B) {
    // C++ integer division truncates toward zero and the remainder takes the
    // sign of the dividend: exactly the rule wanted for negative values.
    R = Color % 256;
    G = (Color / 256) % 256;
    B = ((Color / 256) / 256) % 256;
}

std::string RGB_to_Hexa(std::int32_t R, std::int32_t G, std::int32_t B) {
    // Computed wide so that out-of-range channels are caught, not wrapped.
    const std::int64_t v = (static_cast<std::int64_t>(R) * 256 + G) * 256 + B;
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) {
        throw Failure(kErrorOverflow, "Overflow: the channels " + FormatDecimal(R) + ", " + FormatDecimal(G) + ", " +
                                          FormatDecimal(B) + " do not form a 32-bit colour");
    }
    // Two's complement pattern of V, in hex, then the rightmost six digits.
    const auto pattern = static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
    std::array<char, 8> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), pattern, 16);
    std::string hex = "000000";
    for (const char* p = digits.data(); p != result.ptr; ++p) {
        hex += (*p >= 'a' && *p <= 'f') ? static_cast<char>(*p - 'a' + 'A') : *p;
    }
    return hex.substr(hex.size() - 6);
}

std::string FormatDecimal(std::int32_t value) {
    std::array<char, 12> buffer{};  // "-2147483648" is eleven characters
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::int32_t ParseDecimal(std::string_view text) {
    const char* const first = text.data();
    const char* const last = first + text.size();
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);

    if (error == std::errc::result_out_of_range && end == last) {
        throw Failure(kErrorOverflow, "Overflow: " + Quoted(text) + " is outside the 32-bit range");
    }
    // from_chars is lenient about "-0" and leading zeros; the canonical text
    // of the value it read is the one form accepted.
    if (error != std::errc{} || end != last || FormatDecimal(value) != text) {
        throw Failure(kErrorTypeMismatch, text.empty()
                                              ? std::string("Type mismatch: the text is empty, not a decimal number")
                                              : "Type mismatch: " + Quoted(text) + " is not a decimal number");
    }
    return value;
}

}  // namespace quill
