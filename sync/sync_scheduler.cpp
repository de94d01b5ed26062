#include "sync/sync_scheduler.h"

#include <algorithm>
#include <mutex>
#include <random>
#include <thread>
#include <utility>

#include "config/last_success.h"

namespace {

// A clock change this soon after one of our runs ended is that run's own.
constexpr std::chrono::seconds kOwnChangeMargin{10};

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
      context_{{services.clock, services.network, services.probe, services.reporter,
                services.clockService},
               settings,
               cursor_,
               marks_,
               gate_,
               records_,
               sntpPort,
               sntpTimeoutMs,
               services.history,
               services.keys},
      tester_({services.clock, services.network, sntpPort, sntpTimeoutMs, services.keys},
              services.reporter),
      requests_(settings.servers, cursor_, services.random,
                [&settings] { return settings.Options().onlySecure; }) {
    // A scheduled run's second opinion keeps to the same rules as its own server.
    context_.mayAskAutomatically = [this](const ServerEntry& entry) {
        const auto now = services_.steadyNow();
        bool free = false;
        gate_.Apply(RunGate::kAlways, [&](const RunGate::Held& held) {
            free = requests_.MayAsk(entry.title, entry.address, now, held);
        });
        return free;
    };
    // Noted as the request goes out, so that no tick slips in before the run's own note.
    context_.asking = [this](const std::string& title, const std::string& address) {
        const auto now = services_.steadyNow();
        gate_.Apply(RunGate::kAlways, [&](const RunGate::Held& held) {
            requests_.Asking(title, address, now, held);
        });
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

void SyncScheduler::Restore(const SyncRecord& stored) {
    cursor_.SelectStartingServer();
    gate_.ReplaceRecord(stored);
}

void SyncScheduler::Tick() {
    if (IsRunning()) {
        WatchRun();
    } else {
        CheckSchedule();
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

SyncScheduler::Observed SyncScheduler::Observe() {
    const auto steadyNow = services_.steadyNow();
    Observed observed;
    // The record and the last results in one step: a run that ends meanwhile shows in both or
    // in neither.
    gate_.Apply(RunGate::kAlways, [&](SyncRecord& record, const RunGate::Held& held) {
        observed.record = record;
        observed.results = results_.Under(held);
        observed.allServersRefused = requests_.AllRefused(held);
        observed.hold = requests_.HeldBack(steadyNow, held);
    });
    return observed;
}

Schedule SyncScheduler::Decide(const UserOptions& options, const SYSTEMTIME& now,
                               const Observed& observed) const {
    ScheduleFacts facts;
    facts.now = now;
    facts.period = options.period;
    facts.offsetSet = options.offsetSeconds != 0;
    facts.resumePending = resumePending_;
    facts.syncDate = observed.record.syncDate;
    facts.hourlyMark = marks_.HourlyMark();
    facts.daySpread = requests_.daySpread();
    facts.heldBack = observed.hold.wait;
    return Schedule::Decide(facts);
}

void SyncScheduler::CheckSchedule() {
    const UserOptions options = settings_.Options();
    const SYSTEMTIME now = services_.clock.LocalTime();
    Observed observed = Observe();
    Schedule schedule = Decide(options, now, observed);
    if (schedule.todaysRunDone) {
        requests_.DayDone(now);
    }
    if (!schedule.dueNow) {
        return;
    }
    const bool connected = services_.connectivity.IsConnected();
    if (connected && !connected_) {
        EndBackoff();
        observed = Observe();
        schedule = Decide(options, now, observed);
    }
    connected_ = connected;
    if (!connected) {
        if (options.period == Settings::kHourly) {
            SetStatus(RunEvent::Kind::kNoConnection, now);
        }
        return;
    }
    if (observed.hold.noneInPlay) {
        SetStatus(RunEvent::Kind::kAllLeftAlone, now);
    }
    if (schedule.startsNow) {
        StartScheduledRun(now);
    }
}

void SyncScheduler::StartScheduledRun(const SYSTEMTIME& now) {
    const auto steadyNow = services_.steadyNow();
    gate_.Apply(RunGate::kAlways, [&](const RunGate::Held& held) {
        requests_.Starting(steadyNow, held);
        marks_.SetHourlyMark(held, DateTime::FromSystemTime(now).value_or(DateTime()));
        marks_.RestartWatchdog(held, now);
    });
    requests_.DropDaySpread();
    StartWorker(std::exchange(resumePending_, false) ? RunKind::kAfterResume : RunKind::kScheduled);
}

void SyncScheduler::SetStatus(RunEvent::Kind why, const SYSTEMTIME& now) {
    RunEvent event;
    event.kind = why;
    event.local = now;
    gate_.SetStatus(services_.reporter.StatusLine(event));
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
    const std::optional<DateTime> started = DateTime::FromSystemTime(marks_.WatchdogTime());
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

void SyncScheduler::BreakRun(const std::string& status) {
    if (worker_) {
        AbandonWorker();
    }
    gate_.SetStatus(status);
}

void SyncScheduler::RestartWatchdog() {
    gate_.Apply(RunGate::kAlways, [this](const RunGate::Held& held) {
        marks_.RestartWatchdog(held, services_.clock.LocalTime());
    });
}

void SyncScheduler::Publish(const ServerCatalogue& servers, int chosen) {
    cursor_.Publish(servers, chosen);
    EndBackoff();
}

void SyncScheduler::SettingsChanged() {
    EndBackoff();
}

void SyncScheduler::EndBackoff() {
    gate_.Apply(RunGate::kAlways, [this](const RunGate::Held& held) { requests_.EndPause(held); });
}

int SyncScheduler::RunLimitSeconds() const {
    const bool manual = runKind_ == RunKind::kManual;
    const int limit = manual ? kManualRunLimitSeconds : settings_.Options().timeOutSeconds;
    // A restart before the run can fail by itself would ask the same dead server forever:
    // the probe of a manual run, then two SNTP exchanges when the clock is stepped.
    const auto exchangeSeconds = static_cast<int>((context_.sntpTimeoutMs + 999) / 1000);
    const int probeSeconds = manual ? PlatformWebProbe::kTimeoutMs / 1000 : 0;
    return std::max(limit, probeSeconds + 2 * exchangeSeconds + kLookupMarginSeconds);
}

void SyncScheduler::Resumed() {
    const std::int32_t period = settings_.Options().period;
    resumePending_ = period == Settings::kDaily || period == Settings::kHourly;
    requests_.DropDaySpread();
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
    const UserOptions options = settings_.Options();
    const Observed observed = Observe();
    StatusView view;
    view.record = observed.record;
    view.last = observed.results.last;
    view.lastAutomatic = observed.results.lastAutomatic;
    view.allServersRefused = observed.allServersRefused;
    view.running = IsRunning();
    view.lastSuccess = LastSuccess(view.record);
    view.period = options.period;
    view.maxDays = options.maxDays;
    view.serverTitle = cursor_.CurrentServerTitle();
    view.now = services_.clock.LocalTime();
    const Schedule schedule = Decide(options, view.now, observed);
    view.nextRun = schedule.nextRun;
    view.todaysRunDone = schedule.todaysRunDone;
    view.resumePending = resumePending_;
    view.otherTimeProgram = clockChanges_.Repeated(steadyNow);
    view.runsEnded = runsEnded_;
    view.months = months_;
    return view;
}

void SyncScheduler::StartWorker(RunKind kind) {
    const RunGate::Generation generation = gate_.BeginRun();
    runKind_ = kind;
    const std::string server = requests_.NextServer();
    worker_ = services_.threads.Start([this, generation, kind, server] {
        SyncRun run(context_, generation, kind);
        const RunResult result = run.Run();
        const auto now = services_.steadyNow();
        // An abandoned run has asked all the same.
        gate_.Apply(RunGate::kAlways, [&](const RunGate::Held& held) {
            requests_.RunEnded(server, result, kind, now, held);
        });
        if (result.failure.kind != FailureKind::kAbandoned) {
            gate_.Apply(generation, [&](const RunGate::Held& held) {
                Results& results = results_.Under(held);
                results.last = result;
                if (IsAutomatic(kind)) {
                    results.lastAutomatic = result;
                }
            });
        }
    });
}

void SyncScheduler::AbandonWorker() {
    gate_.AbandonRun();
    abandoned_.push_back(std::move(worker_));
}
