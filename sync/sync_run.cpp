#include "sync/sync_run.h"

#include <algorithm>
#include <cstdlib>

#include "config/date_time.h"
#include "sync/second_opinion.h"

SyncRun::SyncRun(RunContext& context, RunGate::Generation generation, RunKind kind)
    : context_(context),
      clock_(context.services.clock),
      generation_(generation),
      kind_(kind),
      manual_(kind == RunKind::kManual),
      options_(context.settings.Options()) {}

bool SyncRun::ShowBox(const RunEvent& event) {
    if (!context_.gate.IsCurrent(generation_)) {
        return false;
    }
    RunGate::RunBoxGuard guard(context_.gate, generation_);
    context_.services.reporter.ShowBox(event, guard);
    // The time the box stayed open is the user's, not the run's.
    return SetWatchdogToNow();
}

bool SyncRun::SetWatchdogToNow() {
    return Apply([this](const RunGate::Held& held) {
        context_.marks.RestartWatchdog(held, clock_.LocalTime());
    });
}

void SyncRun::MoveToNextServer() {
    Apply([this](const RunGate::Held& held) {
        context_.cursor.AdvanceServer(held);
        if (options_.period == Settings::kHourly) {
            context_.marks.MakeHourlyRunDue(held);
        }
    });
}

void SyncRun::ReportFailure(bool showBox, RunStep step, const RunResult& result,
                            bool serviceChosen) {
    RunEvent event;
    event.kind = RunEvent::Kind::kFailed;
    event.step = step;
    event.result = result;
    event.local = clock_.LocalTime();
    event.serviceChosen = serviceChosen;
    if (showBox) {
        ShowBox(event);
    }
    const std::string status = context_.services.reporter.StatusLine(event);
    Apply([&status](SyncRecord& record) { record.connectStatus = status; });
}

RunResult SyncRun::Fail(RunStep step, RunResult result, bool serviceChosen) {
    result.serverTitle = serverTitle_;
    ReportFailure(manual_, step, result, serviceChosen);
    MoveToNextServer();
    return result;
}

bool SyncRun::ProbeInternet(RunResult* result) {
    if (!manual_) {
        return true;  // scheduled runs rely on the scheduler's connection check
    }
    RunInterrupter interrupter(context_.gate, generation_);
    const ProbeResult probed = context_.services.probe.Probe(&interrupter);
    if (probed == ProbeResult::kOpened) {
        return true;
    }
    result->failure = FailureOf(probed == ProbeResult::kSessionFailed ? FailureKind::kInternetOpen
                                                                      : FailureKind::kUrlOpen);
    *result = Fail(RunStep::kProbe, *result);
    return false;
}

std::vector<ServerEntry> SyncRun::SecondOpinionServers(const std::string& host) const {
    const int current = context_.cursor.CurrentIndex();
    const ServerCatalogue catalogue = context_.settings.servers.Copy();
    std::vector<std::string> hosts;
    for (int i = 0; i < catalogue.Size(); ++i) {
        hosts.push_back(catalogue.At(i).address);
    }
    std::vector<ServerEntry> servers;
    // A negative index names no entry: the candidates then start at the first.
    const std::size_t from = current < 0 ? hosts.size() : static_cast<std::size_t>(current);
    for (const std::size_t index : SecondOpinionCandidates(hosts, host, from)) {
        const ServerEntry entry = catalogue.At(static_cast<int>(index));
        if (options_.onlySecure && !entry.nts) {
            continue;
        }
        if (manual_ || !context_.mayAskAutomatically || context_.mayAskAutomatically(entry)) {
            servers.push_back(entry);
        }
    }
    return servers;
}

RunResult SyncRun::CorrectInProcess(const TimeServer& server) {
    const std::string& host = server.host;
    const NetworkSession session(context_.services.network);
    if (const Failure failure = NetworkStartFailure(session.result()); failure.failed()) {
        RunResult result;
        result.host = host;
        result.failure = failure;
        ReportFailure(manual_, RunStep::kNetworkStart, result);
        return Fail(RunStep::kQuery, result);
    }
    const std::vector<ServerEntry> secondOpinions = SecondOpinionServers(host);
    std::vector<TimeServer> secondServers;
    for (const ServerEntry& entry : secondOpinions) {
        secondServers.emplace_back(entry.address, entry.nts);
    }
    if (context_.asking) {
        context_.asking(serverTitle_, host);
    }
    RunInterrupter interrupter(context_.gate, generation_);
    SntpClient client(clock_, context_.sntpTimeoutMs, &interrupter);
    // The watchdog measures the run, not the jump of the clock it has just set.
    ClockCorrection correction(
        clock_, client, context_.sntpPort,
        [this](const std::function<void()>& set) {
            return Apply([&](const RunGate::Held& held) {
                set();
                context_.marks.RestartWatchdog(held, clock_.LocalTime());
            });
        },
        context_.keys, &interrupter);
    const RunResult result =
        ResultOf(host, correction.Correct(server, options_.offsetSeconds, secondServers),
                 secondOpinions, options_.offsetSeconds);
    switch (result.failure.kind) {
        case FailureKind::kNone:
        case FailureKind::kAbandoned:
            return result;
        case FailureKind::kClockRefused:
        case FailureKind::kConversionFailed:
            return Fail(RunStep::kSet, result);
        default:
            return Fail(RunStep::kQuery, result);
    }
}

