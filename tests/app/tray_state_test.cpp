// The icon's state over results, schedules and the clock.
#include "app/tray_state.h"

#include <gtest/gtest.h>

#include "config/settings.h"
#include "tests/support/calendar.h"
#include "tests/support/failed_result.h"

namespace {

constexpr std::int32_t kDaily = Settings::kDaily;
constexpr std::int32_t kHourly = Settings::kHourly;
constexpr std::int32_t kManual = Settings::kOnlyManual;

struct Facts {
    std::int32_t period = kDaily;
    std::int32_t maxDays = 14;
    std::optional<SYSTEMTIME> success{};
    SYSTEMTIME now = Calendar(2026, 12, 9, 9, 20);
    std::optional<RunResult> last{};
    std::optional<RunResult> lastAutomatic{};
    bool running = false;
    std::optional<SYSTEMTIME> nextRun{};
};

StatusView ViewOf(const Facts& f) {
    StatusView view;
    view.period = f.period;
    view.maxDays = f.maxDays;
    if (f.success) {
        view.lastSuccess = DateTime::FromSystemTime(*f.success);
    }
    view.now = f.now;
    view.last = f.last;
    view.lastAutomatic = f.lastAutomatic;
    view.running = f.running;
    if (f.nextRun) {
        view.nextRun = DateTime::FromSystemTime(*f.nextRun);
    }
    return view;
}

TEST(TrayStateTest, DecidedFromResultsScheduleAndClock) {
    const RunResult ok;
    const RunResult refused = Failed(FailureKind::kClockRefused);
    const RunResult silent = Failed(FailureKind::kNoAnswer);
    struct Row {
        const char* what;
        Facts facts;
        TrayState state;
    };
    const Row rows[] = {
        {"daily, today", {.success = Calendar(2026, 12, 9, 0, 1)}, TrayState::kSynchronised},
        {"daily, a second before midnight",
         {.success = Calendar(2026, 12, 8, 0, 5), .now = Calendar(2026, 12, 8, 23, 59, 59)},
         TrayState::kSynchronised},
        {"daily, just after midnight: the day's run is due",
         {.success = Calendar(2026, 12, 8, 23, 59), .now = Calendar(2026, 12, 9, 0, 0, 30)},
         TrayState::kOverdue},
        {"daily, just after midnight, the day's random start still ahead",
         {.success = Calendar(2026, 12, 8, 23, 59),
          .now = Calendar(2026, 12, 9, 0, 0, 30),
          .nextRun = Calendar(2026, 12, 9, 0, 7)},
         TrayState::kSynchronised},
        {"daily, two days ago with the day's run still ahead",
         {.success = Calendar(2026, 12, 7, 23, 59),
          .now = Calendar(2026, 12, 9, 0, 0, 30),
          .nextRun = Calendar(2026, 12, 9, 0, 7)},
         TrayState::kOverdue},
        {"daily, a scheduled run failed after today's success",
         {.success = Calendar(2026, 12, 9, 0, 1), .last = refused, .lastAutomatic = refused},
         TrayState::kFailing},
        {"a manual success mends a failed scheduled run",
         {.success = Calendar(2026, 12, 9, 9, 0), .last = ok, .lastAutomatic = silent},
         TrayState::kSynchronised},
        {"a failed manual run leaves a kept schedule alone",
         {.success = Calendar(2026, 12, 9, 0, 1), .last = silent, .lastAutomatic = ok},
         TrayState::kSynchronised},
        {"never synchronised, scheduled run failed",
         {.last = silent, .lastAutomatic = silent},
         TrayState::kFailing},
        {"never synchronised", {}, TrayState::kOverdue},
        {"a run in progress outranks a failure",
         {.last = silent, .lastAutomatic = silent, .running = true},
         TrayState::kRunning},
        {"hourly, 119 minutes ago",
         {.period = kHourly, .success = Calendar(2026, 12, 9, 7, 21)},
         TrayState::kSynchronised},
        {"hourly, two hours ago",
         {.period = kHourly, .success = Calendar(2026, 12, 9, 7, 20)},
         TrayState::kOverdue},
        {"hourly across midnight",
         {.period = kHourly,
          .success = Calendar(2026, 12, 8, 23, 30),
          .now = Calendar(2026, 12, 9, 0, 10)},
         TrayState::kSynchronised},
        {"manual, 14 days and a bit",
         {.period = kManual, .success = Calendar(2026, 11, 25, 9, 0)},
         TrayState::kSynchronised},
        {"manual, 15 days",
         {.period = kManual, .success = Calendar(2026, 11, 24, 9, 20)},
         TrayState::kOverdue},
        {"manual without a limit",
         {.period = kManual, .maxDays = 0, .success = Calendar(2020, 1, 1)},
         TrayState::kSynchronised},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.state, DecideTrayState(ViewOf(row.facts))) << row.what;
    }
}

}  // namespace
