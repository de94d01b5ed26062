#include "sync/run_result.h"

#include <gtest/gtest.h>

#include "tests/support/calendar.h"
#include "tests/support/failed_result.h"

namespace {

TEST(RunResultTest, HistoryLineOfASuccessAndOfAFailure) {
    RunResult ok;
    ok.serverTitle = "Chrony";
    ok.host = "localhost";
    ok.address = "127.0.0.1";
    ok.offset = 0.0123456;
    ok.delay = 0.0005;
    ok.stratum = 8;
    ok.answered = true;
    ok.step = 30.0123456;
    ok.throughService = true;
    ok.secure = true;
    const HistoryEntry success =
        HistoryEntryOf(ok, RunKind::kManual, Calendar(2026, 12, 9, 9, 14, 3), "");
    EXPECT_EQ((HistoryEntry{"2026-12-09T09:14:03Z", "manual through the clock service", "Chrony",
                            "localhost", "127.0.0.1", "success", "+0.012346", "0.000500", "8",
                            "+30.012346", "", "nts"}),
              success);

    const HistoryEntry failure = HistoryEntryOf(Failed(FailureKind::kNoAnswer), RunKind::kScheduled,
                                                Calendar(2026, 1, 2), "why");
    EXPECT_EQ("failure", failure.result);
    EXPECT_EQ("", failure.offset);  // nothing measured
    EXPECT_EQ("", failure.step);
    EXPECT_EQ("why", failure.reason);

    // The server answered, but the clock refused its time: the measurement is kept.
    RunResult refused = Failed(FailureKind::kClockRefused);
    refused.answered = true;
    refused.delay = 0.25;
    const HistoryEntry measured =
        HistoryEntryOf(refused, RunKind::kManual, Calendar(2026, 1, 2), "");
    EXPECT_EQ("failure", measured.result);
    EXPECT_EQ("+0.000000", measured.offset);
    EXPECT_EQ("0.250000", measured.delay);
    EXPECT_EQ("0", measured.stratum);
    // Only a success says secure.
    refused.secure = true;
    EXPECT_EQ("", HistoryEntryOf(refused, RunKind::kManual, Calendar(2026, 1, 2), "").secure);
}

}  // namespace
