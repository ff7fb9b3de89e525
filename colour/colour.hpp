// The colour model: channels, HTML hex code and decimal text of a colour
// value. Pure C++; no window toolkit, no locale.
//
// A colour value is a signed 32-bit integer in the packed layout 0x00BBGGRR
// (red in the low byte). The colour dialog only ever yields 0..0xFFFFFF, but
// every operation here is defined for the whole 32-bit range.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quill {

// Splits Color into its channels with truncating division and remainder, so
// a negative colour value gives channels in -255..0 (-1 gives -1, 0, 0) and
// bits above bit 23 are dropped. Color is only read.
void Color_to_RGB(const std::int32_t& Color, std::int32_t& R, std::int32_t& G, std::int32_t& B);

// The colour value of three channels in 0..255: red | green << 8 | blue << 16.
// For toolkits whose colours come as channels.
constexpr std::int32_t PackColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<std::int32_t>(red | (green << 8) | (blue << 16));
}

// The six upper-case hex digits, in HTML order (red first), of the low 24
// bits of (R * 256 + G) * 256 + B. Any channels in -255..255 succeed; for
// channels so large that the sum leaves 32 bits it raises kErrorOverflow.
std::string RGB_to_Hexa(std::int32_t R, std::int32_t G, std::int32_t B);

// The plain decimal text of a 32-bit value: "-" for negatives, no leading
// zeros, no separators, independent of the user's locale.
std::string FormatDecimal(std::int32_t value);

// The inverse of FormatDecimal: accepts exactly the texts FormatDecimal
// produces and returns their value. Anything else raises a Failure: the empty
// text and non-numbers (blanks, "+", "0x", separators, leading zeros, "-0")
// with kErrorTypeMismatch, numbers outside the 32-bit range with
// kErrorOverflow. Never returns a substitute value.
std::int32_t ParseDecimal(std::string_view text);

}  // namespace quill
