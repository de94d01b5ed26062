// The second opinion before a large step: the verdict, which servers are asked, and runs
// against a server that lies next to one that does not.
#include "sync/second_opinion.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/run_harness.h"
#include "tests/support/set_option.h"

namespace {

TEST(SecondOpinionTest, VerdictAgreesWithinASecondPlusBothDelays) {
    struct Row {
        OffsetMeasurement first;
        std::optional<OffsetMeasurement> second;
        SecondOpinionVerdict verdict;
    };
    using V = SecondOpinionVerdict;
    const Row rows[] = {
        {{10800.0, 0.01}, OffsetMeasurement{0.2, 0.01}, V::kDisagrees},
        {{-10800.0, 0.01}, OffsetMeasurement{0.2, 0.01}, V::kDisagrees},
        {{120.0, 0.01}, OffsetMeasurement{120.3, 0.02}, V::kAgrees},
        {{120.0, 0.25}, OffsetMeasurement{121.5, 0.25}, V::kAgrees},  // exactly at the limit
        {{120.0, 0.25}, OffsetMeasurement{121.501, 0.25}, V::kDisagrees},
        {{120.0, 0.0}, OffsetMeasurement{118.999, 0.0}, V::kDisagrees},
        {{120.0, 0.0}, std::nullopt, V::kUnconfirmed},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.verdict, JudgeSecondOpinion(row.first, row.second)) << row.first.offset;
    }
    EXPECT_FALSE(NeedsSecondOpinion(60.0));
    EXPECT_FALSE(NeedsSecondOpinion(-60.0));
    EXPECT_TRUE(NeedsSecondOpinion(60.001));
    EXPECT_TRUE(NeedsSecondOpinion(-60.001));
}

TEST(SecondOpinionTest, CandidatesFollowTheCurrentServerWithoutRepeatsAtMostThree) {
    using List = std::vector<std::size_t>;
    const std::vector<std::string> hosts = {"a", "B", "b", "[::1]", "c", "::1", "d", "A"};
    EXPECT_EQ((List{1, 3, 4}), SecondOpinionCandidates(hosts, "a", 0));
    EXPECT_EQ((List{7, 1, 3}), SecondOpinionCandidates(hosts, "d", 6));  // wraps past "a"
    EXPECT_EQ((List{1, 4}), SecondOpinionCandidates({"x", "::1", "[::1]", "X", "y"}, "x", 0));
    EXPECT_EQ((List{1, 3, 4}), SecondOpinionCandidates(hosts, "a", 99));  // from the first
    EXPECT_EQ(List{}, SecondOpinionCandidates({"a", "A"}, "a", 0));
    EXPECT_EQ(List{}, SecondOpinionCandidates({"a"}, "a", 0));
}

// A catalogue of the harness's server (127.0.0.1) first, then these, all on its port.
struct RunRow {
    const char* name;
    double firstAhead;  // seconds; below an hour unless the run fails

    // The other servers: one served on ::1 (on the harness's port; Wine refuses another
    // IPv4 loopback address there) with its clock this far ahead, or silent 127.0.0.9.
    std::vector<std::optional<double>> others;
    FailureKind failure;
    bool unconfirmed;
    const char* disagreeing;  // the title of the server that disagreed
    int secondRequests;       // of the one on ::1
};

// What the run reports; the sentences are the presentation's.
TEST(SecondOpinionTest, RunsBeforeALargeStep) {
    using K = FailureKind;
    const std::optional<double> silent;
    const RunRow rows[] = {
        {"three hours ahead next to an honest one",
         10800,
         {0.0},
         K::kDisagreement,
         false,
         "Second 0",
         1},
        {"a silent one, then an honest one",
         10800,
         {silent, 0.0},
         K::kDisagreement,
         false,
         "Second 1",
         1},
        {"both two minutes ahead", 120, {120.0}, K::kNone, false, "", 1},
        {"no second answer", 1800, {silent}, K::kNone, true, "", 0},
        {"one server only", -1800, {}, K::kNone, true, "", 0},
        {"under a minute off asks no one else", 59.5, {0.0}, K::kNone, false, "", 0},
    };
    for (const RunRow& row : rows) {
        RunHarness h(1);
        h.clock.Freeze();
        h.ServerDoes({.clockOffsetSeconds = row.firstAhead, .clock = &h.clock});
        SetOption(h.settings, &UserOptions::maxDiffMinutes, 0);
        std::unique_ptr<FaultSntpServer> other;
        for (const std::optional<double>& ahead : row.others) {
            if (ahead) {
                other = std::make_unique<FaultSntpServer>(
                    FaultConfig{.clockOffsetSeconds = *ahead, .clock = &h.clock},
                    net::Endpoint::Ipv6Loopback(h.server.port()));
            }
            h.settings.servers.With([&](ServerCatalogue& catalogue) {
                const std::string title = "Second " + std::to_string(catalogue.Size() - 1);
                catalogue.Add(ServerEntry(title, ahead ? other->address() : "127.0.0.9", 1));
            });
        }
        const RunResult result = h.RunNow(RunKind::kManual);
        EXPECT_EQ(row.failure, result.failure.kind) << row.name;
        EXPECT_EQ(row.unconfirmed, result.unconfirmed) << row.name;
        EXPECT_EQ(row.secondRequests, other ? other->requests() : 0) << row.name;
        const std::vector<RunEvent> boxed = h.reporter.boxed();
        ASSERT_EQ(1u, boxed.size()) << row.name;
        EXPECT_EQ(result.ok() ? RunEvent::Kind::kSucceeded : RunEvent::Kind::kFailed, boxed[0].kind)
            << row.name;
        if (result.ok()) {
            EXPECT_NEAR(row.firstAhead, h.clock.offset(), 0.05) << row.name;
            continue;
        }
        // Left alone, the other server named by its title, and on to the next server.
        EXPECT_TRUE(h.clock.sets().empty()) << row.name;
        const Failure& failure = boxed[0].result.failure;
        EXPECT_EQ(row.disagreeing, failure.otherServer) << row.name;
        EXPECT_EQ("::1", failure.otherAddress) << row.name;
        EXPECT_EQ(10800u, failure.secondsApart) << row.name;
        EXPECT_EQ(RunStep::kQuery, h.reporter.lastStatus()->step) << row.name;
        EXPECT_EQ(1, h.cursor.CurrentIndex()) << row.name;
    }
}

}  // namespace
