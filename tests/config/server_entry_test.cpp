#include "config/server_entry.h"

#include <gtest/gtest.h>

#include "tests/support/comma_locale.h"

namespace {

ServerEntry FromText(const std::string& text) {
    ServerEntry entry;
    entry.FromText(text);
    return entry;
}

TEST(ServerEntryTextTest, WritesTitleAddressOriginAndDelay) {
    ServerEntry entry("USA. NIST, Boulder, Colorado -1", "132.163.96.1", 0);
    EXPECT_EQ("USA. NIST, Boulder, Colorado -1\n132.163.96.1\n0 0.000", entry.ToText());
    entry.userAdded = 1;
    entry.delay = 0.1234;
    EXPECT_EQ("USA. NIST, Boulder, Colorado -1\n132.163.96.1\n1 0.123", entry.ToText());
    entry.delay = 12.5;
    EXPECT_EQ("USA. NIST, Boulder, Colorado -1\n132.163.96.1\n1 12.500", entry.ToText());
    EXPECT_EQ("\n\n0 0.000", ServerEntry().ToText());
}

TEST(ServerEntryTextTest, RoundTripKeepsBlanksAndEmptyTitles) {
    const ServerEntry padded("Chile.     Universidad de Chile. Santiago", "146.83.183.179", 1);
    const ServerEntry back = FromText(padded.ToText());
    EXPECT_EQ(padded.title, back.title);
    EXPECT_EQ(padded.address, back.address);
    EXPECT_EQ(1, back.userAdded);

    const ServerEntry untitled = FromText(ServerEntry("", "ntp.example", 1).ToText());
    EXPECT_EQ("", untitled.title);
    EXPECT_EQ("ntp.example", untitled.address);

    ServerEntry measured("a", "b", 1);
    measured.delay = 0.1234;
    EXPECT_DOUBLE_EQ(0.123, FromText(measured.ToText()).delay);
}

// The secure mark follows the delay, where an older reader stops: it keeps the entry as a plain
// server with everything else it holds.
TEST(ServerEntryTextTest, TheSecureMarkFollowsTheDelay) {
    ServerEntry secure("Cloudflare", "time.cloudflare.com", 0);
    secure.nts = true;
    EXPECT_EQ("Cloudflare\ntime.cloudflare.com\n0 0.000 nts", secure.ToText());
    EXPECT_TRUE(FromText(secure.ToText()).nts);
    EXPECT_FALSE(FromText("t\na\n1 0.5").nts);
    EXPECT_FALSE(FromText("t\na\n1 0.5 ntsx").nts);
    EXPECT_FALSE(FromText("t\na\n1 nts").nts);  // no delay: nothing after it is read
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
    keeps.FromText("t\na\n1");
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

using ServerEntryCommaLocaleTest = CommaLocaleTest;

TEST_F(ServerEntryCommaLocaleTest, DecimalPointIsADotWhateverTheLocale) {
    ServerEntry entry("t", "a", 1);
    entry.delay = 0.25;
    const std::string text = entry.ToText();
    EXPECT_EQ("t\na\n1 0.250", text);
    EXPECT_DOUBLE_EQ(0.25, FromText(text).delay);
}

}  // namespace
