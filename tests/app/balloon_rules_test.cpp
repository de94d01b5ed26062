// When the balloon speaks: which failures last, one balloon per cause until the state
// changes, one an hour, none while switched off.
#include "app/balloon_rules.h"

#include <gtest/gtest.h>

#include "tests/support/calendar.h"
#include "tests/support/failed_result.h"

namespace {

using std::chrono::minutes;

TEST(BalloonRulesTest, OnlyWhatTheNextRunWillNotMendLasts) {
    const struct {
        RunResult result;
        std::optional<BalloonCause> cause;
    } rows[] = {
        {Failed(FailureKind::kClockRefused), BalloonCause::kStepRefused},
        {FailedInService(FailureKind::kServiceSilent), BalloonCause::kStepRefused},
        {FailedInService(FailureKind::kServerNotApproved), BalloonCause::kPolicyRefused},
        {FailedInService(FailureKind::kOffsetAboveLimit), BalloonCause::kPolicyRefused},
        {FailedInService(FailureKind::kClockRefused), BalloonCause::kServiceRefused},
        {FailedInService(FailureKind::kConversionFailed), BalloonCause::kServiceRefused},
        {Failed(FailureKind::kConversionFailed), std::nullopt},  // the user's own offset
        {FailedInService(FailureKind::kNoAnswer), std::nullopt},
        {FailedInService(FailureKind::kPipeNotTheService), std::nullopt},
        {Failed(FailureKind::kNoAnswer), std::nullopt},
        {Kissed("DENY"), std::nullopt},  // the next server may serve
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.cause, LastingCauseOf(row.result))
            << static_cast<int>(row.result.failure.kind) << " " << row.result.throughService;
    }
}

// One program's life, minute by minute: what the status shows, and the balloon that follows.
TEST(BalloonRulesTest, OnePerCauseUntilTheStateChangesAndOneAnHour) {
    constexpr auto kSynchronised = TrayState::kSynchronised;
    constexpr auto kFailing = TrayState::kFailing;
    struct Step {
        int minute;
        TrayState state;
        std::optional<BalloonCause> balloon;
        bool otherTimeProgram = false;
        bool notify = true;
        int daysSinceSuccess = 10;
        FailureKind failure = FailureKind::kClockRefused;
    };
    const Step steps[] = {
        {0, kSynchronised, {}},
        {1, kFailing, BalloonCause::kStepRefused},
        {2, TrayState::kRunning, {}},  // the next run: no change of state
        {3, kFailing, {}},             // refused again: told already
        {30, kFailing, {}, true},      // within the hour
        {62, kFailing, BalloonCause::kFailingForAnHour, true},
        {123, kFailing, BalloonCause::kOtherTimeProgram, true},
        {190, kFailing, {}, true},
        {250, kFailing, {}, false, false, 15},  // switched off as the clock grows overdue
        {251, kFailing, BalloonCause::kOverdue, false, true, 15},
        {260, kSynchronised, {}, false, true, 0},
        {270, kFailing, {}, false, true, 0},  // refused anew, within the hour
        {312, kFailing, BalloonCause::kStepRefused, false, true, 0},
        {380, kSynchronised, {}, false, true, 0},
        {450, kFailing, {}, false, true, 0, FailureKind::kNoAnswer},  // mended by a later run
        {515, kFailing, BalloonCause::kFailingForAnHour, false, true, 0, FailureKind::kNoAnswer},
    };
    BalloonRules rules;
    const auto start = std::chrono::steady_clock::time_point{} + std::chrono::hours(1000);
    const DateTime now = *DateTime::FromSystemTime(Calendar(2026, 12, 9, 9, 0));
    for (const Step& step : steps) {
        StatusView status;
        status.lastAutomatic = Failed(step.failure);
        status.otherTimeProgram = step.otherTimeProgram;
        now.ToSystemTime(&status.now);
        status.lastSuccess = now.AddSeconds(-step.daysSinceSuccess * DateTime::kSecondsPerDay);
        status.maxDays = 14;
        EXPECT_EQ(step.balloon,
                  rules.Decide(status, step.state, step.notify, start + minutes(step.minute)))
            << step.minute;
    }
}

TEST(BalloonRulesTest, OverdueAtStartIsTheStartsOwnBoxButEveryServerRefusingIsTold) {
    StatusView status;
    status.now = Calendar(2026, 12, 9, 9, 0);
    status.lastSuccess = DateTime::FromSystemTime(Calendar(2026, 11, 1));
    status.maxDays = 14;
    BalloonRules rules;
    const auto start = std::chrono::steady_clock::time_point{} + std::chrono::hours(1000);
    EXPECT_EQ(std::nullopt, rules.Decide(status, TrayState::kOverdue, true, start));
    status.allServersRefused = true;
    EXPECT_EQ(BalloonCause::kAllServersRefused,
              rules.Decide(status, TrayState::kOverdue, true, start + minutes(1)));
}

}  // namespace
