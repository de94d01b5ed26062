#include "tests/support/run_harness.h"

#include <chrono>
#include <stdexcept>
#include <thread>

RunHarness::RunHarness(int servers, std::uint32_t sntpTimeoutMs)
    : server({.clock = &clock}), queryTimeoutMs(sntpTimeoutMs) {
    for (int i = 0; i < servers; ++i) {
        settings.servers.With([&](ServerCatalogue& catalogue) {
            catalogue.Add(ServerEntry("Server " + std::to_string(i), server.address(), 1));
        });
    }
    settings.firstStart = 0;
    cursor.SelectStartingServer();
    RemakeScheduler();
}

void RunHarness::RemakeScheduler() {
    scheduler.reset();
    SchedulerServices services{clock,        network, probe,       reporter,
                               connectivity, threads, clockService};
    services.steadyNow = [this] { return clock.SteadyNow(); };
    services.random = [this](int bound) {
        randomBound = bound;
        return dayStartSeconds.load();
    };
    scheduler = std::make_unique<SyncScheduler>(services, settings, server.port(), queryTimeoutMs);
    scheduler->Restore(SyncRecord());
}

RunHarness::~RunHarness() {
    scheduler.reset();
}

RunResult RunHarness::RunNow(RunKind kind) {
    SyncRun run(context, gate.BeginRun(), kind);
    return run.Run();
}

void RunHarness::WaitForRunEnd() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (scheduler->Status().running) {
        if (std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("the run did not end");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void RunHarness::ServerDoes(FaultConfig config) {
    server.Reconfigure(config);
}

void RunHarness::SetLocalTime(int hour, int minute, int second) {
    SYSTEMTIME local = clock.LocalTime();
    local.wHour = static_cast<std::uint16_t>(hour);
    local.wMinute = static_cast<std::uint16_t>(minute);
    local.wSecond = static_cast<std::uint16_t>(second);
    local.wMilliseconds = 0;
    clock.SetLocalNow(local);
}

void RecordingRunReporter::ShowBox(const RunEvent& event, BoxGuard& guard) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        boxed_.push_back(event);
    }
    words_.ShowBox(event, guard);
}

std::string RecordingRunReporter::StatusLine(const RunEvent& event) const {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastStatus_ = event;
    }
    return words_.StatusLine(event);
}

std::string RecordingRunReporter::HistoryReason(const RunResult& result) const {
    return words_.HistoryReason(result);
}

std::string RecordingRunReporter::ClockChangeNote(bool repeated) const {
    return words_.ClockChangeNote(repeated);
}

void RecordingRunReporter::RunEnded(const RunResult& result, RunKind kind) {
    words_.RunEnded(result, kind);
}

std::vector<RunEvent> RecordingRunReporter::boxed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxed_;
}

std::optional<RunEvent> RecordingRunReporter::lastStatus() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastStatus_;
}
