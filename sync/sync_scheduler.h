// Decides when a synchronisation run starts, runs it on a worker thread, watches it and
// abandons it when it takes too long or the user breaks it. Driven by the main window's
// one-second tick; every operation here runs on the user-interface thread.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sync/server_cursor.h"
#include "platform/worker_threads.h"
#include "config/settings.h"
#include "platform/clock.h"
#include "platform/clock_service.h"
#include "platform/connectivity.h"
#include "platform/month_names.h"
#include "platform/network_stack.h"
#include "config/run_history.h"
#include "platform/history_file.h"
#include "sync/clock_change_watch.h"
#include "sync/run_gate.h"
#include "sync/run_reporter.h"
#include "sync/run_result.h"
#include "sync/sync_run.h"
#include "platform/web_probe.h"

// What the scheduler needs of the main window.
class SchedulerWindow {
  public:
    virtual ~SchedulerWindow() = default;
    virtual bool IsShown() const = 0;
    virtual bool Exists() const = 0;
    // Delivered synchronously; the window's close rules decide what happens.
    virtual void RequestClose() = 0;
    virtual void RefreshFields() = 0;
    virtual void StepProgress() = 0;
    virtual void ResetProgress() = 0;
};

struct SchedulerServices {
    Clock& clock;
    NetworkStack& network;
    WebProbe& probe;
    RunReporter& reporter;
    Connectivity& connectivity;
    WorkerThreads& threads;
    ClockService& clockService;
    HistoryFile* historyFile = nullptr;  // where runs are recorded; none when null
};

class SyncScheduler {
  public:
    static constexpr int kManualRunLimitSeconds = 180;
    // Beyond a run's own waits, for the name lookups no time-out bounds.
    static constexpr int kLookupMarginSeconds = 10;
    static constexpr int kHourlyPeriodMinutes = 60;

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

    void AttachWindow(SchedulerWindow* window) { window_ = window; }

    // The one-second tick: watches a running run, or checks the schedule and refreshes.
    void Tick();
    bool IsRunning();
    void CheckSchedule();
    // "Synchronize now": ignored while a run is active.
    void StartManualRun();
    // Restarts a run that outlived its limit, against the same server.
    void WatchRun();
    // The run, if any, is abandoned at once; the window then sets the status line.
    void BreakRun();
    // The machine woke from sleep: a daily or hourly schedule runs once as soon as a
    // connection is reported, whether or not this period's run has succeeded.
    void Resumed();
    bool ResumeRunPending() const { return resumePending_; }
    // Another program may have set the clock; one of ours, during or just after a run, is
    // not counted. The history notes each.
    void ClockChanged(std::chrono::steady_clock::time_point now);
    bool OtherTimeProgram(std::chrono::steady_clock::time_point now) const {
        return clockChanges_.Repeated(now);
    }

    // Counts the runs that have ended: the history window refreshes when it moves.
    int RunsEnded() const { return runsEnded_; }
    // The last run of this copy that was not abandoned; empty before the first.
    std::optional<RunResult> LastResult();
    // When the schedule runs next, local time; empty for a manual schedule.
    std::optional<DateTime> NextScheduledRun();

    bool IsSyncOverdue() const;
    // Abandoned runs still winding down; each ends by itself once its wait is interrupted.
    int AbandonedWorkers();

    ServerCursor& cursor() { return cursor_; }
    RunGate& gate() { return gate_; }
    const MonthNames& months() const { return months_; }
    // For the dialogs' server tests on the user-interface thread.
    RunContext& runContext() { return context_; }
    // Empty when the scheduler keeps no history.
    RunHistory* history() { return history_ ? &*history_ : nullptr; }

  private:
    // The watchdog's limit, never below what the run needs to fail by itself.
    int RunLimitSeconds() const;
    void StartWorker(bool manual, bool afterResume = false);
    void AbandonWorker();

    SchedulerServices services_;
    Settings& settings_;
    MonthNames months_;
    RunGate gate_;
    ServerCursor cursor_;
    std::optional<RunHistory> history_;
    RunContext context_;
    bool manualRun_ = false;
    bool resumeRun_ = false;
    bool resumePending_ = false;
    int runsEnded_ = 0;
    // Guarded by the gate's lock: the worker writes it.
    std::optional<RunResult> lastResult_;
    ClockChangeWatch clockChanges_;
    std::chrono::steady_clock::time_point lastRunEnd_;
    std::unique_ptr<Worker> worker_;
    // Abandoned workers end by themselves once their wait is interrupted.
    std::vector<std::unique_ptr<Worker>> abandoned_;
    SchedulerWindow* window_ = nullptr;
};
