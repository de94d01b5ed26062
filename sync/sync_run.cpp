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
      options_(context.settings.userOptions()) {}

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
        if (options_.nSynPeriod == Settings::kHourly) {
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
    result->failure =
        probed == ProbeResult::kSessionFailed ? RunFailure::kInternetOpen : RunFailure::kUrlOpen;
    *result = Fail(RunStep::kProbe, *result);
    return false;
}

RunResult SyncRun::FetchServerTime(bool showErrors, bool setClock, const std::string& host,
                                   std::int32_t userOffsetSeconds,
                                   const std::vector<ServerEntry>& secondOpinions,
                                   const std::function<void()>& sending) {
    using Result = ClockCorrection::Outcome::Result;
    RunResult fetched;
    fetched.host = host;
    const NetworkSession session(context_.services.network);
    if (session.result() != NetworkStartResult::kStarted) {
        fetched.failure = session.result() == NetworkStartResult::kWrongVersion
                              ? RunFailure::kNetworkVersion
                              : RunFailure::kNetworkStart;
        ReportFailure(showErrors, RunStep::kNetworkStart, fetched);
        return fetched;
    }
    if (sending) {
        sending();
    }
    RunInterrupter interrupter(context_.gate, generation_);
    SntpClient client(clock_, context_.sntpTimeoutMs, &interrupter);
    // The watchdog measures the run, not the jump of the clock it has just set.
    ClockCorrection correction(clock_, client, context_.sntpPort,
                               [this](const std::function<void()>& set) {
                                   return Apply([&](const RunGate::Held& held) {
                                       set();
                                       context_.marks.RestartWatchdog(held, clock_.LocalTime());
                                   });
                               });
    std::vector<std::string> secondHosts;
    for (const ServerEntry& entry : secondOpinions) {
        secondHosts.push_back(entry.address);
    }
    const ClockCorrection::Outcome outcome =
        setClock ? correction.Correct(host, userOffsetSeconds, secondHosts)
                 : correction.Measure(host);
    fetched.address = outcome.address;
    fetched.offset = outcome.offset;
    fetched.delay = outcome.delay;
    fetched.stratum = outcome.stratum;
    fetched.answered = outcome.answered;
    fetched.unconfirmed = outcome.unconfirmed;
    const std::size_t asked = std::min(outcome.secondOpinionsAsked, secondOpinions.size());
    fetched.secondOpinionsAsked.assign(secondOpinions.begin(),
                                       secondOpinions.begin() + static_cast<std::ptrdiff_t>(asked));
    if (outcome.secondOpinion) {
        fetched.secondServer =
            SecondServer{secondOpinions.at(outcome.secondOpinion->index).title,
                         outcome.secondOpinion->address, outcome.secondOpinion->offset};
    }
    switch (outcome.result) {
        case Result::kSucceeded:
            if (setClock) {
                fetched.step = outcome.offset + userOffsetSeconds;
            }
            break;
        case Result::kNoAnswer:
            TakeSntpFailure(outcome.failure, context_.sntpTimeoutMs, &fetched);
            break;
        case Result::kClockRefused:
            fetched.failure = RunFailure::kClockRefused;
            fetched.code = outcome.setError;
            break;
        case Result::kConversionFailed:
            fetched.failure = RunFailure::kConversionFailed;
            fetched.step = outcome.offset;
            break;
        case Result::kAbandoned:
            fetched.failure = RunFailure::kAbandoned;
            break;
        case Result::kDisagreement:
            fetched.failure = RunFailure::kDisagreement;
            break;
    }
    return fetched;
}

std::vector<ServerEntry> SyncRun::SecondOpinionServers(const std::string& host) const {
    const int current = context_.cursor.currentServer();
    const ServerCatalogue catalogue = context_.settings.servers.Copy();
    std::vector<std::string> hosts;
    for (int i = 0; i < catalogue.size(); ++i) {
        hosts.push_back(catalogue.at(i).address);
    }
    std::vector<ServerEntry> servers;
    // A negative index names no entry: the candidates then start at the first.
    const std::size_t from = current < 0 ? hosts.size() : static_cast<std::size_t>(current);
    for (const std::size_t index : SecondOpinionCandidates(hosts, host, from)) {
        const ServerEntry entry = catalogue.at(static_cast<int>(index));
        if (manual_ || !context_.mayAskAutomatically || context_.mayAskAutomatically(entry)) {
            servers.push_back(entry);
        }
    }
    return servers;
}

