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
#include "sync/schedule_marks.h"
#include "sync/server_cursor.h"
#include "sync/server_tester.h"
#include "sync/status_view.h"
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
    RunHistory* history = nullptr;  // where runs are recorded; none when null
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
    static constexpr int kHourlyPeriodMinutes = 60;
    static constexpr int kDayStartSpreadSeconds = AutomaticRequests::kDayStartSpreadSeconds;

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

    // What the window shows, all taken now; steadyNow dates the clock changes of others.
    StatusView Status(
        std::chrono::steady_clock::time_point steadyNow = std::chrono::steady_clock::now());

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

    // Start-up: the next run asks the stored starting server, and the stored record shows.
    void SelectStartingServer();
    void ReplaceRecord(const SyncRecord& record);
    // The status line, for what the window says itself ("Broken by the user.").
    void SetStatus(const std::string& status);
    // The chooser's OK: the edited catalogue, and its chosen entry for the next run. Ends the
    // pause between passes, as new settings do.
    void Publish(const ServerCatalogue& servers, int chosen);
    // The Options' OK: the next scheduled run need not wait for the pause between passes.
    void SettingsChanged();
    // For the dialogs' server tests on their own threads.
    ServerTester& tester() { return tester_; }

    bool IsSyncOverdue() const;
    // Abandoned runs still winding down; each ends by itself once its wait is interrupted.
    int AbandonedWorkers();

  private:
    // The watchdog's limit, never below what the run needs to fail by itself.
    int RunLimitSeconds() const;
    void StartWorker(RunKind kind);
    void AbandonWorker();
    // When the schedule runs next, local time; empty for a manual schedule.
    std::optional<DateTime> NextScheduledRun(const SYSTEMTIME& now, const SYSTEMTIME& syncDate);
    // When the schedule itself falls due, before the pacing's say.
    std::optional<DateTime> ScheduleDue(const SYSTEMTIME& now, const SYSTEMTIME& syncDate);
    void RestartWatchdog();
    // Whether an automatic run may start now: not within the pause between passes or before
    // the day's start, and only to a server that is not being left alone, which it moves the
    // cursor to. Sets the status line when every server is being left alone.
    bool MayStartAutomaticRun();
    void EndBackoff();

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
    // Guarded by the gate's lock: the worker writes them.
    std::optional<RunResult> lastResult_;
    std::optional<RunResult> lastAutomaticResult_;
    ClockChangeWatch clockChanges_;
    std::chrono::steady_clock::time_point lastRunEnd_;
    // Guarded by the gate's lock, but for the day's start: the worker notes what its run
    // asked.
    AutomaticRequests requests_;
    bool connected_ = true;  // as the last tick that asked saw it
    std::unique_ptr<Worker> worker_;
    // Abandoned workers end by themselves once their wait is interrupted.
    std::vector<std::unique_ptr<Worker>> abandoned_;
    SchedulerWindow* window_ = nullptr;
};
