#include "sync/sync_run.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "config/date_time.h"

namespace {

constexpr const char* kErrorCaption = "Tickwell:Error";
constexpr const char* kInternetErrorCaption = "Tickwell: error";
// ERROR_PRIVILEGE_NOT_HELD: only an elevated administrator may set the clock.
constexpr std::uint32_t kPrivilegeNotHeld = 1314;

constexpr const char* kServiceSilentText =
    "The Tickwell Clock service does not answer. Ask your administrator to install it, or run "
    "Tickwell as administrator.";
constexpr const char* kNoWayToSetText =
    "Tickwell may not set the clock and the Tickwell Clock service does not answer. Ask your "
    "administrator to install the service, or run Tickwell as administrator.";

std::string Lowercase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

std::string SuccessStatusLine(const SYSTEMTIME& after, double delay, const MonthNames& months) {
    char delayText[64];
    std::snprintf(delayText, sizeof delayText, "%5.3f", delay);
    return "Success synchro: " + DateStamp(after, months) + ". Net delay: " + delayText + " sec.";
}

std::string ClockJumpWarning(std::int64_t minutes) {
    return std::to_string(minutes) +
           " minutes between the time after synchronizing and the time before synchronizing.\n"
           "It can be caused by a virus, by bad software executing, by DST or by hardware "
           "errors.\nThis message is a warning only.";
}

std::string ClockRefusedText(std::uint32_t error) {
    const std::string refused = "Windows refused to set the clock (error " + std::to_string(error);
    if (error == kPrivilegeNotHeld) {
        return refused + "): run Tickwell as administrator.";
    }
    return refused + ").";
}

std::string FailureBoxText(const std::string& firstLine, const RunResult& result) {
    // A first line that gives the reason already is followed by the server alone.
    const std::string reason = FailureText(result);
    const std::string stem = Lowercase(reason.substr(0, reason.size() - 1));
    if (!stem.empty() && Lowercase(firstLine).find(stem) != std::string::npos) {
        return firstLine + "\n\n" + ServerAsked(result) + ".";
    }
    return firstLine + "\n\n" + FailureParagraph(result);
}

SyncRun::SyncRun(RunContext& context, RunGate::Generation generation, bool manual, bool afterResume)
    : context_(context),
      clock_(context.services.clock),
      generation_(generation),
      manual_(manual),
      afterResume_(afterResume),
      options_(context.settings.userOptions()) {}

bool SyncRun::ShowBox(const std::string& text, const char* caption, BoxIcon icon) {
    if (!context_.gate.IsCurrent(generation_)) {
        return false;
    }
    RunGate::RunBoxGuard guard(context_.gate, generation_);
    context_.services.boxes.Show(text, caption, icon, guard);
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
        if (context_.settings.userOptions().nSynPeriod == Settings::kHourly) {
            context_.marks.ShiftHourlyMark(held);
        }
    });
}

void SyncRun::Report(bool showBox, const std::string& text, const char* caption, const char* line) {
    const SYSTEMTIME now = clock_.LocalTime();
    if (showBox) {
        ShowBox(text, caption, BoxIcon::kError);
    }
    const std::string status = line + ErrorStamp(now, context_.months);
    Apply([&status](SyncRecord& record) { record.connectStatus = status; });
}

void SyncRun::ReportInternetOpenError(bool showBox, const RunResult& result) {
    Report(showBox, FailureBoxText("Internet open error! Test your system and try again.", result),
           kInternetErrorCaption, "Internet Open Error! ");
}

void SyncRun::ReportUrlOpenError(bool showBox, const RunResult& result) {
    Report(showBox,
           FailureBoxText(
               "URL open error!\nIf you cannot see any WWW page and get mail,\ntest internet "
               "connection, please.\nIf you can it means that the program\ncannot get "
               "information from time server now.\nIf you use manual synchronization\ntry be "
               "synchronized later.\nIf it is auto mode do nothing, please.",
               result),
           kErrorCaption, "URL Open Error! ");
}

void SyncRun::ReportCommunicationError(bool showBox, const std::string& text) {
    Report(showBox, text, kErrorCaption, "Communication error! ");
}

RunResult SyncRun::Fail(const std::string& firstLine, RunResult result) {
    result.serverTitle = serverTitle_;
    ReportCommunicationError(manual_, FailureBoxText(firstLine, result));
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
    result->serverTitle = serverTitle_;
    if (probed == ProbeResult::kSessionFailed) {
        result->failure = RunFailure::kInternetOpen;
        ReportInternetOpenError(manual_, *result);
    } else {
        result->failure = RunFailure::kUrlOpen;
        ReportUrlOpenError(manual_, *result);
    }
    MoveToNextServer();
    return false;
}