RunResult SyncRun::CorrectInProcess(const std::string& host) {
    RunResult result = FetchServerTime(manual_, true, host, options_.nOffset,
                                       SecondOpinionServers(host), [this, &host] {
                                           if (context_.asking) {
                                               context_.asking(serverTitle_, host);
                                           }
                                       });
    switch (result.failure) {
        case RunFailure::kNone:
        case RunFailure::kAbandoned:
            return result;
        case RunFailure::kClockRefused:
        case RunFailure::kConversionFailed:
            return Fail(RunStep::kSet, result);
        default:
            return Fail(RunStep::kQuery, result);
    }
}

RunResult SyncRun::CorrectThroughService(const std::string& host, bool serviceChosen) {
    RunInterrupter interrupter(context_.gate, generation_);
    const ClockServiceAnswer answer =
        context_.services.clockService.Synchronise({host, options_.nOffset}, &interrupter);
    RunResult result;
    result.host = host;
    result.throughService = true;
    result.service = answer;
    // The service may have moved the clock: the watchdog measures the run, not that jump.
    if (!SetWatchdogToNow()) {
        result.failure = RunFailure::kAbandoned;
        return result;
    }
    using Outcome = ClockServiceAnswer::Outcome;
    if (answer.outcome == Outcome::kNoService || answer.outcome == Outcome::kStopped) {
        result.failure = RunFailure::kServiceSilent;
        return Fail(RunStep::kService, result, serviceChosen);
    }
    const ClockServiceReply& reply = answer.reply;
    result.offset = reply.offset;
    result.delay = reply.delay;
    result.stratum = reply.stratum;
    // Only a synchronised reply carries the server's measurement.
    result.answered = answer.replied() && reply.status == ClockServiceStatus::kSynchronised;
    if (!result.answered) {
        result.failure = RunFailure::kServiceFailed;
        return Fail(RunStep::kService, result, serviceChosen);
    }
    result.step = reply.offset + options_.nOffset;
    result.unconfirmed = reply.reason == kClockServiceUnconfirmed;
    return result;
}

RunResult SyncRun::Run() {
    const RunResult result = Synchronise();
    // The clock is set whether or not the history can be written.
    if (context_.history != nullptr && result.failure != RunFailure::kAbandoned &&
        context_.gate.IsCurrent(generation_)) {
        context_.history->Append(HistoryEntryOf(result, kind_, clock_.UtcTime(),
                                                context_.services.reporter.HistoryReason(result)));
    }
    return result;
}

RunResult SyncRun::Synchronise() {
    // Copies: the catalogue may be replaced while the run works.
    const std::string host = context_.cursor.CurrentServerAddress();
    serverTitle_ = context_.cursor.CurrentServerTitle();
    RunResult probed;
    probed.host = host;
    if (!ProbeInternet(&probed)) {
        return probed;
    }
    const SYSTEMTIME before = clock_.LocalTime();
    const std::int32_t use = context_.settings.nClockService;
    const bool serviceChosen = use == Settings::kServiceAlways;
    const bool throughService =
        serviceChosen || (use != Settings::kServiceNever && !clock_.MaySetClock());
    RunResult result =
        throughService ? CorrectThroughService(host, serviceChosen) : CorrectInProcess(host);
    result.serverTitle = serverTitle_;
    if (!result.ok()) {
        return result;
    }
    const auto abandoned = [&result] {
        result.failure = RunFailure::kAbandoned;
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

    const std::int32_t maxDiff = options_.nMaxDiff;
    if (context_.settings.bFirstStart == 0 && maxDiff != 0) {
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
    if (!Apply([this] { context_.settings.bFirstStart = 0; })) {
        return abandoned();
    }
    return result;
}
