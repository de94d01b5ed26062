// "Next run" is the run made: for each state, the scheduler's status announces when the next
// scheduled run starts, and ticking once a simulated second, the first tick that starts a run
// comes exactly then (or none comes when none is announced).
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "tests/support/run_harness.h"
#include "tests/support/set_option.h"

namespace {

class NextRunCheck {
  public:
    NextRunCheck(int servers, std::int32_t period, std::int32_t offset, int hour, int minute)
        : h(servers) {
        SetOption(h.settings, &UserOptions::period, period);
        SetOption(h.settings, &UserOptions::offsetSeconds, offset);
        h.SetLocalTime(hour, minute, 0);
        h.clock.Freeze();
        h.RemakeScheduler();
        Answer();
    }

    void Answer(FaultConfig fault = {}) {
        if (fault.fault == Fault::kNone) {
            fault.clock = &h.clock;
        }
        h.ServerDoes(fault);
    }
    SyncRecord SynchronisedToday() {
        SyncRecord record;
        record.syncDate = h.clock.LocalTime();
        record.timeAfter = record.syncDate;
        h.scheduler->Restore(record);
        return record;
    }
    void Tick() {
        h.scheduler->Tick();
        h.WaitForRunEnd();
    }
    void ManualRun(FaultConfig fault) {
        Answer(fault);
        h.scheduler->StartManualRun();
        h.WaitForRunEnd();
        Answer();
    }
    void Seconds(double seconds) { h.clock.Advance(seconds); }

    // Seconds from now to the announced run; empty when none is announced.
    std::optional<int> Announced() {
        const StatusView view = h.status();
        if (!view.nextRun) {
            return std::nullopt;
        }
        return WholeSeconds(*view.nextRun - *DateTime::FromSystemTime(view.now));
    }
    // Ticks once a second: the seconds from now to the first tick that starts a run.
    std::optional<int> FirstStart(int limitSeconds) {
        for (int second = 0; second <= limitSeconds; ++second) {
            const int started = h.threads.started;
            h.scheduler->Tick();
            if (h.threads.started != started) {
                return second;
            }
            h.clock.Advance(1.0);
        }
        return std::nullopt;
    }

