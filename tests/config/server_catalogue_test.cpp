#include "config/server_catalogue.h"

#include <gtest/gtest.h>

#include "config/default_servers.h"
#include "config/settings.h"
#include "tests/support/memory_profile_store.h"

namespace {

class ServerCatalogueTest : public testing::Test {
  protected:
    void StoreEntry(int index, const std::string& text) {
        store_.PutString("Servers", "Servers " + std::to_string(index), text);
    }
    void StoreCounter(int count) { store_.PutInt("Servers", "Servers_Counter", count); }
    std::vector<std::string> Titles() const {
        std::vector<std::string> titles;
        for (int i = 0; i < settings_.servers.Size(); ++i) {
            titles.push_back(settings_.servers.Copy().At(i).title);
        }
        return titles;
    }
    void ExpectDefaultTable(int from = 0) const {
        ASSERT_EQ(from + 19, settings_.servers.Size());
        for (int row = 0; row < 19; ++row) {
            const ServerEntry entry = settings_.servers.Copy().At(from + row);
            EXPECT_EQ(kDefaultServers[row].title, entry.title);
            EXPECT_EQ(kDefaultServers[row].address, entry.address);
            EXPECT_EQ(0, entry.userAdded);
            EXPECT_EQ(0.0, entry.delay);
        }
    }

