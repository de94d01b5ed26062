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

ServerCatalogue Catalogue(std::initializer_list<ServerEntry> entries) {
    ServerCatalogue catalogue;
    for (const ServerEntry& entry : entries) {
        catalogue.Add(entry);
    }
    return catalogue;
}

ServerEntry Secure(ServerEntry entry) {
    entry.nts = true;
    return entry;
}

std::string Addresses(const ServerCatalogue& catalogue) {
    std::string text;
    for (int i = 0; i < catalogue.Size(); ++i) {
        const ServerEntry e = catalogue.At(i);
        text += e.address + (e.nts ? "+" : "") + (e.userAdded == ServerEntry::kBuiltIn ? "" : "u") +
                " ";
    }
    return text;
}

constexpr const char* kGroup =
    "time.cloudflare.com+ nts.netnod.se+ ptbtime1.ptb.de+ ptbtime2.ptb.de+ ptbtime3.ptb.de+ ";

TEST(DefaultServersTest, SecureGroupJoinsWithoutDuplicatingAnAddress) {
    const ServerEntry plain("Mine", "my.example", ServerEntry::kUserAdded);
    const struct {
        const char* name;
        ServerCatalogue before;
        int added;
        std::string after;
    } cases[] = {
        {"empty", Catalogue({}), 5, kGroup},
        {"plain entry first", Catalogue({plain}), 5, std::string("my.exampleu ") + kGroup},
        {"same address in another case, plain, stays as the user's",
         Catalogue({ServerEntry("Own", "PTBTIME2.ptb.de", ServerEntry::kUserAdded)}), 4,
         "PTBTIME2.ptb.deu time.cloudflare.com+ nts.netnod.se+ ptbtime1.ptb.de+ "
         "ptbtime3.ptb.de+ "},
        {"whole group already there", Catalogue({}), 0, kGroup},
    };
    for (const auto& c : cases) {
        ServerCatalogue catalogue = c.before;
        if (c.added == 0) {
            AddSecureServers(catalogue);
        }
        EXPECT_EQ(c.added, AddSecureServers(catalogue)) << c.name;
        EXPECT_EQ(c.after, Addresses(catalogue)) << c.name;
    }
}

TEST(DefaultServersTest, EnsureAddsTheGroupOnlyWhenNoEntryIsSecure) {
    const struct {
        const char* name;
        ServerCatalogue before;
        int added;
    } cases[] = {
        {"none secure", Catalogue({ServerEntry("a", "a.example", ServerEntry::kBuiltIn)}), 5},
        {"a user's secure entry",
         Catalogue({Secure(ServerEntry("s", "s.example", ServerEntry::kUserAdded))}), 0},
        {"empty", Catalogue({}), 5},
    };
    for (const auto& c : cases) {
        ServerCatalogue catalogue = c.before;
        EXPECT_EQ(c.added == 0, HasSecureEntry(c.before)) << c.name;
        EXPECT_EQ(c.added, EnsureSecureServers(catalogue)) << c.name;
        EXPECT_EQ(c.before.Size() + c.added, catalogue.Size()) << c.name;
        EXPECT_TRUE(HasSecureEntry(catalogue)) << c.name;
    }
}

}  // namespace
