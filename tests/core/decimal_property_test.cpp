// Seeded property tests of the decimal parser: they always run, with a fixed
// seed so that a failure reproduces.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "base/failure.hpp"
#include "colour/colour.hpp"

namespace quill {
namespace {

constexpr std::uint32_t kSeed = 20261208;

TEST(DecimalProperty, EveryFormattedValueParsesBackEqual) {
    std::mt19937 random(kSeed);
    std::uniform_int_distribution<std::int32_t> any(std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max());
    for (int i = 0; i < 200000; ++i) {
        const std::int32_t v = any(random);
        ASSERT_EQ(ParseDecimal(FormatDecimal(v)), v);
    }
    for (std::int32_t v : {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()}) {
        EXPECT_EQ(ParseDecimal(FormatDecimal(v)), v);
    }
}

// The oracle: a text is accepted exactly when it is the canonical decimal
// text of some 32-bit value, written independently of the parser.
bool IsCanonicalInt32(const std::string& s) {
    std::size_t i = 0;
    const bool negative = !s.empty() && s[0] == '-';
    if (negative) i = 1;
    const std::string digits = s.substr(i);
    if (digits.empty() || digits.size() > 10) return false;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
    }
    if (digits.size() > 1 && digits[0] == '0') return false;
    if (negative && digits == "0") return false;
    if (digits.size() < 10) return true;
    return digits <= (negative ? std::string("2147483648") : std::string("2147483647"));
}

TEST(DecimalProperty, RandomTextsAreAcceptedOnlyWhenCanonical) {
    std::mt19937 random(kSeed);
    const std::string alphabet = "0123456789-+ x,.\t0000999";
    std::uniform_int_distribution<std::size_t> length(0, 13), pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    int accepted = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        const std::size_t n = length(random);
        for (std::size_t k = 0; k < n; ++k) {
            text += (k % 7 == 6) ? static_cast<char>(byte(random)) : alphabet[pick(random)];
        }
        const bool canonical = IsCanonicalInt32(text);
        try {
            const std::int32_t v = ParseDecimal(text);
            ASSERT_TRUE(canonical) << "accepted \"" << text << "\"";
            ASSERT_EQ(FormatDecimal(v), text);
            ++accepted;
        } catch (const Failure& f) {
            ASSERT_FALSE(canonical) << "rejected \"" << text << "\": " << f.description();
            ASSERT_TRUE(f.number() == kErrorTypeMismatch || f.number() == kErrorOverflow);
        }
    }
    EXPECT_GT(accepted, 1000) << "the generator should also produce valid texts";
}

}  // namespace
}  // namespace quill
