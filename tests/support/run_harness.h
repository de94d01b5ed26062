// The program's run-time objects wired to fakes and a fault-injecting SNTP server, for
// scenario tests of runs and of the scheduler. Runs made here (RunNow, the tester) have a
// gate, cursor and marks of their own, apart from the scheduler's, which tests see only
// through its status view. The server starts out agreeing with the simulated clock, so runs
// change nothing until a test says otherwise.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "app/program_run_reporter.h"
#include "sync/server_tester.h"
#include "sync/sync_scheduler.h"
#include "config/settings.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fault_sntp_server.h"
#include "tests/support/memory_profile_store.h"
#include "tests/support/platform_fakes.h"
#include "tests/support/recording_event_log.h"

// The program's reporter, recording every event a run hands it: the run's tests check what
// the run reports, the presentation's tests how it is worded.
class RecordingRunReporter : public RunReporter {
  public:
    explicit RecordingRunReporter(RunReporter& words) : words_(words) {}

    void ShowBox(const RunEvent& event, BoxGuard& guard) override;
    std::string StatusLine(const RunEvent& event) const override;
    std::string HistoryReason(const RunResult& result) const override;
    std::string ClockChangeNote(bool repeated) const override;
    void RunEnded(const RunResult& result, RunKind kind) override;

    std::vector<RunEvent> boxed() const;
    // The event of the status line last worded.
    std::optional<RunEvent> lastStatus() const;

  private:
    RunReporter& words_;
    mutable std::mutex mutex_;
    std::vector<RunEvent> boxed_;
    mutable std::optional<RunEvent> lastStatus_;
};

class RunHarness {
  public:
    static constexpr std::uint32_t kSntpTimeoutMs = 600;
    static constexpr int kZoneMinutes = 60;  // local time is UTC + 1 h

    // servers: how many catalogue entries, all pointing at the fault server.
    explicit RunHarness(int servers = 3, std::uint32_t sntpTimeoutMs = kSntpTimeoutMs);
    ~RunHarness();

    // A run on the calling thread, as the scheduler's worker would run it.
    RunResult RunNow(RunKind kind);
    // Waits (in real time) until the scheduler's worker has ended.
    void WaitForRunEnd();
    // A new scheduler, made at the simulated time as it stands now.
    void RemakeScheduler();
    // Of the runs made here.
    SyncRecord record() { return gate.Record(); }
    StatusView status() { return scheduler->Status(); }
    // The fault server behaves as told; without a clock in the config it keeps this
    // machine's real time.
    void ServerDoes(FaultConfig config);
    // A simulated local time of day, today.
    void SetLocalTime(int hour, int minute, int second);

    MemoryProfileStore store;
    Settings settings{store};
    FakeClock clock{0, kZoneMinutes};
    FakeNetworkStack network;
    FakeConnectivity connectivity;
    FakeWebProbe probe;
    RecordingMessageBoxes boxes;
    // The month names the program loads, as the scheduler's.
    MonthNames months = LoadedMonthNames();
    // The program's events, with marks of their own: the runs' threads write them.
    RecordingEventLog eventLog;
    MemoryProfileStore eventMarks;
    ProgramEvents events{eventLog, eventMarks, clock, [this] { return clock.SteadyNow(); }};
    ProgramRunReporter words{boxes, months, events};
    RecordingRunReporter reporter{words};
    FakeClockService clockService;
    CountingWorkerThreads threads;
    FaultSntpServer server;
    std::uint32_t queryTimeoutMs;
    RunGate gate;
    RecordStore records{settings};
    ServerCursor cursor{settings};
    ScheduleMarks marks;
    RunContext context{{clock, network, probe, reporter, clockService},
                       settings,
                       cursor,
                       marks,
                       gate,
                       records,
                       server.port(),
                       queryTimeoutMs};
    ServerTester tester{{clock, network, server.port(), queryTimeoutMs}, reporter};
    // What the scheduler's random source answers when a new day's run spreads its start, and
    // the bound it asked with.
    std::atomic<int> dayStartSeconds{0};
    std::atomic<int> randomBound{0};
    std::unique_ptr<SyncScheduler> scheduler;
};
