#include "config/default_servers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DefaultServersTest, DefaultTableTitlesAreExactWithTheirPadding) {
    EXPECT_STREQ("USA. NIST, Gaithersburg, Maryland - 1", kDefaultServers[0].title);
    EXPECT_STREQ("Chile.     Universidad de Chile. Santiago", kDefaultServers[9].title);
    EXPECT_STREQ("France.    Observatoire de Paris", kDefaultServers[10].title);
    EXPECT_STREQ("Germany.   Technische Universitaet Berlin - 2", kDefaultServers[12].title);
    EXPECT_STREQ("Switzerland. Integrated Systems Laboratory. Zurich", kDefaultServers[17].title);
    EXPECT_STREQ("UK. University of Cambridge", kDefaultServers[18].title);
    for (int row = 9; row <= 16; ++row) {
        const std::string title = kDefaultServers[row].title;
        EXPECT_EQ(' ', title[10]) << title;  // country and full stop padded to 11
        EXPECT_NE(' ', title[11]) << title;
    }
}

}  // namespace
