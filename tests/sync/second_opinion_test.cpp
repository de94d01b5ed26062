// The second opinion before a large step: the verdict, which servers are asked, and runs
// against a server that lies next to one that does not.
#include "sync/second_opinion.h"

#include <gtest/gtest.h>

#include <memory>

#include "app/presentation.h"
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
    std::string box;     // a manual run's one box
    int secondRequests;  // of the one on ::1
};

TEST(SecondOpinionTest, RunsBeforeALargeStep) {
    const std::string disagrees =
        "Second 0 (::1) disagrees by 10800 s; the clock was left "
        "alone.\n\nServer 0 (127.0.0.1).";
    const std::optional<double> silent;
    const RunRow rows[] = {
        {"three hours ahead next to an honest one",
         10800,
         {0.0},
         FailureKind::kDisagreement,
         false,
         disagrees,
         1},
        {"a silent one, then an honest one",
         10800,
         {silent, 0.0},
         FailureKind::kDisagreement,
         false,
         "Second 1 (::1) disagrees by 10800 s; the clock was left alone.\n\nServer 0 "
         "(127.0.0.1).",
         1},
        {"both two minutes ahead",
         120,
         {120.0},
         FailureKind::kNone,
         false,
         presentation::kSuccessBox,
         1},
        {"no second answer",
         1800,
         {silent},
         FailureKind::kNone,
         true,
         presentation::kSuccessBox,
         0},
        {"one server only", -1800, {}, FailureKind::kNone, true, presentation::kSuccessBox, 0},
        {"under a minute off asks no one else",
         59.5,
         {0.0},
         FailureKind::kNone,
         false,
         presentation::kSuccessBox,
         0},
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
        EXPECT_EQ(std::vector<std::string>{row.box}, h.boxes.texts()) << row.name;
        EXPECT_EQ(row.secondRequests, other ? other->requests() : 0) << row.name;
        if (result.ok()) {
            EXPECT_NEAR(row.firstAhead, h.clock.offset(), 0.05) << row.name;
            EXPECT_EQ(row.unconfirmed ? presentation::kNotConfirmed : "",
                      h.reporter.HistoryReason(result))
                << row.name;
            continue;
        }
        // Left alone, told in the status line and the history, and on to the next server.
        EXPECT_TRUE(h.clock.sets().empty()) << row.name;
        const std::string reason = row.box.substr(0, row.box.find('\n'));
        EXPECT_EQ(0u, h.record().connectStatus.find(reason)) << h.record().connectStatus;
        EXPECT_EQ(reason, h.reporter.HistoryReason(result)) << row.name;
        EXPECT_EQ(1, h.cursor.CurrentIndex()) << row.name;
    }
}

}  // namespace