    RunHarness h;
};

constexpr int kMinute = 60;
constexpr int kHour = 60 * kMinute;
constexpr int kDaily = Settings::kDaily;
constexpr int kHourly = Settings::kHourly;
const FaultConfig kSilent{.fault = Fault::kSilent};
const FaultConfig kRate{.fault = Fault::kKissOfDeath, .kissCode = "RATE"};
const FaultConfig kDeny{.fault = Fault::kKissOfDeath, .kissCode = "DENY"};

TEST(ScheduleTest, NextRunIsTheFirstTickThatStartsARun) {
    struct Row {
        const char* state;
        int servers;
        std::int32_t period;
        std::int32_t offset;
        int hour, minute;
        int daySpread;  // what the random source draws for the day's start
        std::function<void(NextRunCheck&)> setup;
        std::optional<int> next;  // seconds from the end of the setup; none within two hours
    };
    const auto none = [](NextRunCheck&) {};
    const Row rows[] = {
        {"daily, never synchronised", 3, kDaily, 0, 10, 0, 0, none, 0},
        {"daily, done today: midnight", 3, kDaily, 0, 23, 50, 0,
         [](NextRunCheck& c) {
             c.SynchronisedToday();
             c.Tick();
         },
         10 * kMinute},
        {"daily, done today: the day's spread start", 3, kDaily, 0, 23, 50, 300,
         [](NextRunCheck& c) {
             c.SynchronisedToday();
             c.Tick();
         },
         15 * kMinute},
        {"daily, offset, due in the quiet window", 3, kDaily, 30, 23, 50, 0, none, 25 * kMinute},
        {"daily, offset, done today", 3, kDaily, 30, 23, 50, 0,
         [](NextRunCheck& c) {
             c.SynchronisedToday();
             c.Tick();
         },
         25 * kMinute},
        {"daily, offset, done today: the spread counts from 00:15", 3, kDaily, 30, 23, 50, 300,
         [](NextRunCheck& c) {
             c.SynchronisedToday();
             c.Tick();
         },
         30 * kMinute},
        {"daily, a program started on a day whose run is due", 3, kDaily, 0, 23, 59, 300,
         [](NextRunCheck& c) {
             const SyncRecord yesterday = c.SynchronisedToday();
             c.Tick();
             c.Seconds(4 * kMinute);
             c.h.RemakeScheduler();
             c.h.scheduler->Restore(yesterday);
         },
         0},
        {"daily, done, resumed after midnight before the spread start", 3, kDaily, 0, 23, 50, 600,
         [](NextRunCheck& c) {
             c.SynchronisedToday();
             c.Tick();
             c.Seconds(12 * kMinute);  // 00:02, asleep meanwhile
             c.h.scheduler->Resumed();
         },
         0},
        {"daily, resumed after today's run", 3, kDaily, 0, 10, 0, 0,
         [](NextRunCheck& c) {
             c.Tick();
             c.Seconds(kMinute);
             c.h.scheduler->Resumed();
         },
         0},
        {"daily, resumed 5 s after today's run: the 15 s rule", 1, kDaily, 0, 10, 0, 0,
         [](NextRunCheck& c) {
             c.Tick();
             c.Seconds(5);
             c.h.scheduler->Resumed();
         },
         10},
        {"daily, offset, resumed in the quiet window", 3, kDaily, 30, 23, 50, 0,
         [](NextRunCheck& c) {
             c.SynchronisedToday();
             c.Tick();
             c.h.scheduler->Resumed();
         },
         25 * kMinute},
        {"daily, offset, a pass pause that ends in the quiet window", 1, kDaily, 30, 23, 45, 0,
         [](NextRunCheck& c) {
             c.Seconds(30);
             c.Answer(kSilent);
             c.Tick();
         },
         29 * kMinute + 30},
        {"daily, 3 s after a failed manual run: the 15 s rule", 1, kDaily, 0, 10, 0, 0,
         [](NextRunCheck& c) {
             c.ManualRun(kSilent);
             c.Seconds(3);
         },
         12},
        {"daily, a pass over the catalogue failed: the pause", 1, kDaily, 0, 10, 0, 0,
         [](NextRunCheck& c) {
             c.Answer(kSilent);
             c.Tick();
         },
         kMinute},
        {"daily, the cursor's server left alone: the next one in play after it", 3, kDaily, 0, 10,
         0, 0,
         [](NextRunCheck& c) {
             c.ManualRun(kSilent);  // Server 0 asked
             c.Seconds(1);
             c.ManualRun(kRate);  // Server 1 left alone; Server 2 never asked
             c.h.scheduler->Publish(c.h.settings.servers.Copy(), 1);
         },
         0},
        {"daily, every server left alone after RATE", 2, kDaily, 0, 10, 0, 0,
         [](NextRunCheck& c) {
             c.Answer(kRate);
             c.Tick();
             c.Seconds(1);
             c.Tick();
         },
         15 * kMinute - 1},
        {"daily, done today, RATE past the day's start", 1, kDaily, 0, 23, 55, 0,
         [](NextRunCheck& c) {
             c.SynchronisedToday();
             c.Tick();
             c.ManualRun(kRate);
         },
         15 * kMinute},
        {"daily, every server refused", 1, kDaily, 0, 23, 0, 0,
         [](NextRunCheck& c) {
             c.Answer(kDeny);
             c.Tick();
         },
         std::nullopt},
        {"hourly, just started", 3, kHourly, 0, 10, 0, 0, none, 0},
        {"hourly, half an hour after a success", 3, kHourly, 0, 10, 0, 0,
         [](NextRunCheck& c) {
             c.Tick();
             c.Seconds(30 * kMinute);
         },
         30 * kMinute},
        {"hourly, offset, due in the quiet window", 3, kHourly, 30, 23, 10, 0,
         [](NextRunCheck& c) {
             c.Tick();  // its step set the clock 30 s ahead
             c.Seconds(30 * kMinute);
         },
         35 * kMinute - 30},
        {"hourly, a failed run, then the clock set two hours ahead", 3, kHourly, 0, 10, 0, 0,
         [](NextRunCheck& c) {
             c.Answer(kSilent);
             c.Tick();
             c.Answer();
             c.h.SetLocalTime(12, 0, 0);
         },
         0},
        {"only manual", 3, Settings::kOnlyManual, 0, 23, 0, 0, none, std::nullopt},
    };
    for (const Row& row : rows) {
        NextRunCheck check(row.servers, row.period, row.offset, row.hour, row.minute);
        check.h.dayStartSeconds = row.daySpread;
        row.setup(check);
        const std::optional<int> announced = check.Announced();
        EXPECT_EQ(row.next, announced) << row.state;
        EXPECT_EQ(announced, check.FirstStart(row.next.value_or(2 * kHour) + kMinute)) << row.state;
    }
}

}  // namespace
