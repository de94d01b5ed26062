#include "sync/sync_scheduler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <regex>
#include <thread>

#include "config/last_success.h"
#include "tests/support/calendar.h"
#include "tests/support/run_harness.h"
#include "tests/support/set_option.h"

namespace {

template <typename Condition>
bool WaitFor(Condition condition, int milliseconds = 10000) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class SchedulerTest : public testing::Test {
  protected:
    explicit SchedulerTest(std::uint32_t sntpTimeoutMs = RunHarness::kSntpTimeoutMs)
        : h(3, sntpTimeoutMs) {
        // Simulated time moves only when a test says so, from a whole second on.
        h.SetLocalTime(10, 0, 0);
        h.clock.Freeze();
        // The scheduler was made at the real time of day; it starts anew at 10:00.
        h.RemakeScheduler();
        h.ServerDoes({.clock = &h.clock});  // the server agrees with the simulated clock
    }

    SyncScheduler& scheduler() { return *h.scheduler; }
    void TickAndWait() {
        scheduler().Tick();
        h.WaitForRunEnd();
    }
    void Minutes(double minutes) { h.clock.Advance(minutes * 60.0); }
    void ForgetTodaysSynchronisation() { scheduler().Restore(SyncRecord()); }
    bool running() { return h.status().running; }
    SyncRecord record() { return h.status().record; }
    // The server the next run asks.
    std::string server() { return h.status().serverTitle; }
    static std::string ServerTitle(int index) { return "Server " + std::to_string(index); }

    RunHarness h;
};

// Runs that stay in their query until something stops them.
class StuckRunTest : public SchedulerTest {
  protected:
    StuckRunTest() : SchedulerTest(60000) { h.ServerDoes({.fault = Fault::kSilent}); }
    void WaitUntilQuerying(int requests) {
        ASSERT_TRUE(WaitFor([&] { return h.server.requests() >= requests; }));
    }
    // Far below the query's own time-out: only an interrupted wait ends this quickly.
    void ExpectAbandonedRunsEndSoon() {
        EXPECT_TRUE(WaitFor([&] { return scheduler().AbandonedWorkers() == 0; }, 5000));
    }
};

TEST_F(SchedulerTest, HourlyRunsAtOnceThenWhenTheMarkIsSixtyMinutesOld) {
    SetOption(h.settings, &UserOptions::period, Settings::kHourly);
    TickAndWait();
    EXPECT_EQ(1, h.threads.started);
    EXPECT_EQ(0u, record().connectStatus.find("Success synchro: "));

    scheduler().Tick();
    Minutes(59);
    scheduler().Tick();
    h.clock.Advance(59.0);  // 59:59 counts 59 minutes
    scheduler().Tick();
    EXPECT_EQ(1, h.threads.started);
    h.clock.Advance(1.0);  // 60:00, as many minutes as an hour forward counts
    TickAndWait();
    EXPECT_EQ(2, h.threads.started);
}

TEST_F(SchedulerTest, HourlyClockSetBackByMoreThanAnHourRunsAtOnce) {
    SetOption(h.settings, &UserOptions::period, Settings::kHourly);
    TickAndWait();
    Minutes(-70);
    h.clock.Advance(15.0);  // no server is asked again within 15 s
    TickAndWait();
    EXPECT_EQ(2, h.threads.started);
}

TEST_F(SchedulerTest, HourlyFailedRunMovesTheMarkSoTheNextTickRunsTheNextServer) {
    SetOption(h.settings, &UserOptions::period, Settings::kHourly);
    h.ServerDoes({.fault = Fault::kSilent});
    TickAndWait();
    EXPECT_EQ(ServerTitle(1), server());
    TickAndWait();
    EXPECT_EQ(2, h.threads.started);
    EXPECT_EQ(ServerTitle(2), server());
}

TEST_F(SchedulerTest, HourlyWithoutAConnectionSaysSoOnEveryTick) {
    SetOption(h.settings, &UserOptions::period, Settings::kHourly);
    h.connectivity.connected = false;
    scheduler().Tick();
    const std::string status = record().connectStatus;
    EXPECT_TRUE(std::regex_match(
        status, std::regex("Net connection is absent! \\d\\d:\\d\\d; [A-Za-z]+ \\d\\d, \\d{4}")))
        << status;
    scheduler().BreakRun("Broken by the user.");
    scheduler().Tick();
    EXPECT_EQ(status, record().connectStatus);  // said again
    EXPECT_EQ(0, h.threads.started);
}

TEST_F(SchedulerTest, DailyWithoutAConnectionTriesSilently) {
    h.connectivity.connected = false;
    scheduler().Tick();
    scheduler().Tick();
    EXPECT_EQ("", record().connectStatus);
    EXPECT_EQ(2, h.connectivity.asked);
    EXPECT_EQ(0, h.threads.started);
}

// The status tells the window when today's run is done, which "Exit after synchronization."
// waits for.
TEST_F(SchedulerTest, DailyRunsOnceADayAndTheStatusTellsWhenTodaysRunIsDone) {
    EXPECT_FALSE(h.status().todaysRunDone);
    TickAndWait();
    EXPECT_EQ(1, h.threads.started);
    EXPECT_TRUE(h.status().todaysRunDone);
    scheduler().Tick();
    EXPECT_EQ(1, h.threads.started);

    Minutes(24 * 60);  // the next day
    EXPECT_FALSE(h.status().todaysRunDone);
    TickAndWait();
    EXPECT_EQ(2, h.threads.started);
    EXPECT_TRUE(h.status().todaysRunDone);
    SetOption(h.settings, &UserOptions::period, Settings::kHourly);
    EXPECT_FALSE(h.status().todaysRunDone);  // only a daily schedule has a day's run
}

TEST_F(SchedulerTest, DailyRunsWhenTheLastSynchronisationWasOnAnotherCalendarDay) {
    struct Case {
        SYSTEMTIME synced, now;
        bool runs;
    };
    for (const Case& c : {Case{Calendar(2025, 12, 31, 23, 59, 59), Calendar(2026, 1, 1), true},
                          Case{Calendar(2025, 1, 1, 9), Calendar(2026, 1, 1, 10), true},
                          Case{Calendar(2025, 12, 1, 9), Calendar(2026, 1, 1, 10), true},
                          Case{Calendar(2026, 1, 1), Calendar(2026, 1, 1, 23, 59, 59), false}}) {
        SyncRecord record;
        record.syncDate = c.synced;
        scheduler().Restore(record);
        h.clock.Advance(15.0);  // no server is asked again within 15 s
        h.clock.SetLocalNow(c.now);
        const int before = h.threads.started;
        TickAndWait();
        EXPECT_EQ(c.runs ? 1 : 0, h.threads.started - before)
            << c.synced.wYear << "-" << c.synced.wMonth << "-" << c.synced.wDay;
    }
}

TEST_F(SchedulerTest, OnlyManualNeverSchedules) {
    for (const std::int32_t period : {std::int32_t{Settings::kOnlyManual}, std::int32_t{7}}) {
        SetOption(h.settings, &UserOptions::period, period);
        h.connectivity.connected = false;
        scheduler().Tick();
        Minutes(25 * 60);
        scheduler().Tick();
    }
    EXPECT_EQ(0, h.threads.started);
    EXPECT_EQ(0, h.connectivity.asked);
    EXPECT_EQ("", record().connectStatus);
}

TEST_F(SchedulerTest, QuietWindowAroundMidnightOnlyWithAnOffset) {
    SetOption(h.settings, &UserOptions::offsetSeconds, 30);
    struct Moment {
        int hour, minute, second;
        bool runs;
    };
    const Moment moments[] = {{23, 46, 0, false},
                              {23, 59, 59, false},
                              {0, 14, 59, false},
                              {0, 15, 0, true},
                              {23, 45, 59, true}};
    int runs = 0;
    for (const Moment& m : moments) {
        ForgetTodaysSynchronisation();
        h.clock.Advance(15.0);  // no server is asked again within 15 s
        h.SetLocalTime(m.hour, m.minute, m.second);
        TickAndWait();
        runs += m.runs ? 1 : 0;
        EXPECT_EQ(runs, h.threads.started) << m.hour << ":" << m.minute << ":" << m.second;
    }
    SetOption(h.settings, &UserOptions::offsetSeconds, 0);
    ForgetTodaysSynchronisation();
    h.clock.Advance(15.0);
    h.SetLocalTime(23, 50, 0);
    TickAndWait();
    EXPECT_EQ(runs + 1, h.threads.started);
}

TEST_F(SchedulerTest, FailuresWalkThroughTheCatalogueAndWrap) {
    h.ServerDoes({.fault = Fault::kSilent});
    for (const int expected : {1, 2, 0, 1}) {
        if (expected == 1 && h.threads.started == 3) {
            Minutes(1);  // the pause after a whole pass
        }
        TickAndWait();
        EXPECT_EQ(ServerTitle(expected), server());
    }
    EXPECT_EQ(4, h.threads.started);
}

TEST_F(SchedulerTest, AManualSuccessIsTheDaysSynchronisationAndTheNextDayRunsAgain) {
    scheduler().StartManualRun();
    h.WaitForRunEnd();
    ASSERT_EQ(0u, record().connectStatus.find("Success synchro: "));
    for (int tick = 0; tick < 5; ++tick) {
        Minutes(60);
        scheduler().Tick();  // the same day: no scheduled run
    }
    EXPECT_EQ(1, h.threads.started);
    Minutes(24 * 60);
    TickAndWait();
    EXPECT_EQ(2, h.threads.started);
    EXPECT_EQ(1, h.probe.probes);           // only the manual run probes the web
    EXPECT_EQ(1u, h.boxes.boxes().size());  // only the manual run says so
}

TEST_F(SchedulerTest, SynchronizeNowTwiceStartsOneRun) {
    h.ServerDoes({.holdMs = 300, .clock = &h.clock});
    scheduler().StartManualRun();
    scheduler().StartManualRun();
    h.WaitForRunEnd();
    EXPECT_EQ(1, h.threads.started);
    EXPECT_EQ(1, h.server.requests());
    // A manual run ignores the period and the day, and does not move the hourly mark.
    SetOption(h.settings, &UserOptions::period, Settings::kHourly);
    h.clock.Advance(15.0);  // no server is asked again within 15 s
    TickAndWait();          // the hourly run: the next is due an hour later
    const std::optional<DateTime> next = h.status().nextRun;
    ASSERT_TRUE(next);
    Minutes(5);
    scheduler().StartManualRun();
    h.WaitForRunEnd();
    EXPECT_EQ(3, h.threads.started);
    EXPECT_EQ(next->days(), h.status().nextRun->days());
}

// One call shows the record, the last result and the server the next run asks, each in
// line with the others.
TEST_F(SchedulerTest, TheStatusViewShowsOneRunInEveryField) {
    const StatusView before = h.status();
    EXPECT_FALSE(before.last);
    EXPECT_EQ(0, before.runsEnded);
    EXPECT_EQ(ServerTitle(0), before.serverTitle);
    EXPECT_EQ("", before.record.connectStatus);
    for (const bool answers : {false, true}) {
        h.ServerDoes(answers ? FaultConfig{.clock = &h.clock}
                             : FaultConfig{.fault = Fault::kSilent});
        Minutes(1);
        scheduler().StartManualRun();
        h.WaitForRunEnd();
        const StatusView after = h.status();
        ASSERT_TRUE(after.last) << answers;
        EXPECT_EQ(answers, after.last->ok()) << answers;
        // The failure asked the first server and moved on to the next, where the success stays.
        EXPECT_EQ(ServerTitle(answers ? 1 : 0), after.last->serverTitle) << answers;
        EXPECT_EQ(ServerTitle(1), after.serverTitle) << answers;
        EXPECT_EQ(answers ? 1 : 0, after.record.syncDate.wYear == after.now.wYear ? 1 : 0)
            << answers;
        EXPECT_EQ(0u, after.record.connectStatus.find(answers ? "Success synchro: "
                                                              : "Communication error! "))
            << after.record.connectStatus;
        EXPECT_EQ(answers ? 2 : 1, after.runsEnded);
        EXPECT_EQ(h.clock.LocalTime().wMinute, after.now.wMinute);
    }
}

// What the tray's state is decided from: the run in progress, the last scheduled attempt
// apart from manual ones, the last success's time and the schedule's limits.
TEST_F(SchedulerTest, TheStatusViewTellsTheTraysFacts) {
    SetOption(h.settings, &UserOptions::maxDays, 9);
    h.ServerDoes({.fault = Fault::kSilent});
    TickAndWait();  // the day's run fails
    EXPECT_FALSE(h.status().lastSuccess);
    h.ServerDoes({.holdMs = 300, .clock = &h.clock});
    Minutes(1);
    scheduler().StartManualRun();
    EXPECT_TRUE(h.status().running);
    h.WaitForRunEnd();
    const StatusView view = h.status();
    EXPECT_FALSE(view.running);
    ASSERT_TRUE(view.last && view.last->ok() && view.lastAutomatic);
    EXPECT_EQ(FailureKind::kNoAnswer, view.lastAutomatic->failure.kind);  // a manual run is not one
    SYSTEMTIME success{};
    ASSERT_TRUE(view.lastSuccess && view.lastSuccess->ToSystemTime(&success));
    EXPECT_EQ(view.record.syncDate.wDay, success.wDay);
    EXPECT_EQ(601, success.wHour * 60 + success.wMinute);  // 10:01
    EXPECT_EQ(Settings::kDaily, view.period);
    EXPECT_EQ(9, view.maxDays);
}

TEST_F(SchedulerTest, AFailedThreadStartIsTriedAgainOnTheNextTick) {
    h.threads.fail = true;
    scheduler().Tick();
    EXPECT_FALSE(running());
    h.threads.fail = false;
    TickAndWait();
    EXPECT_EQ(1, h.threads.started);
}

// The window steps its progress while the status says a run is active, and refreshes its
// fields from the status once it has ended.
TEST_F(SchedulerTest, TheStatusTellsARunActiveUntilItEndsAndCountsItOnce) {
    h.ServerDoes({.holdMs = 400, .clock = &h.clock});
    scheduler().Tick();
    ASSERT_TRUE(running());
    scheduler().Tick();
    const StatusView during = h.status();
    EXPECT_TRUE(during.running);
    EXPECT_EQ(0, during.runsEnded);
    EXPECT_EQ("", during.record.connectStatus);
    h.WaitForRunEnd();
    scheduler().Tick();
    const StatusView after = h.status();
    EXPECT_FALSE(after.running);
    EXPECT_EQ(1, after.runsEnded);
    EXPECT_EQ(0u, after.record.connectStatus.find("Success synchro: "));
    EXPECT_EQ(1, h.threads.started);
}

TEST_F(StuckRunTest, WatchdogRestartsAScheduledRunAfterItsLimitAgainstTheSameServer) {
    SetOption(h.settings, &UserOptions::timeOutSeconds, 200);  // longer than the run's own waits
    scheduler().Tick();
    WaitUntilQuerying(1);
    h.clock.Advance(200.0);
    scheduler().Tick();
    EXPECT_EQ(1, h.threads.started);
    h.clock.Advance(1.0);
    scheduler().Tick();
    EXPECT_EQ(2, h.threads.started);
    WaitUntilQuerying(2);
    EXPECT_EQ(ServerTitle(0), server());
    ExpectAbandonedRunsEndSoon();
    // The abandoned run's failure never shows.
    EXPECT_EQ("", record().connectStatus);
    EXPECT_TRUE(running());
}

TEST_F(StuckRunTest, WatchdogNeverRestartsARunBeforeItCouldFailByItself) {
    SetOption(h.settings, &UserOptions::timeOutSeconds, 5);  // as low as loading allows
    scheduler().Tick();
    WaitUntilQuerying(1);
    h.clock.Advance(6.0);
    scheduler().Tick();
    EXPECT_EQ(1, h.threads.started);
    // Two exchanges of 60 s and the margin for name lookups.
    h.clock.Advance(2 * 60 + SyncScheduler::kLookupMarginSeconds - 6 + 1);
    scheduler().Tick();
    EXPECT_EQ(2, h.threads.started);
    ExpectAbandonedRunsEndSoon();
}

TEST_F(SchedulerTest, TheWatchdogCountsNeitherTheClocksJumpNorAnOpenBox) {
    struct Case {
        bool manual;
        double serverAhead;  // seconds: the clock jumps forward by as much
        int maxDiff;         // minutes; 0: no clock-jump warning
        const char* box;
    };
    for (const Case& c : {Case{false, 600, 1, "10 minutes between"},
                          Case{true, 300, 0, "Successful synchronization."}}) {
        RunHarness r;
        r.SetLocalTime(10, 0, 0);
        r.clock.Freeze();
        SetOption(r.settings, &UserOptions::maxDiffMinutes, c.maxDiff);
        r.ServerDoes({.clockOffsetSeconds = c.serverAhead, .clock = &r.clock});
        r.boxes.Hold(true);
        if (c.manual) {
            r.scheduler->StartManualRun();
        } else {
            r.scheduler->Tick();
        }
        ASSERT_TRUE(r.boxes.WaitUntilOpen()) << c.box;
        r.clock.Advance(3600.0);  // the box stays open for an hour
        r.scheduler->Tick();
        EXPECT_EQ(1, r.threads.started) << c.box;
        r.boxes.ReleaseOpenBox();
        r.WaitForRunEnd();
        EXPECT_EQ(1, r.threads.started) << c.box;
        ASSERT_FALSE(r.boxes.boxes().empty());
        EXPECT_EQ(0u, r.boxes.boxes().back().text.find(c.box)) << r.boxes.boxes().back().text;
        EXPECT_FALSE(r.boxes.boxes().back().closedByGuard) << c.box;
        EXPECT_EQ(0u, r.status().record.connectStatus.find("Success synchro: ")) << c.box;
    }
}

TEST_F(StuckRunTest, AManualRunGetsThreeMinutes) {
    scheduler().StartManualRun();
    WaitUntilQuerying(1);
    h.clock.Advance(180.0);
    scheduler().Tick();
    EXPECT_EQ(1, h.threads.started);
    h.clock.Advance(1.0);
    scheduler().Tick();
    EXPECT_EQ(2, h.threads.started);
    ExpectAbandonedRunsEndSoon();
    EXPECT_TRUE(h.boxes.boxes().empty());
}

// A restart gives the restarted run a whole limit of its own and keeps it manual; a
// scheduled run after a manual one gets the scheduled limit again.
TEST_F(StuckRunTest, WatchdogLimitsOverSeveralTicks) {
    SetOption(h.settings, &UserOptions::timeOutSeconds,
              150);  // above the run's own waits (130 s), below a manual run's 180 s
    enum class Do { kManual, kTick, kBreak };
    struct Step {
        Do what;
        double after;  // seconds of simulated time before it
        int started, requests, probes;
    };
    const Step steps[] = {
        {Do::kManual, 0, 1, 1, 1}, {Do::kTick, 180, 1, 1, 1}, {Do::kTick, 1, 2, 2, 2},
        {Do::kTick, 179, 2, 2, 2}, {Do::kTick, 2, 3, 3, 3},   {Do::kBreak, 0, 3, 3, 3},
        {Do::kTick, 15, 4, 4, 3},  {Do::kTick, 150, 4, 4, 3}, {Do::kTick, 1, 5, 5, 3},
        {Do::kTick, 150, 5, 5, 3}, {Do::kTick, 1, 6, 6, 3},
    };
    int number = 0;
    for (const Step& step : steps) {
        ++number;
        h.clock.Advance(step.after);
        if (step.what == Do::kManual) {
            scheduler().StartManualRun();
        } else if (step.what == Do::kBreak) {
            scheduler().BreakRun("Broken by the user.");
        } else {
            scheduler().Tick();
        }
        EXPECT_EQ(step.started, h.threads.started) << "step " << number;
        WaitUntilQuerying(step.requests);
        EXPECT_EQ(step.probes, h.probe.probes) << "step " << number;
    }
    ExpectAbandonedRunsEndSoon();
}

TEST_F(StuckRunTest, BreakAbandonsTheRunAndNothingOfItAppears) {
    h.settings.firstStart = 1;
    scheduler().StartManualRun();
    WaitUntilQuerying(1);
    scheduler().BreakRun("Broken by the user.");
    EXPECT_FALSE(running());
    ExpectAbandonedRunsEndSoon();

    EXPECT_EQ("Broken by the user.", record().connectStatus);
    EXPECT_TRUE(h.boxes.boxes().empty());  // no "Time receiving error!"
    EXPECT_TRUE(h.eventLog.events().empty());
    EXPECT_EQ(ServerTitle(0), server());
    EXPECT_EQ(0, record().syncDate.wYear);
    EXPECT_EQ(1, h.settings.firstStart);

    scheduler().StartManualRun();  // the next run may start at once
    EXPECT_EQ(2, h.threads.started);
}

TEST_F(StuckRunTest, ProgramEndWaitsForWorkersOnlyABit) {
    scheduler().StartManualRun();
    WaitUntilQuerying(1);
    EXPECT_TRUE(scheduler().WindDown(std::chrono::seconds(5)));  // its wait is interrupted

    h.probe.hang = true;
    scheduler().StartManualRun();
    ASSERT_TRUE(WaitFor([&] { return h.probe.probes == 2; }));
    EXPECT_FALSE(scheduler().WindDown(std::chrono::milliseconds(100)));
    h.probe.hang = false;
}

TEST_F(SchedulerTest, BreakWithoutARunOnlySetsTheStatusLine) {
    scheduler().BreakRun("Broken by the user.");
    EXPECT_EQ(0, h.threads.started);
    EXPECT_EQ("Broken by the user.", record().connectStatus);
}

TEST_F(SchedulerTest, AnAbandonedRunsOpenBoxClosesAndItsLaterEffectsNeverApply) {
    h.settings.firstStart = 1;
    h.boxes.Hold(true);
    scheduler().StartManualRun();
    ASSERT_TRUE(h.boxes.WaitUntilOpen());  // "Successful synchronization." is on screen
    scheduler().BreakRun("Broken by the user.");
    ASSERT_TRUE(WaitFor([&] { return scheduler().AbandonedWorkers() == 0; }));

    ASSERT_EQ(1u, h.boxes.boxes().size());
    EXPECT_TRUE(h.boxes.boxes()[0].closedByGuard);
    EXPECT_EQ("Broken by the user.", record().connectStatus);
    EXPECT_FALSE(h.store.value("Options", "sConnectStatus"));  // the record was not stored
    EXPECT_EQ(1, h.settings.firstStart);
}

// The window takes the status every second: a registry that is slow to store a finished
// run's record holds up neither that nor "Break".
TEST_F(SchedulerTest, ARecordWriteThatHangsHoldsUpNeitherTheStatusNorABreak) {
    h.store.HoldWrites(true);
    scheduler().StartManualRun();
    ASSERT_TRUE(h.store.WaitUntilAWriteIsHeld());
    auto status = std::async(std::launch::async, [this] {
        const std::string line = record().connectStatus;
        scheduler().BreakRun("Broken by the user.");
        return line;
    });
    const bool answered = status.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    h.store.HoldWrites(false);
    ASSERT_TRUE(answered);
    EXPECT_EQ(0u, status.get().find("Success synchro: "));  // decided before the write
    ASSERT_TRUE(WaitFor([&] { return scheduler().AbandonedWorkers() == 0; }));
    // The record decided under the gate is stored all the same.
    EXPECT_TRUE(h.store.value(Settings::kOptionsSection, "sConnectStatus"));
}

// The window warns at start from the status's record and time.
TEST_F(SchedulerTest, OverdueAfterMaxDays) {
    SyncRecord old;
    old.syncDate = h.clock.LocalTime();
    scheduler().Restore(old);
    const auto overdue = [this] {
        const StatusView status = h.status();
        return IsOverdue(status.lastSuccess, status.now, status.maxDays);
    };
    EXPECT_FALSE(overdue());
    Minutes(15 * 24 * 60 + 1);
    EXPECT_TRUE(overdue());
}

}  // namespace

