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

// Due now is a state of its own: no move of the clock can make it "not due".
TEST(ScheduleMarksTest, AnHourlyRunIsDueFromTheStartAndAfterEveryFailedHourlyRun) {
    EXPECT_FALSE(ScheduleMarks().HourlyMark());

    for (const std::int32_t period : {Settings::kDaily, Settings::kHourly}) {
        RunHarness h;
        h.ServerDoes({.fault = Fault::kSilent});
        SetOption(h.settings, &UserOptions::period, period);
        const DateTime mark = *DateTime::FromSystemTime(Calendar(2026, 12, 7, 10, 0, 0));
        h.gate.Apply(RunGate::kAlways,
                     [&](const RunGate::Held& held) { h.marks.SetHourlyMark(held, mark); });
        EXPECT_FALSE(h.RunNow(RunKind::kScheduled).ok());
        EXPECT_EQ(period == Settings::kHourly, !h.marks.HourlyMark()) << period;
        EXPECT_EQ(1, h.cursor.CurrentIndex()) << period;
    }
}

// The run reads the period once, at its start: an hourly schedule chosen meanwhile is not
// the run's.
TEST(ScheduleMarksTest, AFailedRunGoesByThePeriodItStartedWith) {
    RunHarness h;
    h.ServerDoes({.fault = Fault::kSilent});
    const DateTime mark = *DateTime::FromSystemTime(Calendar(2026, 12, 7, 10, 0, 0));
    h.gate.Apply(RunGate::kAlways,
                 [&](const RunGate::Held& held) { h.marks.SetHourlyMark(held, mark); });
    std::thread run([&] { EXPECT_FALSE(h.RunNow(RunKind::kScheduled).ok()); });
    while (h.server.requests() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    SetOption(h.settings, &UserOptions::period, Settings::kHourly);
    run.join();
    EXPECT_TRUE(h.marks.HourlyMark());
}

// A run writing both marks inside the gate while the user-interface thread reads them:
// ThreadSanitizer checks that every access is ordered by the marks' own lock.
TEST(ScheduleMarksTest, RunAndUserInterfaceShareTheMarksSafely) {
    FakeClock clock;
    clock.SetLocalNow(Calendar(2026, 12, 7, 10, 0, 0));
    ScheduleMarks marks;
    RunGate gate;
    const RunGate::Generation run = gate.BeginRun();
    const DateTime mark = *DateTime::FromSystemTime(Calendar(2026, 12, 7, 10, 0, 0));
    constexpr int kWrites = 1000;
    std::atomic<int> writes{0};
    std::thread worker([&] {
        for (int i = 0; i < kWrites; ++i) {
            gate.Apply(run, [&](const RunGate::Held& held) {
                marks.RestartWatchdog(held, clock.LocalTime());
                marks.MakeHourlyRunDue(held);
                marks.SetHourlyMark(held, mark.AddSeconds(i));
            });
            ++writes;
        }
    });
    while (writes < kWrites) {
        marks.WatchdogTime();
        marks.HourlyMark();
    }
    worker.join();
    EXPECT_EQ(2026, marks.WatchdogTime().wYear);
    EXPECT_EQ(kWrites - 1, WholeSeconds(*marks.HourlyMark() - mark));
}

}  // namespace
