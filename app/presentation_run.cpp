// The wording of runs: failures, boxes and status lines.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "app/presentation.h"

namespace presentation {

namespace {

// ERROR_PRIVILEGE_NOT_HELD: only an elevated administrator may set the clock.
constexpr std::uint32_t kPrivilegeNotHeld = 1314;

std::string Seconds(std::uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", ms / 1000.0);
    return text;
}

std::string KissSentence(const RunResult& r) {
    const std::string& code = r.detail;
    if (code == "RATE") {
        return "The server asked us to slow down (RATE).";
    }
    if (code == "DENY" || code == "RSTR") {
        return "The server refused to serve us (" + code + ").";
    }
    return "The server told us to stop asking (" + code + ").";
}

// A sentence of the table as a clause inside another: no full stop, and a lower-case start
// unless it starts with a name.
std::string Clause(RunFailure failure, std::uint32_t code = 0, const std::string& detail = {}) {
    RunResult result;
    result.failure = failure;
    result.code = code;
    result.detail = detail;
    std::string clause = FailureSentence(result);
    clause.pop_back();
    if (clause.rfind("The ", 0) == 0) {
        clause[0] = 't';
    }
    return clause;
}

// The service's own reason: the kinds the program knows in its words, any other as it came.
std::string ServiceReplyReason(const ClockServiceReply& reply) {
    const ClockServiceReason reason = ParseClockServiceReason(reply.reason);
    switch (reason.failure) {
        case ClockServiceFailure::kNetworkStart:
            return Clause(RunFailure::kNetworkStart);
        case ClockServiceFailure::kClockRefused:
            return Clause(RunFailure::kClockRefused, reason.code);
        case ClockServiceFailure::kConversionFailed:
            return Clause(RunFailure::kConversionFailed);
        case ClockServiceFailure::kAbandoned:
            return Clause(RunFailure::kAbandoned);
        case ClockServiceFailure::kServerNotApproved:
            return "server not approved by the administrator";
        case ClockServiceFailure::kOffsetAboveLimit:
            return "offset above the administrator's limit";
        case ClockServiceFailure::kNoAnswer:
            return "no answer from " + reason.detail;
        case ClockServiceFailure::kDisagreement:
            return reason.detail + " disagrees by " + std::to_string(reason.code) +
                   " s; the clock was left alone";
        case ClockServiceFailure::kKissOfDeath:
            return Clause(RunFailure::kKissOfDeath, 0, reason.detail);
        case ClockServiceFailure::kOther:
            break;
    }
    return reply.reason;
}

std::string ServiceSilentSentence(const RunResult& r) {
    const std::uint32_t error = r.service.pipeError;
    if (error != 0) {
        return "The Tickwell Clock service does not answer (pipe error " + std::to_string(error) +
               ").";
    }
    return "The Tickwell Clock service does not answer.";
}

// Why the service's answer did not synchronise, without the full stop the sentence around
// it adds.
std::string ServiceReason(const RunResult& r) {
    using Outcome = ClockServiceAnswer::Outcome;
    const ClockServiceAnswer& answer = r.service;
    switch (answer.outcome) {
        case Outcome::kReplied:
            return ServiceReplyReason(answer.reply);
        case Outcome::kDistrusted:
            if (answer.serverProcess == 0) {
                return "cannot tell which process serves the service's pipe (error " +
                       std::to_string(answer.pipeError) + ")";
            }
            if (!answer.serviceRunning) {
                return "the service is not running, yet process " +
                       std::to_string(answer.serverProcess) + " serves its pipe";
            }
            return "process " + std::to_string(answer.serverProcess) +
                   " serves the service's pipe, not the service";
        case Outcome::kUnreadable:
            return "the service's reply could not be read";
        case Outcome::kTimedOut:
            return "the Tickwell Clock service did not answer within " +
                   std::to_string(ClockServiceAnswer::kReplyLimitSeconds) + " seconds";
        case Outcome::kNoService:
        case Outcome::kStopped:
            break;
    }
    return ServiceSilentSentence(r);
}

// The other server and how far apart the two were, in whole seconds (rounded): the check
// needs more than a second between them, so it is never "0 s".
std::string DisagreementSentence(const RunResult& r) {
    const SecondServer second = r.secondServer.value_or(SecondServer{});
    RunResult asked;
    asked.serverTitle = second.title;
    asked.address = second.address;
    const long long apart = std::llround(std::fabs(r.offset - second.offset));
    return ServerAsked(asked) + " disagrees by " + std::to_string(apart) +
           " s; the clock was left alone.";
}

struct FailureWording {
    RunFailure failure;
    std::string (*sentence)(const RunResult&);
    const char* summary;  // the tray tip's short form
};

// One row per failure: the sentence every place uses, and the tip's short form.
const FailureWording kFailures[] = {
    {RunFailure::kInternetOpen,
     [](const RunResult&) -> std::string { return "The Internet session could not be opened."; },
     "no Internet connection"},
    {RunFailure::kUrlOpen,
     [](const RunResult&) -> std::string {
         return "The test web page could not be opened: is the computer online?";
     },
     "no Internet connection"},
    {RunFailure::kNetworkStart,
     [](const RunResult&) -> std::string { return "The network could not be started."; },
     "network not started"},
    {RunFailure::kNetworkVersion,
     [](const RunResult&) -> std::string {
         return "The network does not offer the version Tickwell needs.";
     },
     "network not started"},
    {RunFailure::kUnresolved,
     [](const RunResult& r) { return "The name " + r.host + " did not resolve."; },
     "name did not resolve"},
    {RunFailure::kNoAnswer,
     [](const RunResult& r) {
         return "No answer from " + AddressAsked(r) + " within " + Seconds(r.timeoutMs) + " s.";
     },
     "no answer"},
    {RunFailure::kSocketError,
     [](const RunResult& r) { return "The network refused the request (" + r.detail + ")."; },
     "network error"},
    {RunFailure::kTooShort,
     [](const RunResult&) -> std::string { return "The server's reply was cut short."; },
     "bad reply"},
    {RunFailure::kNotServerMode,
     [](const RunResult&) -> std::string { return "The reply did not come from a time server."; },
     "bad reply"},
    {RunFailure::kBadVersion,
     [](const RunResult&) -> std::string {
         return "The server answered in an unknown protocol version.";
     },
     "bad reply"},
    {RunFailure::kKissOfDeath, KissSentence, "server refused"},
    {RunFailure::kBadStratum,
     [](const RunResult&) -> std::string { return "The server gave an impossible stratum."; },
     "bad reply"},
    {RunFailure::kUnsynchronised,
     [](const RunResult&) -> std::string { return "The server's own clock is not synchronized."; },
     "server not synchronized"},
    {RunFailure::kZeroTransmit,
     [](const RunResult&) -> std::string { return "The server's reply carried no time."; },
     "bad reply"},
    {RunFailure::kRootDistance,
     [](const RunResult&) -> std::string {
         return "The server is too far from its reference clock to be trusted.";
     },
     "bad reply"},
    {RunFailure::kClockRefused,
     [](const RunResult& r) {
         return "Windows refused to set the clock (error " + std::to_string(r.code) + ").";
     },
     "clock not set"},
    {RunFailure::kConversionFailed,
     [](const RunResult&) -> std::string {
         return "The fixed offset leads to a time the clock cannot hold.";
     },
     "clock not set"},
    {RunFailure::kServiceSilent, ServiceSilentSentence, "clock service failed"},
    {RunFailure::kServiceFailed,
     [](const RunResult& r) {
         return "The Tickwell Clock service could not synchronize: " + ServiceReason(r) + ".";
     },
     "clock service failed"},
    {RunFailure::kDisagreement, DisagreementSentence, "servers disagree"},
    {RunFailure::kAbandoned,
     [](const RunResult&) -> std::string { return "The run was broken off."; }, "broken off"},
};

const FailureWording* WordingOf(RunFailure failure) {
    for (const FailureWording& wording : kFailures) {
        if (wording.failure == failure) {
            return &wording;
        }
    }
    return nullptr;
}

std::string Lowercase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

std::string FailureSentence(const RunResult& result) {
    const FailureWording* wording = WordingOf(result.failure);
    return wording != nullptr ? wording->sentence(result) : std::string();
}

std::string HistoryReason(const RunResult& result) {
    if (result.ok()) {
        return result.unconfirmed ? kNotConfirmed : "";
    }
    std::string reason = FailureSentence(result);
    if (result.failure == RunFailure::kKissOfDeath &&
        (result.detail == "DENY" || result.detail == "RSTR")) {
        reason += kRefusedUntilRestart;
    }
    return reason;
}

std::string ServerTestReport(const RunResult& result) {
    if (result.ok()) {
        return NetDelayReport(result.delay);
    }
    return std::string(kTestFailed) + " (" + FailureSentence(result) + ")";
}

std::string FailureSummary(RunFailure failure) {
    const FailureWording* wording = WordingOf(failure);
    return wording != nullptr ? wording->summary : "";
}

std::string AddressAsked(const RunResult& result) {
    return result.address.empty() ? result.host : result.address;
}

std::string ServerAsked(const RunResult& result) {
    const std::string asked = AddressAsked(result);
    if (result.serverTitle.empty() || asked.empty()) {
        return result.serverTitle + asked;
    }
    return result.serverTitle + " (" + asked + ")";
}

std::string FailureParagraph(const RunResult& result) {
    const std::string server = ServerAsked(result);
    return (server.empty() ? "" : server + ": ") + FailureSentence(result);
}

std::string ClockRefusedText(std::uint32_t error) {
    RunResult refused;
    refused.failure = RunFailure::kClockRefused;
    refused.code = error;
    const std::string sentence = FailureSentence(refused);
    if (error == kPrivilegeNotHeld) {
        return sentence.substr(0, sentence.size() - 1) + ": run Tickwell as administrator.";
    }
    return sentence;
}

std::string FailureFirstLine(const RunEvent& event) {
    const RunFailure failure = event.result.failure;
    switch (event.step) {
        case RunStep::kProbe:
            return failure == RunFailure::kInternetOpen ? kInternetOpenBox : kUrlOpenBox;
        case RunStep::kNetworkStart:
            return failure == RunFailure::kNetworkVersion ? kNetworkVersionBox : kNetworkStartBox;
        case RunStep::kSet:
            return failure == RunFailure::kClockRefused ? ClockRefusedText(event.result.code)
                                                        : kConversionBox;
        case RunStep::kService:
            if (failure == RunFailure::kServiceSilent) {
                return event.serviceChosen ? kServiceSilentBox : kNoWayToSetBox;
            }
            return FailureSentence(event.result);
        case RunStep::kQuery:
            break;
    }
    // Nothing went wrong receiving: the reason is the whole story.
    return failure == RunFailure::kDisagreement ? FailureSentence(event.result) : kReceivingBox;
}

std::string FailureBoxText(const std::string& firstLine, const RunResult& result) {
    // A first line that gives the reason already is followed by the server alone.
    const std::string reason = FailureSentence(result);
    const std::string stem = Lowercase(reason.substr(0, reason.size() - 1));
    if (!stem.empty() && Lowercase(firstLine).find(stem) != std::string::npos) {
        return firstLine + "\n\n" + ServerAsked(result) + ".";
    }
    return firstLine + "\n\n" + FailureParagraph(result);
}

// Kept, with "DST" and its line breaks.
std::string ClockJumpWarning(std::int64_t minutes) {
    return std::to_string(minutes) +
           " minutes between the time after synchronizing and the time before synchronizing.\n"
           "It can be caused by a virus, by bad software executing, by DST or by hardware "
           "errors.\nThis message is a warning only.";
}

Box BoxOf(const RunEvent& event) {
    switch (event.kind) {
        case RunEvent::Kind::kSucceeded:
            return {kSuccessBox, kCaption, BoxIcon::kInformation};
        case RunEvent::Kind::kClockJump:
            return {ClockJumpWarning(event.jumpMinutes), kCaption, BoxIcon::kWarning};
        case RunEvent::Kind::kFailed:
            break;
        case RunEvent::Kind::kNoConnection:
        case RunEvent::Kind::kAllLeftAlone:
            return {};
    }
    const std::string firstLine = FailureFirstLine(event);
    // The network's start is told at once, on its own; the run's box follows.
    const std::string text =
        event.step == RunStep::kNetworkStart ? firstLine : FailureBoxText(firstLine, event.result);
    const bool internet =
        event.step == RunStep::kProbe && event.result.failure == RunFailure::kInternetOpen;
    return {text, internet ? kInternetErrorCaption : kErrorCaption, BoxIcon::kError};
}

std::string StatusLine(const RunEvent& event, const MonthNames& months) {
    switch (event.kind) {
        case RunEvent::Kind::kSucceeded:
        case RunEvent::Kind::kClockJump:
            return SuccessStatusLine(event.local, event.result.delay, months);
        case RunEvent::Kind::kNoConnection:
            return ConnectionAbsentStatus(event.local, months);
        case RunEvent::Kind::kAllLeftAlone:
            return kAllLeftAloneStatus + ErrorStamp(event.local, months);
        case RunEvent::Kind::kFailed:
            break;
    }
    if (event.result.failure == RunFailure::kDisagreement) {
        return FailureSentence(event.result) + " " + ErrorStamp(event.local, months);
    }
    const char* line = kCommunicationStatus;
    if (event.step == RunStep::kProbe) {
        line = event.result.failure == RunFailure::kInternetOpen ? kInternetOpenStatus
                                                                 : kUrlOpenStatus;
    }
    return line + ErrorStamp(event.local, months);
}

// Kept: the stored form "Success synchro: …" that users and scripts read.
std::string SuccessStatusLine(const SYSTEMTIME& after, double delay, const MonthNames& months) {
    char delayText[64];
    std::snprintf(delayText, sizeof delayText, "%5.3f", delay);
    return "Success synchro: " + DateStamp(after, months) + ". Net delay: " + delayText + " sec.";
}

std::string ConnectionAbsentStatus(const SYSTEMTIME& now, const MonthNames& months) {
    char text[128];
    std::snprintf(text, sizeof text, "Net connection is absent! %02d:%02d; %s %02d, %04d",
                  now.wHour, now.wMinute, months[now.wMonth], now.wDay, now.wYear);
    return text;
}

// Kept: "Communication error! 14:05; 07-Mar-2003" ends with this stamp.
std::string ErrorStamp(const SYSTEMTIME& local, const MonthNames& months) {
    char text[96];
    std::snprintf(text, sizeof text, "%02d:%02d; %02d-%s-%04d", local.wHour, local.wMinute,
                  local.wDay, months[local.wMonth], local.wYear);
    return text;
}

std::string DateStamp(const SYSTEMTIME& local, const MonthNames& months) {
    char text[96];
    std::snprintf(text, sizeof text, "%s. %02d, %04d", months[local.wMonth], local.wDay,
                  local.wYear);
    return text;
}

}  // namespace presentation