    MemoryProfileStore store_;
    Settings settings_{store_};
};

TEST_F(ServerCatalogueTest, MissingOrEmptyCatalogueBecomesTheDefaultTableAndIsSaved) {
    for (const int counter : {-1, 0}) {
        MemoryProfileStore store;
        store.PutInt("Servers", "Servers_Counter", counter);
        Settings settings(store);
        settings.LoadServers();
        EXPECT_EQ(19, settings.servers.Size());
        EXPECT_EQ(MemoryProfileStore::Value(19), store.value("Servers", "Servers_Counter"));
    }
    settings_.LoadServers();
    ExpectDefaultTable();
    const std::string lastRow =
        std::string(kDefaultServers[18].title) + "\n" + kDefaultServers[18].address + "\n0 0.000";
    EXPECT_EQ(MemoryProfileStore::Value(lastRow), store_.value("Servers", "Servers 18"));
}

TEST_F(ServerCatalogueTest, ADamagedEntryIsSkippedAndNothingStoredIsOverwritten) {
    struct Case {
        int startingServer;
        int startingAfterLoad;
    };
    for (const Case& c : {Case{3, 1}, Case{1, 0}, Case{0, 0}}) {
        MemoryProfileStore store;
        store.PutInt("Servers", "Servers_Counter", 4);
        store.PutString("Servers", "Servers 0", "user A\na.example\n1 0.100");
        store.PutString("Servers", "Servers 1", "");  // damaged; Servers 2 is missing
        store.PutString("Servers", "Servers 3", "user D\nd.example\n1 0.400");
        store.PutInt("Options", "nStartingServ", c.startingServer);
        const std::size_t writesBefore = store.writes().size();
        Settings settings(store);
        SyncRecord record;
        settings.Load(record);
        const ServerCatalogue loaded = settings.servers.Copy();
        ASSERT_EQ(2, loaded.Size());
        EXPECT_EQ("user A", loaded.At(0).title);
        EXPECT_EQ("user D", loaded.At(1).title);
        EXPECT_EQ(c.startingAfterLoad, settings.startingServer) << c.startingServer;
        EXPECT_EQ(writesBefore, store.writes().size());  // the user's values stay as stored
    }

    StoreCounter(2);  // nothing usable at all: the default table, saved
    StoreEntry(0, "");
    settings_.LoadServers();
    ExpectDefaultTable();
    EXPECT_EQ(MemoryProfileStore::Value(19), store_.value("Servers", "Servers_Counter"));
}

TEST_F(ServerCatalogueTest, LoadStopsAtTheCounter) {
    StoreCounter(2);
    for (int i = 0; i < 5; ++i) {
        StoreEntry(i, "s" + std::to_string(i) + "\nh\n1 0.000");
    }
    settings_.LoadServers();
    EXPECT_EQ((std::vector<std::string>{"s0", "s1"}), Titles());
}

TEST_F(ServerCatalogueTest, SavingFewerEntriesLeavesTheOldValuesBehind) {
    for (int i = 0; i < 8; ++i) {
        settings_.servers.With([&](ServerCatalogue& catalogue) {
            catalogue.Add(ServerEntry("s" + std::to_string(i), "h", 1));
        });
    }
    settings_.SaveServers(true);
    settings_.servers.With([&](ServerCatalogue& catalogue) { catalogue.RemoveAt(5, 3); });
    settings_.SaveServers(true);
    EXPECT_EQ(MemoryProfileStore::Value(5), store_.value("Servers", "Servers_Counter"));
    EXPECT_TRUE(store_.value("Servers", "Servers 7"));

    Settings reloaded(store_);
    reloaded.LoadServers();
    EXPECT_EQ(5, reloaded.servers.Size());
}

TEST_F(ServerCatalogueTest, IndicesAtAndBeyondTheEndsChangeNothing) {
    ServerCatalogue catalogue;
    for (const char* title : {"a", "b", "c"}) {
        catalogue.Add(ServerEntry(title, "h", 1));
    }
    const auto titles = [&catalogue] {
        std::string all;
        for (int i = 0; i < catalogue.Size(); ++i) {
            all += catalogue.At(i).title;
        }
        return all;
    };
    for (const int index : {-1, 3, 99}) {
        catalogue.RemoveAt(index);
        catalogue.SetDelay(index, 0.5);
        EXPECT_EQ("abc", titles()) << index;
        EXPECT_THROW(catalogue.At(index), std::out_of_range) << index;
    }
    catalogue.RemoveAt(0, 0);
    catalogue.RemoveAt(0, -2);
    EXPECT_EQ("abc", titles());
    catalogue.SetDelay(2, 0.25);
    EXPECT_EQ(0.25, catalogue.At(2).delay);
    catalogue.RemoveAt(2, 5);  // a count past the end takes what there is
    EXPECT_EQ("ab", titles());
    catalogue.RemoveAt(0);
    EXPECT_EQ("b", titles());
}

TEST_F(ServerCatalogueTest, EntriesRoundTripThroughTheStore) {
    ServerEntry measured("Germany.   Technische Universitaet Berlin - 1", "130.149.17.21", 1);
    measured.delay = 0.1234;
    settings_.servers.With([&](ServerCatalogue& catalogue) { catalogue.Add(measured); });
    settings_.servers.With(
        [&](ServerCatalogue& catalogue) { catalogue.Add(ServerEntry("", "ntp.example", 1)); });
    settings_.SaveServers(true);
    EXPECT_EQ(MemoryProfileStore::Value(std::string(
                  "Germany.   Technische Universitaet Berlin - 1\n130.149.17.21\n1 0.123")),
              store_.value("Servers", "Servers 0"));

    Settings reloaded(store_);
    reloaded.LoadServers();
    ASSERT_EQ(2, reloaded.servers.Size());
    EXPECT_EQ(measured.title, reloaded.servers.Copy().At(0).title);
    EXPECT_DOUBLE_EQ(0.123, reloaded.servers.Copy().At(0).delay);
    EXPECT_EQ("", reloaded.servers.Copy().At(1).title);
    EXPECT_EQ("ntp.example", reloaded.servers.Copy().At(1).address);
}

TEST_F(ServerCatalogueTest, RestoringDefaultsKeepsUserEntriesFirstAndIsIdempotent) {
    settings_.servers.With(
        [&](ServerCatalogue& catalogue) { catalogue.Add(ServerEntry("user A", "a", 1)); });
    ServerEntry builtIn("built-in", "b", 0);
    builtIn.delay = 0.5;
    settings_.servers.With([&](ServerCatalogue& catalogue) { catalogue.Add(builtIn); });
    settings_.servers.With([&](ServerCatalogue& catalogue) { catalogue.Add(builtIn); });
    settings_.servers.With(
        [&](ServerCatalogue& catalogue) { catalogue.Add(ServerEntry("user B", "c", 1)); });
    settings_.startingServer = 3;
    store_.clearWrites();

    settings_.RestoreDefaultServers();
    EXPECT_EQ("user A", settings_.servers.Copy().At(0).title);
    EXPECT_EQ("user B", settings_.servers.Copy().At(1).title);
    ExpectDefaultTable(2);
    settings_.RestoreDefaultServers();
    EXPECT_EQ(21, settings_.servers.Size());
    ExpectDefaultTable(2);
    EXPECT_EQ(3, settings_.startingServer);  // even though it now names another server
    EXPECT_TRUE(store_.writes().empty());
}

TEST_F(ServerCatalogueTest, ListOperations) {
    ServerCatalogue working;
    EXPECT_EQ("_Counter", working.CounterName());
    EXPECT_EQ(0, working.Add(ServerEntry("a", "1", 1)));
    EXPECT_EQ(1, working.Add(ServerEntry("b", "2", 1)));
    working.Append(working);
    EXPECT_EQ(4, working.Size());
    working.RemoveAt(1, 2);
    EXPECT_EQ(2, working.Size());
    EXPECT_EQ("a", working.At(0).title);
    EXPECT_EQ("b", working.At(1).title);
    working.RemoveAt(5, 1);  // out of range: nothing happens
    EXPECT_EQ(2, working.Size());
    working.Clear();
    EXPECT_EQ(0, working.Size());
}

}  // namespace
