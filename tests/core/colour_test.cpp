#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>

#include "base/failure.hpp"
#include "colour/colour.hpp"

namespace quill {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

struct Split {
    std::int32_t color, r, g, b;
    const char* hex;
};

// Colour value -> channels -> hex code, including the values where a
// mask-and-shift implementation or a byte-order slip would differ.
TEST(ColourConversion, SplitsChannelsAndFormsHtmlCode) {
    const Split cases[] = {
        {0, 0, 0, 0, "000000"},
        {16777215, 255, 255, 255, "FFFFFF"},
        {33023, 255, 128, 0, "FF8000"},   // orange
        {16711680, 0, 0, 255, "0000FF"},  // pure blue: packed BGR, code in RGB
        {255, 255, 0, 0, "FF0000"},       // pure red
        {0x00123456, 0x56, 0x34, 0x12, "563412"},
        {16777216, 0, 0, 0, "000000"},  // bits above 23 dropped
        {0x7FFFFFFF, 255, 255, 255, "FFFFFF"},
        {-1, -1, 0, 0, "FF0000"},  // truncating remainder, not a mask
        {-256, 0, -1, 0, "FFFF00"},
        {-65536, 0, 0, -1, "FFFFFF"},
        {kMin, 0, 0, 0, "000000"},
        {-16777215, -255, -255, -255, "000001"},
    };
    for (const auto& c : cases) {
        std::int32_t r = 99, g = 99, b = 99;
        const std::int32_t color = c.color;
        Color_to_RGB(color, r, g, b);
        EXPECT_EQ(r, c.r) << "colour " << c.color;
        EXPECT_EQ(g, c.g) << "colour " << c.color;
        EXPECT_EQ(b, c.b) << "colour " << c.color;
        EXPECT_EQ(color, c.color) << "the colour argument is only read";
        EXPECT_EQ(RGB_to_Hexa(r, g, b), c.hex) << "colour " << c.color;
        if (c.color >= 0 && c.color <= 0xFFFFFF) {  // a toolkit's channels pack back the same
            EXPECT_EQ(
                PackColor(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)),
                c.color);
        }
    }
}

TEST(ColourConversion, HexCodeIsAlwaysSixUpperCaseDigitsOfTheLow24Bits) {
    for (std::int32_t r = -255; r <= 255; r += 17) {
        for (std::int32_t g = -255; g <= 255; g += 51) {
            for (std::int32_t b = -255; b <= 255; b += 85) {
                const std::string hex = RGB_to_Hexa(r, g, b);
                ASSERT_EQ(hex.size(), 6u);
                const auto v = static_cast<std::uint32_t>((r * 256 + g) * 256 + b) & 0xFFFFFFu;
                EXPECT_EQ(std::stoul(hex, nullptr, 16), v) << r << ',' << g << ',' << b;
                EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos) << hex;
            }
        }
    }
}

TEST(ColourConversion, ChannelsTooLargeForThirtyTwoBitsRaiseOverflow) {
    try {
        RGB_to_Hexa(kMax, 0, 0);
        FAIL() << "no failure raised";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), kErrorOverflow);
        EXPECT_NE(f.description().find("Overflow"), std::string::npos);
    }
    EXPECT_EQ(RGB_to_Hexa(32767, 255, 255), "FFFFFF");  // V = 0x7FFFFFFF still fits
    EXPECT_THROW(RGB_to_Hexa(32768, 0, 0), Failure);    // V = 0x80000000 does not
}

TEST(DecimalText, FormatsPlainLocaleFreeText) {
    EXPECT_EQ(FormatDecimal(0), "0");
    EXPECT_EQ(FormatDecimal(33023), "33023");
    EXPECT_EQ(FormatDecimal(16777215), "16777215");
    EXPECT_EQ(FormatDecimal(-1), "-1");
    EXPECT_EQ(FormatDecimal(kMax), "2147483647");
    EXPECT_EQ(FormatDecimal(kMin), "-2147483648");
}

TEST(DecimalText, RoundTripIsExactAtTheExtremesAndAcrossTheRange) {
    for (std::int32_t v : {kMin, kMin + 1, -16777216, -1, 0, 1, 255, 16777215, kMax - 1, kMax}) {
        EXPECT_EQ(ParseDecimal(FormatDecimal(v)), v);
    }
    // A stride that is prime and close to 2^32 / 100000 touches every digit
    // count and both signs.
    std::int64_t v = kMin;
    for (; v <= kMax; v += 42949) {
        ASSERT_EQ(ParseDecimal(FormatDecimal(static_cast<std::int32_t>(v))), v);
    }
}

void ExpectParseFailure(const std::string& text, std::uint32_t number) {
    try {
        const std::int32_t v = ParseDecimal(text);
        ADD_FAILURE() << "\"" << text << "\" parsed as " << v;
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), number) << "\"" << text << "\": " << f.description();
        EXPECT_FALSE(f.description().empty());
    }
}

TEST(DecimalText, RejectsEverythingButCanonicalDecimal) {
    for (const char* text : {"",    " ",   "-",   "+1",  " 1", "1 ", "1\n", "0x10", "1,000",       "1.000", "1.5",
                             "1e3", "abc", "12a", "--1", "-0", "00", "007", "-01",  "\xEF\xBC\x91" /* fullwidth 1 */}) {
        ExpectParseFailure(text, kErrorTypeMismatch);
    }
    // An embedded terminator must not cut the text short.
    ExpectParseFailure(std::string{'1', '2', '\0', '3'}, kErrorTypeMismatch);
}

TEST(DecimalText, RejectsNumbersOutsideThirtyTwoBitsAsOverflow) {
    for (const char* text : {"2147483648", "-2147483649", "4294967295", "99999999999999999999999"}) {
        ExpectParseFailure(text, kErrorOverflow);
    }
}

TEST(DecimalText, ErrorDescriptionQuotesInputButStaysShort) {
    const std::string huge(10000, '7');
    try {
        ParseDecimal(huge + "x");
        FAIL();
    } catch (const Failure& f) {
        EXPECT_LT(f.description().size(), 120u);
        EXPECT_NE(f.description().find("777"), std::string::npos);
    }
}

}  // namespace
}  // namespace quill
