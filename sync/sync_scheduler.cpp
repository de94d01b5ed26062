#include "sync/sync_scheduler.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>
#include <utility>

namespace {

// A clock change this soon after one of our runs ended is that run's own.
constexpr std::chrono::seconds kOwnChangeMargin{10};

// 23:46:00 up to and including 00:14:59: a fixed offset is not applied around midnight.
bool InQuietWindow(const SYSTEMTIME& now) {
    return (now.wHour == 23 && now.wMinute > 45) || (now.wHour == 0 && now.wMinute < 15);
}

// The record keeps the date and, apart, the time of day after the step.
std::optional<DateTime> LastSuccess(const SyncRecord& record) {
    if (record.syncDate.wYear == 0) {
        return std::nullopt;
    }
    SYSTEMTIME at = record.syncDate;
    at.wHour = record.timeAfter.wHour;
    at.wMinute = record.timeAfter.wMinute;
    at.wSecond = record.timeAfter.wSecond;
    return DateTime::FromSystemTime(at);
}

}  // namespace

int SchedulerServices::RandomBelow(int bound) {
    static std::mutex mutex;
    static std::mt19937 engine{std::random_device{}()};
    std::lock_guard<std::mutex> lock(mutex);
    return std::uniform_int_distribution<int>(0, bound - 1)(engine);
}

SyncScheduler::SyncScheduler(SchedulerServices services, Settings& settings, int sntpPort,
                             std::uint32_t sntpTimeoutMs)
    : services_(services),
      settings_(settings),
      months_(LoadedMonthNames()),
      records_(settings),
      cursor_(settings),
      marks_(services.clock),
      context_{{services.clock, services.network, services.probe, services.reporter,
                services.clockService},
               settings,
               cursor_,
               marks_,
               gate_,
               records_,
               sntpPort,
               sntpTimeoutMs,
               services.history},
      tester_(context_),
      requests_(settings.servers, cursor_, services.random) {
    // A scheduled run's second opinion keeps to the same rules as its own server.
    context_.mayAskAutomatically = [this](const ServerEntry& entry) {
        bool free = false;
        gate_.Apply(RunGate::kAlways, [&] {
            free = requests_.MayAsk(entry.title, entry.address, services_.steadyNow());
        });
        return free;
    };
    // Noted as the request goes out, so that no tick slips in before the run's own note.
    context_.asking = [this](const std::string& title, const std::string& address) {
        gate_.Apply(RunGate::kAlways,
                    [&] { requests_.Asking(title, address, services_.steadyNow()); });
    };
}

SyncScheduler::~SyncScheduler() {
    gate_.AbandonRun();
    worker_.reset();
    abandoned_.clear();
}

