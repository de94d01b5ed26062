// When the balloon speaks: which failures last, one balloon per cause until the state
// changes, one an hour, none while switched off.
#include "app/balloon_rules.h"

#include <gtest/gtest.h>

#include "platform/clock_service_protocol.h"
#include "tests/support/calendar.h"
#include "tests/support/failed_result.h"

namespace {

using std::chrono::minutes;
using std::chrono::seconds;

RunResult ServiceSaid(ClockServiceFailure failure) {
    return Failed(RunFailure::kServiceFailed, EncodeClockServiceReason({failure, 5, "x"}));
}

TEST(BalloonRulesTest, OnlyWhatTheNextRunWillNotMendLasts) {
    RunResult timedOut = Failed(RunFailure::kServiceFailed);
    timedOut.service.outcome = ClockServiceAnswer::Outcome::kTimedOut;
    const struct {
        RunResult result;
        std::optional<BalloonCause> cause;
    } rows[] = {
        {Failed(RunFailure::kClockRefused, {}, 1314), BalloonCause::kStepRefused},
        {Failed(RunFailure::kServiceSilent), BalloonCause::kStepRefused},
        {ServiceSaid(ClockServiceFailure::kServerNotApproved), BalloonCause::kPolicyRefused},
        {ServiceSaid(ClockServiceFailure::kOffsetAboveLimit), BalloonCause::kPolicyRefused},
        {ServiceSaid(ClockServiceFailure::kClockRefused), BalloonCause::kServiceRefused},
        {ServiceSaid(ClockServiceFailure::kNoAnswer), std::nullopt},
        {ServiceSaid(ClockServiceFailure::kDisagreement), std::nullopt},
        {timedOut, std::nullopt},
        {Failed(RunFailure::kNoAnswer), std::nullopt},
        {Failed(RunFailure::kKissOfDeath, "DENY"), std::nullopt},  // the next server may serve
        {Failed(RunFailure::kDisagreement), std::nullopt},
        {RunResult{}, std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.cause, LastingCauseOf(row.result)) << static_cast<int>(row.result.failure);
    }
}

// One program's life, step by step: what the status shows, and the balloon that follows.
TEST(BalloonRulesTest, OnePerCauseUntilTheStateChangesAndOneAnHour) {
    const RunResult refused = Failed(RunFailure::kClockRefused, {}, 1314);
    const RunResult silent = Failed(RunFailure::kNoAnswer);
    const SYSTEMTIME now = Calendar(2026, 12, 9, 9, 0);
    const SYSTEMTIME tenDaysAgo = Calendar(2026, 11, 29, 9, 0);
    const SYSTEMTIME fifteenDaysAgo = Calendar(2026, 11, 24, 9, 0);
    struct Step {
        const char* what;
        std::chrono::steady_clock::duration at;
        TrayState state;
        std::optional<RunResult> lastAutomatic;
        bool otherTimeProgram;
        bool notify;
        SYSTEMTIME success;
        std::optional<BalloonCause> balloon;
    };
    const Step steps[] = {
        {"synchronised",
         seconds(0),
         TrayState::kSynchronised,
         {},
         false,
         true,
         tenDaysAgo,
         std::nullopt},
        {"the step was refused", seconds(1), TrayState::kFailing, refused, false, true, tenDaysAgo,
         BalloonCause::kStepRefused},
        {"the next run", seconds(60), TrayState::kRunning, refused, false, true, tenDaysAgo,
         std::nullopt},
        {"refused again: told already", seconds(70), TrayState::kFailing, refused, false, true,
         tenDaysAgo, std::nullopt},
        {"within the hour", minutes(30), TrayState::kFailing, refused, true, true, tenDaysAgo,
         std::nullopt},
        {"failing for an hour", minutes(62), TrayState::kFailing, refused, true, true, tenDaysAgo,
         BalloonCause::kFailingForAnHour},
        {"the other program, an hour later", minutes(123), TrayState::kFailing, refused, true, true,
         tenDaysAgo, BalloonCause::kOtherTimeProgram},
        {"nothing new", minutes(190), TrayState::kFailing, refused, true, true, tenDaysAgo,
         std::nullopt},
        {"switched off", minutes(250), TrayState::kFailing, refused, true, false, fifteenDaysAgo,
         std::nullopt},
        {"switched on: the clock grew overdue meanwhile", minutes(251), TrayState::kFailing,
         refused, false, true, fifteenDaysAgo, BalloonCause::kOverdue},
        {"a success changes the state",
         minutes(260),
         TrayState::kSynchronised,
         {},
         false,
         true,
         now,
         std::nullopt},
        {"refused anew, within the hour", minutes(270), TrayState::kFailing, refused, false, true,
         now, std::nullopt},
        {"refused anew, an hour on", minutes(312), TrayState::kFailing, refused, false, true, now,
         BalloonCause::kStepRefused},
        {"a success", minutes(380), TrayState::kSynchronised, {}, false, true, now, std::nullopt},
        {"an ordinary failure says nothing at once", minutes(450), TrayState::kFailing, silent,
         false, true, now, std::nullopt},
        {"until it has lasted an hour", minutes(515), TrayState::kFailing, silent, false, true, now,
         BalloonCause::kFailingForAnHour},
    };
    BalloonRules rules;
    const auto start = std::chrono::steady_clock::time_point{} + std::chrono::hours(1000);
    for (const Step& step : steps) {
        StatusView status;
        status.lastAutomatic = step.lastAutomatic;
        status.otherTimeProgram = step.otherTimeProgram;
        status.lastSuccess = DateTime::FromSystemTime(step.success);
        status.now = now;
        status.maxDays = 14;
        EXPECT_EQ(step.balloon, rules.Decide(status, step.state, step.notify, start + step.at))
            << step.what;
    }
}

TEST(BalloonRulesTest, OverdueAtStartAndEveryServerRefusing) {
    StatusView status;
    status.now = Calendar(2026, 12, 9, 9, 0);
    status.lastSuccess = DateTime::FromSystemTime(Calendar(2026, 11, 1));
    status.maxDays = 14;
    BalloonRules rules;
    const auto start = std::chrono::steady_clock::time_point{} + std::chrono::hours(1000);
    // Overdue when the program started: the start's own box says so.
    EXPECT_EQ(std::nullopt, rules.Decide(status, TrayState::kOverdue, true, start));
    status.allServersRefused = true;
    EXPECT_EQ(BalloonCause::kAllServersRefused,
              rules.Decide(status, TrayState::kOverdue, true, start + minutes(1)));
}

}  // namespace