RunResult SyncRun::FetchServerTime(bool showErrors, bool setClock, const std::string& host,
                                   std::int32_t userOffsetSeconds) {
    using Result = ClockCorrection::Outcome::Result;
    RunResult fetched;
    fetched.host = host;
    const NetworkSession session(context_.services.network);
    if (session.result() == NetworkStartResult::kFailed) {
        ReportCommunicationError(showErrors, "WSAStartup failed!\n");
        fetched.failure = RunFailure::kNetworkStart;
        return fetched;
    }
    if (session.result() == NetworkStartResult::kWrongVersion) {
        ReportCommunicationError(showErrors,
                                 "Winsock stack does not support version that is needed!\n");
        fetched.failure = RunFailure::kNetworkVersion;
        return fetched;
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
    const ClockCorrection::Outcome outcome =
        setClock ? correction.Correct(host, userOffsetSeconds) : correction.Measure(host);
    fetched.address = outcome.address;
    fetched.offset = outcome.offset;
    fetched.delay = outcome.delay;
    fetched.stratum = outcome.stratum;
    fetched.answered = outcome.answered;
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
    }
    return fetched;
}

RunResult SyncRun::CorrectInProcess(const std::string& host) {
    RunResult result = FetchServerTime(manual_, true, host, options_.nOffset);
    switch (result.failure) {
        case RunFailure::kNone:
        case RunFailure::kAbandoned:
            return result;
        case RunFailure::kClockRefused:
            return Fail(ClockRefusedText(result.code), result);
        case RunFailure::kConversionFailed:
            return Fail("Time conversion error!", result);
        default:
            return Fail("Time receiving error!", result);
    }
}

RunResult SyncRun::CorrectThroughService(const std::string& host, bool serviceChosen) {
    RunInterrupter interrupter(context_.gate, generation_);
    const std::optional<ClockServiceReply> reply =
        context_.services.clockService.Synchronise({host, options_.nOffset}, &interrupter);
    RunResult result;
    result.host = host;
    result.throughService = true;
    // The service may have moved the clock: the watchdog measures the run, not that jump.
    if (!SetWatchdogToNow()) {
        result.failure = RunFailure::kAbandoned;
        return result;
    }
    if (!reply) {
        result.failure = RunFailure::kServiceSilent;
        return Fail(serviceChosen ? kServiceSilentText : kNoWayToSetText, result);
    }
    result.offset = reply->offset;
    result.delay = reply->delay;
    result.stratum = reply->stratum;
    // Only a synchronised reply carries the server's measurement.
    result.answered = reply->status == ClockServiceStatus::kSynchronised;
    if (!result.answered) {
        result.failure = RunFailure::kServiceFailed;
        result.detail = reply->reason;
        return Fail("The Tickwell Clock service could not synchronize: " + reply->reason + ".",
                    result);
    }
    result.step = reply->offset + options_.nOffset;
    return result;
}

RunResult SyncRun::Run() {
    const RunResult result = Synchronise();
    // The clock is set whether or not the history can be written.
    if (context_.history != nullptr && result.failure != RunFailure::kAbandoned &&
        context_.gate.IsCurrent(generation_)) {
        const char* kind = manual_ ? kManualKind : afterResume_ ? kResumeKind : kScheduledKind;
        context_.history->Append(HistoryEntryOf(result, kind, clock_.UtcTime()));
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
    if (manual_ && !ShowBox("Successful synchronization.", kCaption, BoxIcon::kInformation)) {
        return abandoned();
    }
    const std::string status = SuccessStatusLine(after, result.delay, context_.months);
    if (!Apply([&](SyncRecord& record) {
            record.connectStatus = status;
            context_.settings.saveSyncRecord(record);
        })) {
        return abandoned();
    }

    const std::int32_t maxDiff = options_.nMaxDiff;
    if (context_.settings.bFirstStart == 0 && maxDiff != 0) {
        const std::optional<DateTime> start = DateTime::FromSystemTime(before);
        const std::optional<DateTime> end = DateTime::FromSystemTime(after);
        const std::int64_t minutes = start && end ? std::llabs(WholeMinutes(*end - *start)) : 0;
        if (minutes > maxDiff) {
            if (!ShowBox(ClockJumpWarning(minutes), kCaption, BoxIcon::kWarning)) {
                return abandoned();
            }
        }
    }
    if (!Apply([this] { context_.settings.bFirstStart = 0; })) {
        return abandoned();
    }
    return result;
}
