// Decides when a synchronisation run starts, runs it on a worker thread, watches it and
// abandons it when it takes too long or the user breaks it. Driven by the main window's
// one-second tick; every operation here runs on the user-interface thread. The window reads
// it through one status view and sends it commands; nothing behind it is handed out.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/worker_threads.h"
#include "config/settings.h"
#include "platform/clock.h"
#include "platform/clock_service.h"
#include "platform/connectivity.h"
#include "platform/month_names.h"
#include "platform/network_stack.h"
#include "config/run_history.h"
#include "sync/automatic_requests.h"
#include "sync/clock_change_watch.h"
#include "sync/record_store.h"
#include "sync/run_gate.h"
#include "sync/run_kind.h"
#include "sync/run_reporter.h"
#include "sync/run_result.h"
#include "sync/schedule.h"
#include "sync/schedule_marks.h"
#include "sync/server_cursor.h"
#include "sync/server_tester.h"
#include "sync/status_view.h"
#include "sync/sync_run.h"
#include "platform/web_probe.h"

struct SchedulerServices {
    Clock& clock;
    NetworkStack& network;
    WebProbe& probe;
    RunReporter& reporter;
    Connectivity& connectivity;
    WorkerThreads& threads;
    ClockService& clockService;
    RunHistory* history = nullptr;  // where runs are recorded; none when null
    // The key exchange of servers asked by NTS, for the runs and the dialogs' tests; none
    // when null.
    KeyExchanger* keys = nullptr;
    // Steady time for the pacing of requests; tests move a fake one.
    std::function<std::chrono::steady_clock::time_point()> steadyNow = [] {
        return std::chrono::steady_clock::now();
    };
    // A whole number from 0 up to, not including, bound: the day's run spreads its start.
    std::function<int(int bound)> random = RandomBelow;

    static int RandomBelow(int bound);
};

class SyncScheduler {
  public:
    static constexpr int kManualRunLimitSeconds = 180;
    // Beyond a run's own waits, for the name lookups no time-out bounds.
    static constexpr int kLookupMarginSeconds = 10;

    // sntpPort and sntpTimeoutMs are fixed for the program; tests choose their own.
    SyncScheduler(SchedulerServices services, Settings& settings, int sntpPort = 123,
                  std::uint32_t sntpTimeoutMs = SntpClient::kDefaultTimeoutMs);
    // Abandons a running run and waits for every worker to end.
    ~SyncScheduler();
    // Program end: abandons the run and gives the workers up to patience to end. False
    // when one is still busy (a name lookup cannot be interrupted): the process may end
    // anyway, since an abandoned run changes nothing any more.
    bool WindDown(std::chrono::milliseconds patience);
    SyncScheduler(const SyncScheduler&) = delete;
    SyncScheduler& operator=(const SyncScheduler&) = delete;

    // Start-up, once the settings are loaded: the stored record shows, and the next run asks
    // the stored starting server.
    void Restore(const SyncRecord& stored);

    // What the window shows, all taken now; steadyNow dates the clock changes of others.
    StatusView Status(
        std::chrono::steady_clock::time_point steadyNow = std::chrono::steady_clock::now());

    // The one-second tick: watches a running run, or starts one when the schedule says so.
    void Tick();
    // "Synchronize now": ignored while a run is active.
    void StartManualRun();
    // "Break": the run, if any, is abandoned at once, and the status line says so.
    void BreakRun(const std::string& status);
    // The machine woke from sleep: a daily or hourly schedule runs once as soon as a
    // connection is reported, whether or not this period's run has succeeded.
    void Resumed();
    // Another program may have set the clock; one of ours, during or just after a run, is
    // not counted. The history notes each.
    void ClockChanged(std::chrono::steady_clock::time_point now);
    // The chooser's OK: the edited catalogue, and its chosen entry for the next run. Ends the
    // pause between passes, as new settings do.
    void Publish(const ServerCatalogue& servers, int chosen);
    // The Options' OK: the next scheduled run need not wait for the pause between passes.
    void SettingsChanged();
    // For the dialogs' server tests on their own threads.
    ServerTester& Tester() { return tester_; }

    // Abandoned runs still winding down; each ends by itself once its wait is interrupted.
    int AbandonedWorkers();

  private:
    // What the worker hands back.
    struct Results {
        std::optional<RunResult> last;           // not abandoned
        std::optional<RunResult> lastAutomatic;  // of those the schedule started
    };
    // What the status and the schedule are taken from, in one step under the gate.
    struct Observed {
        SyncRecord record;
        Results results;
        bool allServersRefused = false;
        AutomaticRequests::Hold hold;
    };

    bool IsRunning();
    void CheckSchedule();
    // Restarts a run that outlived its limit, against the same server.
    void WatchRun();
    Observed Observe();
    Schedule Decide(const UserOptions& options, const SYSTEMTIME& now,
                    const Observed& observed) const;
    void StartScheduledRun(const SYSTEMTIME& now);
    void StartWorker(RunKind kind);
    void AbandonWorker();
    // The watchdog's limit, never below what the run needs to fail by itself.
    int RunLimitSeconds() const;
    void RestartWatchdog();
    void EndBackoff();
    // The status line of a scheduled run that did not start.
    void SetStatus(RunEvent::Kind why, const SYSTEMTIME& now);

    SchedulerServices services_;
    Settings& settings_;
    MonthNames months_;
    RunGate gate_;
    RecordStore records_;
    ServerCursor cursor_;
    ScheduleMarks marks_;
    RunContext context_;
    ServerTester tester_;
    RunKind runKind_ = RunKind::kScheduled;  // of the current or last run
    bool resumePending_ = false;
    int runsEnded_ = 0;
    GateGuarded<Results> results_;
    ClockChangeWatch clockChanges_;
    std::chrono::steady_clock::time_point lastRunEnd_;
    AutomaticRequests requests_;
    bool connected_ = true;  // as the last tick that asked saw it
    std::unique_ptr<Worker> worker_;
    // Abandoned workers end by themselves once their wait is interrupted.
    std::vector<std::unique_ptr<Worker>> abandoned_;
};
