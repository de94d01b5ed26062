#include "sync/automatic_requests.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/calendar.h"
#include "tests/support/failed_result.h"
#include "tests/support/memory_profile_store.h"
#include "tests/support/set_option.h"

namespace {

using std::chrono::seconds;
using TimePoint = AutomaticRequests::TimePoint;

const TimePoint kStart = TimePoint{} + std::chrono::hours(1000);

class Requests {
  public:
    explicit Requests(int servers) {
        settings.servers.With([&](ServerCatalogue& catalogue) {
            for (int i = 0; i < servers; ++i) {
                catalogue.Add(ServerEntry("Server " + std::to_string(i), "192.0.2.1", 1));
            }
        });
    }

    // Only secure servers may be asked, and the one at index is the catalogue's only one.
    void OnlySecure(int index) {
        settings.servers.With([&](ServerCatalogue& catalogue) {
            ServerEntry secure = catalogue.At(index);
            secure.nts = true;
            secure.address = "nts.example";
            std::vector<ServerEntry> entries;
            for (int i = 0; i < catalogue.Size(); ++i) {
                entries.push_back(i == index ? secure : catalogue.At(i));
            }
            catalogue.Clear();
            for (const ServerEntry& entry : entries) {
                catalogue.Add(entry);
            }
        });
        SetOption(settings, &UserOptions::onlySecure, true);
    }
    void PointAt(int server) { cursor.Publish(settings.servers.Copy(), server); }
    // A run of the kind asked the server and came to result, seconds after the start.
    void Ran(int server, const RunResult& result, int at, RunKind kind = RunKind::kScheduled) {
        PointAt(server);
        const std::string key = requests.NextServer();
        Held([&](const RunGate::Held& held) {
            requests.RunEnded(key, result, kind, kStart + seconds(at), held);
        });
    }
    AutomaticRequests::Hold HeldBack(int at) {
        AutomaticRequests::Hold hold;
        Held([&](const RunGate::Held& held) {
            hold = requests.HeldBack(kStart + seconds(at), held);
        });
        return hold;
    }
    std::optional<int> WaitSeconds(int at) {
        const std::optional<AutomaticRequests::Duration> wait = HeldBack(at).wait;
        if (!wait) {
            return std::nullopt;
        }
        return static_cast<int>(std::chrono::duration_cast<seconds>(*wait).count());
    }
    int Starting(int at) {
        Held([&](const RunGate::Held& held) { requests.Starting(kStart + seconds(at), held); });
        return cursor.CurrentIndex();
    }
    void Held(const std::function<void(const RunGate::Held&)>& use) {
        gate.Apply(RunGate::kAlways, use);
    }

