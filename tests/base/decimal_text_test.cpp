#include "base/decimal_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "tests/support/comma_locale.h"

namespace {

struct Case {
    double value;
    int decimals;
    bool withSign;
    const char* text;
};

// printf's rounding: to the nearest, exact binary ties to even.
constexpr Case kCases[] = {
    {0.0, 3, false, "0.000"},
    {-0.0, 3, false, "-0.000"},
    {0.0, 6, true, "+0.000000"},
    {-0.0, 6, true, "-0.000000"},
    {0.012345, 6, true, "+0.012345"},
    {-0.012345, 6, true, "-0.012345"},
    {-0.0000004, 6, true, "-0.000000"},
    {0.1234, 3, false, "0.123"},
    {12.5, 3, false, "12.500"},
    {0.0005, 3, false, "0.001"},  // a little above the tie in binary
    {1.0005, 3, false, "1.000"},  // a little below it
    {0.0625, 3, false, "0.062"},  // an exact tie goes to the even digit
    {0.1875, 3, false, "0.188"},
    {2.5, 0, false, "2"},
    {123456.0005, 3, false, "123456.000"},
    {1e20, 3, false, "100000000000000000000.000"},
    {0.123456789, 9, false, "0.123456789"},
    {-1.5, 9, true, "-1.500000000"},
};

void ExpectCases() {
    for (const Case& c : kCases) {
        EXPECT_EQ(c.text, DecimalText(c.value, c.decimals, c.withSign))
            << std::hexfloat << c.value << " with " << c.decimals;
    }
}

TEST(DecimalTextTest, RoundsAsPrintfWithAPointAndTheAskedSign) {
    ExpectCases();
}

using DecimalTextCommaLocaleTest = CommaLocaleTest;

TEST_F(DecimalTextCommaLocaleTest, KeepsThePointInADecimalCommaLocale) {
    ExpectCases();
}

// Any finite double, however large or small: three decimals after a point, and the nearest.
TEST(DecimalTextTest, EveryFiniteValueIsWrittenToTheNearestThousandth) {
    std::vector<double> values = {1e-300, -2.5e25, 9007199254740991.0, 1.7976931348623157e308};
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 20000; ++i) {
        values.push_back(std::uniform_real_distribution<double>(-10.0, 10.0)(random));
        const std::uint64_t exponent = random() % 2047;
        const std::uint64_t bits = (random() & ~(std::uint64_t{0x7FF} << 52)) | (exponent << 52);
        values.push_back(std::bit_cast<double>(bits));
    }
    for (const double value : values) {
        const std::string text = DecimalText(value, 3);
        ASSERT_GE(text.size(), 5u);
        ASSERT_EQ('.', text[text.size() - 4]) << text;
        double back = 0;
        const auto read = std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(text.data() + text.size(), read.ptr) << text;
        ASSERT_LE(std::fabs(back - value), 0.0005 + std::fabs(value) * 1e-15)
            << std::hexfloat << value << " written " << text;
    }
}

}  // namespace
