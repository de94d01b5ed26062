#include "sync/schedule_marks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "tests/support/calendar.h"
#include "tests/support/fake_clock.h"
#include "tests/support/run_harness.h"
#include "tests/support/set_option.h"

namespace {

TEST(ScheduleMarksTest, TheHourlyMarkStartsTwoHoursAheadAndOnlyHourlyFailuresMoveIt) {
    FakeClock clock;
    clock.SetLocalNow(Calendar(2026, 12, 7, 10, 0, 0));
    const ScheduleMarks marks(clock);
    EXPECT_EQ(0, WholeSeconds(marks.hourlyMark() -
                              *DateTime::FromSystemTime(Calendar(2026, 12, 7, 12, 0, 0))));

    for (const std::int32_t period : {Settings::kDaily, Settings::kHourly}) {
        RunHarness h;
        h.ServerDoes({.fault = Fault::kSilent});
        SetOption(h.settings, &UserOptions::nSynPeriod, period);
        const DateTime mark = h.marks.hourlyMark();
        EXPECT_FALSE(h.RunNow(RunKind::kScheduled).ok());
        EXPECT_EQ(period == Settings::kHourly ? 120 : 0, WholeMinutes(h.marks.hourlyMark() - mark))
            << period;
        EXPECT_EQ(1, h.cursor.currentServer()) << period;
    }
}

// A run writing both marks inside the gate while the user-interface thread reads them:
// ThreadSanitizer checks that every access is ordered by the marks' own lock.
TEST(ScheduleMarksTest, RunAndUserInterfaceShareTheMarksSafely) {
    FakeClock clock;
    clock.SetLocalNow(Calendar(2026, 12, 7, 10, 0, 0));
    ScheduleMarks marks(clock);
    RunGate gate;
    const RunGate::Generation run = gate.BeginRun();
    constexpr int kWrites = 1000;
    std::atomic<int> writes{0};
    std::thread worker([&] {
        for (int i = 0; i < kWrites; ++i) {
            gate.Apply(run, [&](const RunGate::Held& held) {
                marks.RestartWatchdog(held, clock.LocalTime());
                marks.ShiftHourlyMark(held);
            });
            ++writes;
        }
    });
    while (writes < kWrites) {
        marks.watchdogTime();
        marks.hourlyMark();
    }
    worker.join();
    EXPECT_EQ(2026, marks.watchdogTime().wYear);
    const DateTime start = *DateTime::FromSystemTime(Calendar(2026, 12, 7, 12, 0, 0));
    EXPECT_NEAR(kWrites * ScheduleMarks::kHourlyMarkShiftSeconds / 86400.0,
                marks.hourlyMark().days() - start.days(), 1e-6);
}

}  // namespace