bool SyncScheduler::WindDown(std::chrono::milliseconds patience) {
    gate_.AbandonRun();
    if (worker_) {
        abandoned_.push_back(std::move(worker_));
    }
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (AbandonedWorkers() != 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void SyncScheduler::Tick() {
    if (IsRunning()) {
        WatchRun();
        if (window_ != nullptr) {
            window_->StepProgress();
        }
        return;
    }
    if (window_ != nullptr) {
        window_->ResetProgress();
    }
    CheckSchedule();
    if (window_ != nullptr && window_->Exists()) {
        window_->RefreshFields();
    }
}

int SyncScheduler::AbandonedWorkers() {
    std::erase_if(abandoned_, [](const std::unique_ptr<Worker>& w) { return !w->IsRunning(); });
    return static_cast<int>(abandoned_.size());
}

bool SyncScheduler::IsRunning() {
    AbandonedWorkers();
    if (!worker_) {
        return false;
    }
    if (worker_->IsRunning()) {
        return true;
    }
    worker_.reset();
    ++runsEnded_;
    lastRunEnd_ = std::chrono::steady_clock::now();
    return false;
}

void SyncScheduler::CheckSchedule() {
    if (IsRunning()) {
        return;
    }
    Clock& clock = services_.clock;
    const SYSTEMTIME now = clock.LocalTime();
    const std::int32_t period = settings_.userOptions().nSynPeriod;
    if (resumePending_ && (period == Settings::kDaily || period == Settings::kHourly)) {
        // Whatever this period's run did: the clock drifted while the machine slept.
    } else if (period == Settings::kDaily) {
        if (SameDay(gate_.Record().syncDate, now)) {
            requests_.DayDone(now);
            if (window_ != nullptr && !window_->IsShown() &&
                settings_.userOptions().bExitAfter != 0) {
                window_->RequestClose();
            }
            return;
        }
    } else if (period == Settings::kHourly) {
        const DateTime current = DateTime::FromSystemTime(clock.LocalTime()).value_or(DateTime());
        const std::int32_t minutes = WholeMinutes(marks_.hourlyMark() - current);
        if (std::abs(static_cast<std::int64_t>(minutes)) < kHourlyPeriodMinutes) {
            return;
        }
    } else {
        return;  // only manual, and any value the options do not know
    }

    if (settings_.userOptions().nOffset != 0 && InQuietWindow(now)) {
        return;
    }
    requests_.RunDue(now, period == Settings::kDaily && !resumePending_, services_.steadyNow());
    const bool connected = services_.connectivity.IsConnected();
    if (connected && !connected_) {
        EndBackoff();
    }
    connected_ = connected;
    if (connected) {
        if (!MayStartAutomaticRun()) {
            return;
        }
        requests_.DropDayStart();
        gate_.Apply(RunGate::kAlways, [&](const RunGate::Held& held) {
            marks_.SetHourlyMark(held,
                                 DateTime::FromSystemTime(clock.LocalTime()).value_or(DateTime()));
            marks_.RestartWatchdog(held, clock.LocalTime());
        });
        StartWorker(std::exchange(resumePending_, false) ? RunKind::kAfterResume
                                                         : RunKind::kScheduled);
    } else if (period == Settings::kHourly) {
        RunEvent absent;
        absent.kind = RunEvent::Kind::kNoConnection;
        absent.local = now;
        gate_.SetStatus(services_.reporter.StatusLine(absent));
        if (window_ != nullptr) {
            window_->RefreshFields();
        }
    }
}

void SyncScheduler::StartManualRun() {
    if (IsRunning()) {
        return;
    }
    EndBackoff();
    RestartWatchdog();
    StartWorker(RunKind::kManual);
}

void SyncScheduler::WatchRun() {
    Clock& clock = services_.clock;
    const std::optional<DateTime> now = DateTime::FromSystemTime(clock.LocalTime());
    const std::optional<DateTime> started = DateTime::FromSystemTime(marks_.watchdogTime());
    if (!now || !started) {
        return;
    }
    const std::int32_t age = WholeSeconds(*now - *started);
    if (age <= RunLimitSeconds() || gate_.RunBoxOpen()) {
        return;
    }
    RestartWatchdog();
    if (worker_) {
        AbandonWorker();
        StartWorker(runKind_);
    }
}

void SyncScheduler::BreakRun() {
    if (worker_) {
        AbandonWorker();
    }
}

void SyncScheduler::RestartWatchdog() {
    gate_.Apply(RunGate::kAlways, [this](const RunGate::Held& held) {
        marks_.RestartWatchdog(held, services_.clock.LocalTime());
    });
}

void SyncScheduler::SelectStartingServer() {
    cursor_.SelectStartingServer();
}

void SyncScheduler::ReplaceRecord(const SyncRecord& record) {
    gate_.ReplaceRecord(record);
}

void SyncScheduler::SetStatus(const std::string& status) {
    gate_.SetStatus(status);
}

void SyncScheduler::Publish(const ServerCatalogue& servers, int chosen) {
    cursor_.Publish(servers, chosen);
    EndBackoff();
}

void SyncScheduler::SettingsChanged() {
    EndBackoff();
}

void SyncScheduler::EndBackoff() {
    gate_.Apply(RunGate::kAlways, [this] { requests_.EndPause(); });
}

bool SyncScheduler::MayStartAutomaticRun() {
    const auto now = services_.steadyNow();
    if (requests_.BeforeDayStart(now)) {
        return false;
    }
    AutomaticRequests::Start start = AutomaticRequests::Start::kWait;
    gate_.Apply(RunGate::kAlways,
                [&](const RunGate::Held& held) { start = requests_.MayStart(now, held); });
    if (start == AutomaticRequests::Start::kNoneInPlay) {
        RunEvent event;
        event.kind = RunEvent::Kind::kAllLeftAlone;
        event.local = services_.clock.LocalTime();
        gate_.SetStatus(services_.reporter.StatusLine(event));
        if (window_ != nullptr) {
            window_->RefreshFields();
        }
    }
    return start == AutomaticRequests::Start::kNow;
}

int SyncScheduler::RunLimitSeconds() const {
    const bool manual = runKind_ == RunKind::kManual;
    const int limit = manual ? kManualRunLimitSeconds : settings_.userOptions().nTimeOut;
    // A restart before the run can fail by itself would ask the same dead server forever:
    // the probe of a manual run, then two SNTP exchanges when the clock is stepped.
    const auto exchangeSeconds = static_cast<int>((context_.sntpTimeoutMs + 999) / 1000);
    const int probeSeconds = manual ? PlatformWebProbe::kTimeoutMs / 1000 : 0;
    return std::max(limit, probeSeconds + 2 * exchangeSeconds + kLookupMarginSeconds);
}

bool SyncScheduler::IsSyncOverdue() const {
    return settings_.isSyncOverdue(gate_.Record(), services_.clock.LocalTime());
}

void SyncScheduler::Resumed() {
    const std::int32_t period = settings_.userOptions().nSynPeriod;
    resumePending_ = period == Settings::kDaily || period == Settings::kHourly;
    requests_.DropDayStart();
    EndBackoff();
}

void SyncScheduler::ClockChanged(std::chrono::steady_clock::time_point now) {
    if (IsRunning() || (runsEnded_ != 0 && now - lastRunEnd_ < kOwnChangeMargin)) {
        return;
    }
    const bool repeated = clockChanges_.Note(now);
    if (services_.history != nullptr) {
        HistoryEntry entry;
        entry.time = IsoUtcText(services_.clock.UtcTime());
        entry.kind = kClockSetElsewhereKind;
        entry.result = HistoryEntry::kNote;
        entry.reason = services_.reporter.ClockChangeNote(repeated);
        services_.history->Append(entry);
    }
}

StatusView SyncScheduler::Status(std::chrono::steady_clock::time_point steadyNow) {
    StatusView view;
    // The record and the last result in one step: a run that ends meanwhile shows in both or
    // in neither.
    gate_.Apply(RunGate::kAlways, [&](SyncRecord& record) {
        view.record = record;
        view.last = lastResult_;
        view.lastAutomatic = lastAutomaticResult_;
        view.allServersRefused = requests_.AllRefused();
    });
    view.running = IsRunning();
    view.lastSuccess = LastSuccess(view.record);
    const UserOptions options = settings_.userOptions();
    view.period = options.nSynPeriod;
    view.maxDays = options.nMaxDays;
    view.serverTitle = cursor_.CurrentServerTitle();
    view.now = services_.clock.LocalTime();
    view.nextRun = NextScheduledRun(view.now, view.record.syncDate);
    view.otherTimeProgram = clockChanges_.Repeated(steadyNow);
    view.runsEnded = runsEnded_;
    view.months = months_;
    return view;
}

std::optional<DateTime> SyncScheduler::NextScheduledRun(const SYSTEMTIME& now,
                                                        const SYSTEMTIME& syncDate) {
    const std::optional<DateTime> current = DateTime::FromSystemTime(now);
    const std::optional<DateTime> due = ScheduleDue(now, syncDate);
    if (!current || !due || WholeSeconds(*due - *current) > 0) {
        return due;
    }
    // Due now: the rules of automatic requests may hold the run back.
    const auto steady = services_.steadyNow();
    std::optional<DateTime> next;
    gate_.Apply(RunGate::kAlways, [&] { next = requests_.NextAttempt(*due, *current, steady); });
    return next;
}

std::optional<DateTime> SyncScheduler::ScheduleDue(const SYSTEMTIME& now,
                                                   const SYSTEMTIME& syncDate) {
    const std::optional<DateTime> current = DateTime::FromSystemTime(now);
    if (!current) {
        return std::nullopt;
    }
    const std::int32_t period = settings_.userOptions().nSynPeriod;
    if (period != Settings::kDaily && period != Settings::kHourly) {
        return std::nullopt;
    }
    if (resumePending_) {
        return current;
    }
    if (period == Settings::kHourly) {
        const DateTime mark = marks_.hourlyMark();
        if (std::abs(static_cast<std::int64_t>(WholeMinutes(mark - *current))) >=
            kHourlyPeriodMinutes) {
            return current;
        }
        return mark.AddSeconds(kHourlyPeriodMinutes * 60.0);
    }
    if (!SameDay(syncDate, now)) {
        return current;
    }
    SYSTEMTIME midnight = now;
    midnight.wHour = midnight.wMinute = midnight.wSecond = midnight.wMilliseconds = 0;
    return DateTime::FromSystemTime(midnight).value_or(*current).AddSeconds(86400.0);
}

void SyncScheduler::StartWorker(RunKind kind) {
    const RunGate::Generation generation = gate_.BeginRun();
    runKind_ = kind;
    const std::string server = requests_.NextServer();
    worker_ = services_.threads.Start([this, generation, kind, server] {
        SyncRun run(context_, generation, kind);
        const RunResult result = run.Run();
        // An abandoned run has asked all the same.
        gate_.Apply(RunGate::kAlways,
                    [&] { requests_.RunEnded(server, result, kind, services_.steadyNow()); });
        if (result.failure != RunFailure::kAbandoned) {
            gate_.Apply(generation, [&] {
                lastResult_ = result;
                if (IsAutomatic(kind)) {
                    lastAutomaticResult_ = result;
                }
            });
        }
    });
}

void SyncScheduler::AbandonWorker() {
    gate_.AbandonRun();
    abandoned_.push_back(std::move(worker_));
}
