#include "config/server_entry.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <clocale>
#include <random>
#include <vector>

namespace {

ServerEntry FromText(const std::string& text) {
    ServerEntry entry;
    entry.fromText(text);
    return entry;
}

TEST(ServerEntryTextTest, WritesTitleAddressOriginAndDelay) {
    ServerEntry entry("USA. NIST, Boulder, Colorado -1", "132.163.96.1", 0);
    EXPECT_EQ("USA. NIST, Boulder, Colorado -1\n132.163.96.1\n0 0.000", entry.toText());
    entry.userAdded = 1;
    entry.delay = 0.1234;
    EXPECT_EQ("USA. NIST, Boulder, Colorado -1\n132.163.96.1\n1 0.123", entry.toText());
    entry.delay = 12.5;
    EXPECT_EQ("USA. NIST, Boulder, Colorado -1\n132.163.96.1\n1 12.500", entry.toText());
    EXPECT_EQ("\n\n0 0.000", ServerEntry().toText());
}

TEST(ServerEntryTextTest, RoundTripKeepsBlanksAndEmptyTitles) {
    const ServerEntry padded("Chile.     Universidad de Chile. Santiago", "146.83.183.179", 1);
    const ServerEntry back = FromText(padded.toText());
    EXPECT_EQ(padded.title, back.title);
    EXPECT_EQ(padded.address, back.address);
    EXPECT_EQ(1, back.userAdded);

    const ServerEntry untitled = FromText(ServerEntry("", "ntp.example", 1).toText());
    EXPECT_EQ("", untitled.title);
    EXPECT_EQ("ntp.example", untitled.address);

    ServerEntry measured("a", "b", 1);
    measured.delay = 0.1234;
    EXPECT_DOUBLE_EQ(0.123, FromText(measured.toText()).delay);
}

TEST(ServerEntryTextTest, ReadsWhatAMalformedTextHolds) {
    ServerEntry entry = FromText("only a title");
    EXPECT_EQ("only a title", entry.title);
    EXPECT_EQ("", entry.address);
    EXPECT_EQ(0, entry.userAdded);

    entry = FromText("t\r\na\nno number here");
    EXPECT_EQ("t\r", entry.title);  // a carriage return is an ordinary character
    EXPECT_EQ(0, entry.userAdded);

    entry = FromText("t\na\n  1   +2.5e-1 trailing");
    EXPECT_EQ(1, entry.userAdded);
    EXPECT_DOUBLE_EQ(0.25, entry.delay);

    entry = FromText("t\na\n99999999999 1.0");  // out of range: no readable integer
    EXPECT_EQ(0, entry.userAdded);

    ServerEntry keeps;
    keeps.delay = 7.0;
    keeps.fromText("t\na\n1");
    EXPECT_EQ(7.0, keeps.delay);
}

TEST(ServerEntryTextTest, LongLinesAreCutAndNeverSpillIntoTheNextField) {
    const std::string longTitle(1500, 'T');
    const ServerEntry entry = FromText(longTitle + "\nntp.example\n1 0.5");
    EXPECT_EQ(std::string(1023, 'T'), entry.title);
    EXPECT_EQ("ntp.example", entry.address);
    EXPECT_EQ(1, entry.userAdded);
    EXPECT_DOUBLE_EQ(0.5, entry.delay);
}

TEST(ServerEntryTextTest, DecimalPointIsADotWhateverTheLocale) {
#ifdef _WIN32
    const char* comma = std::setlocale(LC_ALL, "German_Germany.1252");
#else
    const char* comma = std::setlocale(LC_ALL, "de_DE.UTF-8");
#endif
    ASSERT_NE(nullptr, comma) << "a German locale is needed (scripts/bootstrap installs it)";
    ASSERT_STREQ(",", std::localeconv()->decimal_point);

    ServerEntry entry("t", "a", 1);
    entry.delay = 0.25;
    const std::string text = entry.toText();
    const ServerEntry back = FromText(text);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ("t\na\n1 0.250", text);
    EXPECT_DOUBLE_EQ(0.25, back.delay);
}

}  // namespace

TEST(ServerEntryTextTest, DelaysAreWrittenAsTheCLocalesPrintfWritesThem) {
    const auto reference = [](double value) {
        char text[400];
        const auto written =
            std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
        return std::string(text, written.ptr);
    };
    std::vector<double> values = {0.0,    -0.0,   0.0005, 0.0015,      0.0625,   1.0005,
                                  0.1234, 12.5,   1e-300, 123456.0005, -3.14159, 9007199254740991.0,
                                  1e20,   -2.5e25};
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 20000; ++i) {
        values.push_back(std::uniform_real_distribution<double>(-10.0, 10.0)(random));
        // Any finite double: every exponent, every mantissa.
        const std::uint64_t exponent = random() % 2047;
        const std::uint64_t bits = (random() & ~(std::uint64_t{0x7FF} << 52)) | (exponent << 52);
        values.push_back(std::bit_cast<double>(bits));
    }
    for (const double value : values) {
        ASSERT_EQ(reference(value), FixedThreeDecimals(value)) << std::hexfloat << value;
    }
}