    MemoryProfileStore store;
    Settings settings{store};
    ServerCursor cursor{settings};
    RunGate gate;
    int drawn = 0;
    AutomaticRequests requests{settings.servers, cursor,
                               [this](int bound) {
                                   ++drawn;
                                   return bound - 1;
                               },
                               [this] { return settings.Options().onlySecure; }};
};

// How long a scheduled run waits, and the server it then asks: the cursor's, or the next one
// in play after it, in both answers alike.
TEST(AutomaticRequestsTest, AScheduledRunWaitsForTheNextServerInPlayAndAsksIt) {
    struct Row {
        const char* state;
        std::function<void(Requests&)> arrange;  // three servers; "now" is 20 s on
        int cursor;
        std::optional<int> wait;  // seconds; empty: never
        bool noneInPlay;
        int asks;
    };
    const Row rows[] = {
        {"nothing asked yet", [](Requests&) {}, 0, 0, false, 0},
        {"the cursor's asked 10 s ago",
         [](Requests& r) { r.Ran(0, Failed(FailureKind::kNoAnswer), 10); }, 0, 5, false, 0},
        {"the cursor's left alone: the next after it",
         [](Requests& r) {
             r.Ran(0, Failed(FailureKind::kNoAnswer), 10);
             r.Ran(1, Kissed("RATE"), 11);
         },
         1, 0, false, 2},
        {"the last left alone: on to the first",
         [](Requests& r) {
             r.Ran(0, Failed(FailureKind::kNoAnswer), 10);
             r.Ran(2, Kissed("DENY"), 11);
         },
         2, 5, false, 0},
        {"a whole pass failed: the pause",
         [](Requests& r) {
             for (const int server : {0, 1, 2}) {
                 r.Ran(server, Failed(FailureKind::kNoAnswer), server);
             }
         },
         0, 42, false, 0},
        {"every server left alone: the first RATE to end",
         [](Requests& r) {
             r.Ran(0, Kissed("RATE"), 2);
             r.Ran(1, Kissed("RATE"), 1);
             r.Ran(2, Kissed("DENY"), 0);
         },
         0, 15 * 60 + 1 - 20, true, 1},
        {"every server refused",
         [](Requests& r) {
             for (const int server : {0, 1, 2}) {
                 r.Ran(server, Kissed("RSTR"), 0);
             }
         },
         0, std::nullopt, true, 0},
        {"only secure: the plain cursor's gives way", [](Requests& r) { r.OnlySecure(1); }, 0, 0,
         false, 1},
        {"only secure: its one server failed, a whole pass, though the plain ones are free",
         [](Requests& r) {
             r.OnlySecure(1);
             r.Ran(1, Failed(FailureKind::kNtsTlsFailed), 10);
         },
         2, 50, false, 1},
    };
    for (const Row& row : rows) {
        Requests r(3);
        row.arrange(r);
        r.PointAt(row.cursor);
        EXPECT_EQ(row.wait, r.WaitSeconds(20)) << row.state;
        EXPECT_EQ(row.noneInPlay, r.HeldBack(20).noneInPlay) << row.state;
        EXPECT_EQ(row.asks, r.Starting(20 + row.wait.value_or(0))) << row.state;
    }
}

// What a run notes: a request that went out paces the server, a failure before it does not;
// a kiss code the service got counts as one the run got; a user's run never starts a pause.
TEST(AutomaticRequestsTest, WhatARunNotesOfTheServerItAsked) {
    const RunResult serviceKissed = Kissed("DENY", true);
    struct Row {
        const char* what;
        RunResult result;
        RunKind kind;
        // One server, a second later: the wait, the wait once the pause is ended, and whether
        // a scheduled run may ask it for a second opinion.
        std::optional<int> wait, waitWithoutPause;
        bool mayAsk;
    };
    const Row rows[] = {
        {"a success", RunResult{}, RunKind::kScheduled, 14, 14, false},
        {"the web probe failed", Failed(FailureKind::kUrlOpen), RunKind::kManual, 0, 0, true},
        {"the service was silent", Failed(FailureKind::kServiceSilent), RunKind::kScheduled, 59, 0,
         true},
        {"no answer, a manual run", Failed(FailureKind::kNoAnswer), RunKind::kManual, 14, 14,
         false},
        {"no answer, after a resume", Failed(FailureKind::kNoAnswer), RunKind::kAfterResume, 59, 14,
         false},
        {"the service got DENY", serviceKissed, RunKind::kScheduled, std::nullopt, std::nullopt,
         false},
    };
    for (const Row& row : rows) {
        Requests r(1);
        r.Ran(0, row.result, 0, row.kind);
        EXPECT_EQ(row.wait, r.WaitSeconds(1)) << row.what;
        r.Held([&](const RunGate::Held& held) {
            EXPECT_EQ(!row.wait, r.requests.AllRefused(held)) << row.what;
            EXPECT_EQ(row.mayAsk,
                      r.requests.MayAsk("Server 0", "192.0.2.1", kStart + seconds(1), held))
                << row.what;
            r.requests.EndPause(held);
        });
        EXPECT_EQ(row.waitWithoutPause, r.WaitSeconds(1)) << row.what;
    }
}

TEST(AutomaticRequestsTest, TheDaysStartIsDrawnOnceADayItsRunIsSeenDone) {
    Requests r(1);
    EXPECT_FALSE(r.requests.daySpread());
    r.requests.DayDone(Calendar(2026, 12, 7, 10));
    r.requests.DayDone(Calendar(2026, 12, 7, 11));
    ASSERT_TRUE(r.requests.daySpread());
    EXPECT_EQ(1, r.drawn);
    EXPECT_EQ(20261207, r.requests.daySpread()->doneDay);
    EXPECT_EQ(AutomaticRequests::kDayStartSpreadSeconds - 1, r.requests.daySpread()->seconds);
    r.requests.DayDone(Calendar(2026, 12, 8, 0, 2));
    EXPECT_EQ(2, r.drawn);
    r.requests.DropDaySpread();
    EXPECT_FALSE(r.requests.daySpread());
}

}  // namespace
