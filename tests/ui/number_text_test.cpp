#include "ui/number_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr int kMax = std::numeric_limits<int>::max();
constexpr int kMin = std::numeric_limits<int>::min();

TEST(NumberTextTest, AnIntegerMayHaveOneSignAndBlanksAroundIt) {
    struct Case {
        const char* text;
        std::optional<int> value;
    };
    const Case cases[] = {
        {"0", 0},
        {"42", 42},
        {"-7", -7},
        {"+7", 7},
        {"007", 7},
        {"  12\t", 12},
        {"\t-3 ", -3},
        {"2147483647", kMax},
        {"-2147483648", kMin},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"+-5", std::nullopt},
        {"--5", std::nullopt},
        {"++5", std::nullopt},
        {"+ 5", std::nullopt},
        {"1 2", std::nullopt},
        {"12abc", std::nullopt},
        {"abc", std::nullopt},
        {"1.5", std::nullopt},
        {"1e3", std::nullopt},
        {"0x10", std::nullopt},
        {"\n5", std::nullopt},  // blanks and tabs only
        {"5\r", std::nullopt},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value, ParseDialogInteger(c.text)) << '"' << c.text << '"';
    }
}

TEST(NumberTextTest, ANumberIsFiniteWithAPoint) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"1.5", 1.5},
        {" -0.25\t", -0.25},
        {"+2e3", 2000.0},
        {"3", 3.0},
        {"1,5", std::nullopt},
        {"", std::nullopt},
        {"inf", std::nullopt},
        {"nan", std::nullopt},
        {"1e400", std::nullopt},
        {"1.5s", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value, ParseDialogNumber(c.text)) << '"' << c.text << '"';
    }
}

TEST(NumberTextTest, TheRangeIncludesBothEndsAndARefusalNamesThem) {
    struct Case {
        int value;
        int min;
        int max;
        bool refused;
    };
    const Case cases[] = {
        {0, 0, 59, false},    {59, 0, 59, false}, {60, 0, 59, true},         {-1, 0, 59, true},
        {-5, -10, -1, false}, {0, -10, -1, true}, {kMin, kMin, kMax, false}, {kMax, 1, 1440, true},
    };
    for (const Case& c : cases) {
        const std::optional<NumberRefusal> expected =
            c.refused ? std::optional(NumberRefusal{NumberRefusal::Kind::kOutOfRange, c.min, c.max})
                      : std::nullopt;
        EXPECT_EQ(expected, IntegerRangeRefusal(c.value, c.min, c.max))
            << c.value << " in " << c.min << ".." << c.max;
    }
}

}  // namespace
