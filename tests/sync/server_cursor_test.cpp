#include "sync/server_cursor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/support/memory_profile_store.h"

namespace {

class ServerCursorTest : public testing::Test {
  protected:
    ServerCursorTest() {
        for (const char* name : {"zero", "one", "two"}) {
            settings_.servers.With([&](ServerCatalogue& catalogue) {
                catalogue.Add(ServerEntry(name, std::string(name) + ".example", 1));
            });
        }
    }

    // The failed-run step, inside the gate as a run takes it.
    int Advance(ServerCursor& cursor) {
        int before = -1;
        gate_.Apply(RunGate::kAlways,
                    [&](const RunGate::Held& held) { before = cursor.AdvanceServer(held); });
        return before;
    }

    MemoryProfileStore store_;
    Settings settings_{store_};
    RunGate gate_;
};

TEST_F(ServerCursorTest, FailedRunsWalkAndWrap) {
    ServerCursor cursor(settings_);
    settings_.startingServer = 2;
    cursor.SelectStartingServer();
    EXPECT_EQ("two", cursor.CurrentServerTitle());
    EXPECT_EQ("two.example", cursor.CurrentServerAddress());
    EXPECT_EQ(3, Advance(cursor));  // the index before the wrap
    EXPECT_EQ(0, cursor.CurrentIndex());
    EXPECT_EQ(1, Advance(cursor));
    EXPECT_EQ("one", cursor.CurrentServerTitle());
}

TEST_F(ServerCursorTest, IndicesAtAndBeyondTheEnds) {
    struct Case {
        int starting;
        const char* title;  // "" when the index names no entry
        int returned;       // by the failed-run step: the index before the wrap
        int after;
    };
    for (const Case& c : {Case{-5, "", -4, -4}, Case{-1, "", 0, 0}, Case{0, "zero", 1, 1},
                          Case{2, "two", 3, 0}, Case{3, "", 4, 0}, Case{40, "", 41, 0}}) {
        ServerCursor cursor(settings_);
        settings_.startingServer = c.starting;
        cursor.SelectStartingServer();
        EXPECT_EQ(c.title, cursor.CurrentServerTitle()) << c.starting;
        EXPECT_EQ(c.returned, Advance(cursor)) << c.starting;
        EXPECT_EQ(c.after, cursor.CurrentIndex()) << c.starting;
    }
}

TEST_F(ServerCursorTest, SelectingTheStartingServerOverridesWhereFailuresLeftIt) {
    ServerCursor cursor(settings_);
    Advance(cursor);
    Advance(cursor);
    settings_.startingServer = 0;
    cursor.SelectStartingServer();
    EXPECT_EQ("zero.example", cursor.CurrentServerAddress());
}

TEST_F(ServerCursorTest, PublishingAnEditedCatalogueMovesIndexAndCursorWithIt) {
    ServerCursor cursor(settings_);
    Advance(cursor);
    ServerCatalogue edited;
    edited.Add(ServerEntry("a", "a.example", 1));
    edited.Add(ServerEntry("b", "b.example", 1));
    cursor.Publish(edited, 1);
    EXPECT_EQ(2, settings_.servers.Size());
    EXPECT_EQ(1, settings_.startingServer);
    EXPECT_EQ("b.example", cursor.CurrentServerAddress());
}

TEST_F(ServerCursorTest, AnIndexBeyondAShrunkCatalogueNamesNoServer) {
    ServerCursor cursor(settings_);
    settings_.startingServer = 2;
    cursor.SelectStartingServer();
    settings_.servers.With([](ServerCatalogue& servers) { servers.RemoveAt(1, 2); });
    EXPECT_EQ("", cursor.CurrentServerTitle());
    EXPECT_EQ("", cursor.CurrentServerAddress());
    EXPECT_EQ(3, Advance(cursor));
    EXPECT_EQ("zero", cursor.CurrentServerTitle());
}

// A worker failing runs and reading addresses while the user-interface thread replaces the
// catalogue and reselects: ThreadSanitizer checks that every access is ordered.
TEST_F(ServerCursorTest, WorkerAndUserInterfaceShareTheCursorSafely) {
    ServerCursor cursor(settings_);
    std::atomic<bool> stop{false};
    std::atomic<int> addressesSeen{0};
    std::thread worker([&] {
        while (!stop) {
            const std::string address = cursor.CurrentServerAddress();
            if (!address.empty()) {
                ++addressesSeen;
            }
            Advance(cursor);
        }
    });
    // Until both sides have done plenty, however slowly the worker's thread starts.
    for (int round = 0; round < 2000 || addressesSeen < 200; ++round) {
        ServerCatalogue edited;
        for (int i = 0; i <= round % 5; ++i) {
            edited.Add(ServerEntry("s" + std::to_string(i), "h" + std::to_string(i), 1));
        }
        cursor.Publish(edited, round % 5);
        cursor.CurrentServerTitle();
    }
    stop = true;
    worker.join();
    EXPECT_GT(addressesSeen.load(), 0);
    EXPECT_LT(cursor.CurrentIndex(), 5);
}

}  // namespace