// After sleep the clock may have drifted: one run as soon as a connection is reported, even
// when this period's run has succeeded; never with a manual schedule.
TEST_F(SchedulerTest, AResumeRunsOnceAsSoonAsConnectedThenExitAfterAppliesAsUsual) {
    TickAndWait();  // today's run
    h.connectivity.connected = false;
    scheduler().Resumed();
    scheduler().Tick();
    EXPECT_TRUE(h.status().resumePending);  // "Exit after" waits for the run after the resume
    EXPECT_EQ(1, h.threads.started);
    h.connectivity.connected = true;
    h.clock.Advance(15.0);  // no server is asked again within 15 s
    TickAndWait();
    EXPECT_EQ(2, h.threads.started);
    const StatusView after = h.status();
    EXPECT_FALSE(after.resumePending);
    EXPECT_TRUE(after.todaysRunDone);
    scheduler().Tick();
    EXPECT_EQ(2, h.threads.started);
}

TEST_F(SchedulerTest, AResumeRunsAnHourlyScheduleWithinTheHourButNotAManualOne) {
    SetOption(h.settings, &UserOptions::period, Settings::kHourly);
    TickAndWait();
    Minutes(10);
    const DateTime now = *DateTime::FromSystemTime(h.clock.LocalTime());
    EXPECT_EQ(50, WholeMinutes(h.status().nextRun->days() - now.days()));
    scheduler().Resumed();
    EXPECT_EQ(0, WholeSeconds(h.status().nextRun->days() - now.days()));
    TickAndWait();
    EXPECT_EQ(2, h.threads.started);
    scheduler().Tick();
    EXPECT_EQ(2, h.threads.started);

    SetOption(h.settings, &UserOptions::period, Settings::kOnlyManual);
    scheduler().Resumed();
    EXPECT_FALSE(h.status().resumePending);
    scheduler().Tick();
    EXPECT_EQ(2, h.threads.started);
    EXPECT_FALSE(h.status().nextRun);
}

TEST(ClockChangeWatchTest, MoreThanThreeChangesWithinAnHourAreRepeated) {
    using std::chrono::minutes;
    const ClockChangeWatch::TimePoint start{};
    ClockChangeWatch watch;
    EXPECT_FALSE(watch.Note(start));
    EXPECT_FALSE(watch.Note(start + minutes(10)));
    EXPECT_FALSE(watch.Note(start + minutes(20)));
    EXPECT_TRUE(watch.Note(start + minutes(59)));
    EXPECT_FALSE(watch.Repeated(start + minutes(60)));  // the first is an hour old
}
