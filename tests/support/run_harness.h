// The program's run-time objects wired to fakes and a fault-injecting SNTP server, for
// scenario tests of runs and of the scheduler. The server starts out agreeing with the
// simulated clock, so runs change nothing until a test says otherwise.
#pragma once

#include <memory>

#include "app/program_run_reporter.h"
#include "sync/sync_scheduler.h"
#include "config/settings.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fault_sntp_server.h"
#include "tests/support/memory_profile_store.h"
#include "tests/support/platform_fakes.h"

class RunHarness {
  public:
    static constexpr std::uint32_t kSntpTimeoutMs = 600;
    static constexpr int kZoneMinutes = 60;  // local time is UTC + 1 h

    // servers: how many catalogue entries, all pointing at the fault server.
    explicit RunHarness(int servers = 3, std::uint32_t sntpTimeoutMs = kSntpTimeoutMs);
    ~RunHarness();

    // A run on the calling thread, as the scheduler's worker would run it.
    RunResult RunNow(bool manual);
    // Waits (in real time) until the scheduler's worker has ended.
    void WaitForRunEnd();
    SyncRecord record() { return scheduler->gate().Record(); }
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
    // With the month names the program loads, as the scheduler's.
    ProgramRunReporter reporter{boxes, [] {
                                    MonthNames months;
                                    LoadMonthNames(months);
                                    return months;
                                }()};
    FakeClockService clockService;
    CountingWorkerThreads threads;
    FakeWindow window;
    FaultSntpServer server;
    std::unique_ptr<SyncScheduler> scheduler;
};