RunResult SyncRun::CorrectThroughService(const TimeServer& server, bool serviceChosen) {
    const std::string& host = server.host;
    RunInterrupter interrupter(context_.gate, generation_);
    const ClockServiceReply reply = context_.services.clockService.Synchronise(
        {host, options_.offsetSeconds, server.nts}, &interrupter);
    RunResult result;
    result.host = host;
    result.throughService = true;
    // The service may have moved the clock: the watchdog measures the run, not that jump.
    if (!SetWatchdogToNow()) {
        result.failure = FailureOf(FailureKind::kAbandoned);
        return result;
    }
    if (!reply.ok()) {
        result.failure = reply.failure;
        result.address = reply.failure.address;
        return Fail(RunStep::kService, result, serviceChosen);
    }
    // Only a synchronised reply carries the server's measurement.
    result.offset = reply.offset;
    result.delay = reply.delay;
    result.stratum = reply.stratum;
    result.answered = true;
    result.step = reply.offset + options_.offsetSeconds;
    result.unconfirmed = reply.unconfirmed;
    result.secure = reply.secure;
    return result;
}

RunResult SyncRun::Run() {
    const RunResult result = Synchronise();
    if (result.failure.kind == FailureKind::kAbandoned || !context_.gate.IsCurrent(generation_)) {
        return result;
    }
    // The clock is set whether or not the history can be written.
    if (context_.history != nullptr) {
        context_.history->Append(HistoryEntryOf(result, kind_, clock_.UtcTime(),
                                                context_.services.reporter.HistoryReason(result)));
    }
    context_.services.reporter.RunEnded(result, kind_);
    return result;
}

RunResult SyncRun::Synchronise() {
    // Copies: the catalogue may be replaced while the run works.
    if (options_.onlySecure) {
        Apply([this] { context_.cursor.SkipToSecureServer(); });
    }
    const ServerEntry entry = context_.cursor.CurrentServer();
    const std::string& host = entry.address;
    serverTitle_ = entry.title;
    // Only secure: even an entry not marked so is asked by NTS rather than plainly.
    const TimeServer server(host, entry.nts || options_.onlySecure);
    RunResult probed;
    probed.host = host;
    if (!ProbeInternet(&probed)) {
        return probed;
    }
    const SYSTEMTIME before = clock_.LocalTime();
    const std::int32_t use = context_.settings.clockService;
    const bool serviceChosen = use == Settings::kServiceAlways;
    const bool throughService =
        serviceChosen || (use != Settings::kServiceNever && !clock_.MaySetClock());
    RunResult result =
        throughService ? CorrectThroughService(server, serviceChosen) : CorrectInProcess(server);
    result.serverTitle = serverTitle_;
    if (!result.ok()) {
        return result;
    }
    const auto abandoned = [&result] {
        result.failure = FailureOf(FailureKind::kAbandoned);
        return result;
    };

    const SYSTEMTIME after = clock_.LocalTime();
    if (!Apply([&](SyncRecord& record) {
            record.timeBefore = before;
            record.timeAfter = after;
            record.syncDate = after;
        })) {
        return abandoned();
    }
    RunEvent event;
    event.result = result;
    event.local = after;
    if (manual_ && !ShowBox(event)) {
        return abandoned();
    }
    const std::string status = context_.services.reporter.StatusLine(event);
    if (!Apply([&](SyncRecord& record, const RunGate::Held& held) {
            record.connectStatus = status;
            context_.records.Decide(held, record);
        })) {
        return abandoned();
    }
    context_.records.Store();

    const std::int32_t maxDiff = options_.maxDiffMinutes;
    if (context_.settings.firstStart == 0 && maxDiff != 0) {
        const std::optional<DateTime> start = DateTime::FromSystemTime(before);
        const std::optional<DateTime> end = DateTime::FromSystemTime(after);
        const std::int64_t minutes = start && end ? std::llabs(WholeMinutes(*end - *start)) : 0;
        if (minutes > maxDiff) {
            event.kind = RunEvent::Kind::kClockJump;
            event.jumpMinutes = minutes;
            if (!ShowBox(event)) {
                return abandoned();
            }
        }
    }
    if (!Apply([this] { context_.settings.firstStart = 0; })) {
        return abandoned();
    }
    return result;
}
