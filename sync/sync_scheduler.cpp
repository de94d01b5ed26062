#include "sync/sync_scheduler.h"

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <utility>

namespace {

MonthNames LoadedMonthNames() {
    MonthNames months;
    LoadMonthNames(months);
    return months;
}

// A clock change this soon after one of our runs ended is that run's own.
constexpr std::chrono::seconds kOwnChangeMargin{10};
constexpr const char* kClockSetElsewhereKind = "clock set elsewhere";

bool SameDay(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay;
}

// 23:46:00 up to and including 00:14:59: a fixed offset is not applied around midnight.
bool InQuietWindow(const SYSTEMTIME& now) {
    return (now.wHour == 23 && now.wMinute > 45) || (now.wHour == 0 && now.wMinute < 15);
}

}  // namespace

SyncScheduler::SyncScheduler(SchedulerServices services, Settings& settings, int sntpPort,
                             std::uint32_t sntpTimeoutMs)
    : services_(services),
      settings_(settings),
      months_(LoadedMonthNames()),
      cursor_(settings),
      marks_(services.clock),
      context_{{services.clock, services.network, services.probe, services.reporter,
                services.clockService},
               settings,
               cursor_,
               marks_,
               gate_,
               months_,
               sntpPort,
               sntpTimeoutMs,
               services.history},
      tester_(context_) {}

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
    if (services_.connectivity.IsConnected()) {
        gate_.Apply(RunGate::kAlways, [&](const RunGate::Held& held) {
            marks_.SetHourlyMark(held,
                                 DateTime::FromSystemTime(clock.LocalTime()).value_or(DateTime()));
            marks_.RestartWatchdog(held, clock.LocalTime());
        });
        manualRun_ = false;
        StartWorker(false, std::exchange(resumePending_, false));
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
    manualRun_ = true;
    RestartWatchdog();
    StartWorker(true);
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
        StartWorker(manualRun_, resumeRun_);
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
}

int SyncScheduler::RunLimitSeconds() const {
    const int limit = manualRun_ ? kManualRunLimitSeconds : settings_.userOptions().nTimeOut;
    // A restart before the run can fail by itself would ask the same dead server forever:
    // the probe of a manual run, then two SNTP exchanges when the clock is stepped.
    const auto exchangeSeconds = static_cast<int>((context_.sntpTimeoutMs + 999) / 1000);
    const int probeSeconds = manualRun_ ? PlatformWebProbe::kTimeoutMs / 1000 : 0;
    return std::max(limit, probeSeconds + 2 * exchangeSeconds + kLookupMarginSeconds);
}

bool SyncScheduler::IsSyncOverdue() const {
    return settings_.isSyncOverdue(gate_.Record(), services_.clock.LocalTime());
}

void SyncScheduler::Resumed() {
    const std::int32_t period = settings_.userOptions().nSynPeriod;
    resumePending_ = period == Settings::kDaily || period == Settings::kHourly;
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
    });
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

void SyncScheduler::StartWorker(bool manual, bool afterResume) {
    const RunGate::Generation generation = gate_.BeginRun();
    resumeRun_ = afterResume;
    worker_ = services_.threads.Start([this, generation, manual, afterResume] {
        SyncRun run(context_, generation, manual, afterResume);
        const RunResult result = run.Run();
        if (result.failure != RunFailure::kAbandoned) {
            gate_.Apply(generation, [&] { lastResult_ = result; });
        }
    });
}

void SyncScheduler::AbandonWorker() {
    gate_.AbandonRun();
    abandoned_.push_back(std::move(worker_));
}
