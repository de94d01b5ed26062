// The wording of runs: failures, boxes and status lines.
#include <cctype>
#include <cmath>
#include <cstdio>

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
    const std::string code = r.failure.kiss ? r.failure.kiss->text() : "";
    switch (r.failure.kiss ? r.failure.kiss->meaning() : KissCode::Meaning::kOther) {
        case KissCode::Meaning::kSlowDown:
            return "The server asked us to slow down (" + code + ").";
        case KissCode::Meaning::kRefused:
            return "The server refused to serve us (" + code + ").";
        case KissCode::Meaning::kNewKeys:
            return "The server asked for a new key exchange (" + code + ").";
        case KissCode::Meaning::kOther:
            break;
    }
    return "The server told us to stop asking (" + code + ").";
}

std::string ServiceSilentSentence(const RunResult& r) {
    const std::uint32_t error = r.failure.error;
    if (error != 0) {
        return "The Tickwell Clock service does not answer (pipe error " + std::to_string(error) +
               ").";
    }
    return "The Tickwell Clock service does not answer.";
}

// The other server and how far apart the two were, in whole seconds (rounded): the check
// needs more than a second between them, so it is never "0 s".
std::string DisagreementSentence(const RunResult& r) {
    RunResult other;
    other.serverTitle = r.failure.otherServer;
    other.address = r.failure.otherAddress;
    return ServerAsked(other) + " disagrees by " + std::to_string(r.failure.secondsApart) +
           " s; the clock was left alone.";
}

struct FailureWording {
    FailureKind kind;
    std::string (*sentence)(const RunResult&);
    const char* summary;  // the tray tip's short form
    // Inside another sentence the first letter is lowered, unless it starts with a name or
    // with words of whoever found it.
    bool keepsCapital = false;
};

// One row per failure: the sentence every place uses, and the tip's short form.
const FailureWording kFailures[] = {
    {FailureKind::kInternetOpen,
     [](const RunResult&) -> std::string { return "The Internet session could not be opened."; },
     "no Internet connection"},
    {FailureKind::kUrlOpen,
     [](const RunResult&) -> std::string {
         return "The test web page could not be opened: is the computer online?";
     },
     "no Internet connection"},
    {FailureKind::kNetworkStart,
     [](const RunResult&) -> std::string { return "The network could not be started."; },
     "network not started"},
    {FailureKind::kNetworkVersion,
     [](const RunResult&) -> std::string {
         return "The network does not offer the version Tickwell needs.";
     },
     "network not started"},
    {FailureKind::kUnresolved,
     [](const RunResult& r) { return "The name " + r.host + " did not resolve."; },
     "name did not resolve"},
    {FailureKind::kNoAnswer,
     [](const RunResult& r) {
         return "No answer from " + AddressAsked(r) + " within " + Seconds(r.failure.timeoutMs) +
                " s.";
     },
     "no answer"},
    {FailureKind::kSocketError,
     [](const RunResult& r) {
         return "The network refused the request (" + r.failure.account + ").";
     },
     "network error"},
    {FailureKind::kTooShort,
     [](const RunResult&) -> std::string { return "The server's reply was cut short."; },
     "bad reply"},
    {FailureKind::kNotServerMode,
     [](const RunResult&) -> std::string { return "The reply did not come from a time server."; },
     "bad reply"},
    {FailureKind::kBadVersion,
     [](const RunResult&) -> std::string {
         return "The server answered in an unknown protocol version.";
     },
     "bad reply"},
    {FailureKind::kKissOfDeath, KissSentence, "server refused"},
    {FailureKind::kBadStratum,
     [](const RunResult&) -> std::string { return "The server gave an impossible stratum."; },
     "bad reply"},
    {FailureKind::kUnsynchronised,
     [](const RunResult&) -> std::string { return "The server's own clock is not synchronized."; },
     "server not synchronized"},
    {FailureKind::kZeroTransmit,
     [](const RunResult&) -> std::string { return "The server's reply carried no time."; },
     "bad reply"},
    {FailureKind::kRootDistance,
     [](const RunResult&) -> std::string {
         return "The server is too far from its reference clock to be trusted.";
     },
     "bad reply"},
    {FailureKind::kClockRefused,
     [](const RunResult& r) {
         return "Windows refused to set the clock (error " + std::to_string(r.failure.error) + ").";
     },
     "clock not set", true},
    {FailureKind::kConversionFailed,
     [](const RunResult&) -> std::string {
         return "The fixed offset leads to a time the clock cannot hold.";
     },
     "clock not set"},
    {FailureKind::kDisagreement, DisagreementSentence, "servers disagree", true},
    {FailureKind::kAbandoned,
     [](const RunResult&) -> std::string { return "The run was broken off."; }, "broken off"},
    {FailureKind::kServerNotApproved,
     [](const RunResult&) -> std::string { return "Server not approved by the administrator."; },
     "server not approved"},
    {FailureKind::kOffsetAboveLimit,
     [](const RunResult&) -> std::string { return "Offset above the administrator's limit."; },
     "offset not allowed"},
    {FailureKind::kMalformedRequest, [](const RunResult& r) { return r.failure.account + "."; },
     "clock service failed", true},
    {FailureKind::kServiceSilent, ServiceSilentSentence, "clock service failed"},
    {FailureKind::kServiceUnidentified,
     [](const RunResult& r) {
         return "Cannot tell which process serves the service's pipe (error " +
                std::to_string(r.failure.error) + ").";
     },
     "clock service failed"},
    {FailureKind::kPipeNotTheService,
     [](const RunResult& r) {
         return "Process " + std::to_string(r.failure.process) +
                " serves the service's pipe, not the service.";
     },
     "clock service failed"},
    {FailureKind::kPipeWithoutService,
     [](const RunResult& r) {
         return "The service is not running, yet process " + std::to_string(r.failure.process) +
                " serves its pipe.";
     },
     "clock service failed"},
    {FailureKind::kServiceUnreadable,
     [](const RunResult&) -> std::string { return "The service's reply could not be read."; },
     "clock service failed"},
    {FailureKind::kServiceTimedOut,
     [](const RunResult& r) {
         return "The Tickwell Clock service did not answer within " +
                std::to_string(r.failure.timeoutMs / 1000) + " seconds.";
     },
     "clock service failed"},
    {FailureKind::kOther, [](const RunResult& r) { return r.failure.account + "."; },
     "clock service failed", true},
    {FailureKind::kNtsTlsFailed,
     [](const RunResult& r) {
         return "No secure connection to the key exchange (" + r.failure.account + ").";
     },
     "secure connection failed"},
    {FailureKind::kNtsCertificateUntrusted,
     [](const RunResult& r) {
         return "The certificate of " + r.failure.certificateName + ", issued by " +
                r.failure.certificateIssuer + ", is not trusted.";
     },
     "certificate not trusted"},
    {FailureKind::kNtsNameMismatch,
     [](const RunResult& r) {
         return "The certificate is for " + r.failure.certificateName + ", not for " + r.host + ".";
     },
     "certificate not trusted"},
    {FailureKind::kNtsCertificateExpired,
     [](const RunResult& r) {
         return "The certificate of " + r.failure.certificateName +
                " has expired or is not yet valid.";
     },
     "certificate expired"},
    {FailureKind::kNtsKeRefused,
     [](const RunResult& r) {
         return "The key exchange refused us (error " + std::to_string(r.failure.error) + ").";
     },
     "key exchange refused"},
    {FailureKind::kNtsKeMalformed,
     [](const RunResult& r) {
         return "The key exchange broke the protocol: " + r.failure.account + ".";
     },
     "key exchange failed"},
    {FailureKind::kNtsNoCookies,
     [](const RunResult&) -> std::string { return "The key exchange gave no cookies."; },
     "key exchange failed"},
    {FailureKind::kNtsNotAuthenticated,
     [](const RunResult&) -> std::string {
         return "The reply was not authenticated: forged or damaged on the way.";
     },
     "reply not authenticated"},
    {FailureKind::kNtsRequired,
     [](const RunResult&) -> std::string {
         return "The administrator allows only secure time servers (NTS).";
     },
     "secure time required"},
};

const FailureWording* WordingOf(FailureKind kind) {
    for (const FailureWording& wording : kFailures) {
        if (wording.kind == kind) {
            return &wording;
        }
    }
    return nullptr;
}

// The failure's own sentence, as a clause inside another: no full stop, and a lower-case
// start unless it starts with a name.
std::string Clause(const RunResult& result) {
    const FailureWording* wording = WordingOf(result.failure.kind);
    if (wording == nullptr) {
        return {};
    }
    std::string clause = wording->sentence(result);
    clause.pop_back();
    if (!wording->keepsCapital && !clause.empty()) {
        clause[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(clause[0])));
    }
    return clause;
}

// Failures on the way to the service are told as they are; the others are the service's.
bool OnTheWayToTheService(FailureKind kind) {
    return kind == FailureKind::kServiceSilent;
}

std::string Lowercase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

std::string FailureSentence(const RunResult& result) {
    if (result.throughService && result.failure.failed() &&
        !OnTheWayToTheService(result.failure.kind)) {
        return "The Tickwell Clock service could not synchronize: " + Clause(result) + ".";
    }
    const FailureWording* wording = WordingOf(result.failure.kind);
    return wording != nullptr ? wording->sentence(result) : std::string();
}

std::string HistoryReason(const RunResult& result) {
    if (result.ok()) {
        return result.unconfirmed                ? kNotConfirmed
               : result.datesCheckedByServerTime ? kDatesCheckedByServerTime
                                                 : "";
    }
    std::string reason = FailureSentence(result);
    const std::optional<KissCode>& kiss = result.failure.kiss;
    if (kiss && kiss->meaning() == KissCode::Meaning::kRefused) {
        reason += kRefusedUntilRestart;
    }
    return reason;
}

std::string ServerTestReport(const RunResult& result) {
    if (result.ok()) {
        return NetDelayReport(result.delay);
    }
    // Secure time's failures are not worded as a lost connection; the reason says which.
    const bool secureFailure = result.failure.kind >= FailureKind::kNtsTlsFailed &&
                               result.failure.kind <= FailureKind::kNtsNotAuthenticated;
    return std::string(secureFailure ? kSecureTestFailed : kTestFailed) + " (" +
           FailureSentence(result) + ")";
}

std::string FailureSummary(const RunResult& result) {
    if (result.throughService && result.failure.failed()) {
        return "clock service failed";
    }
    const FailureWording* wording = WordingOf(result.failure.kind);
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
    refused.failure = FailureOf(FailureKind::kClockRefused);
    refused.failure.error = error;
    const std::string sentence = FailureSentence(refused);
    if (error == kPrivilegeNotHeld) {
        return sentence.substr(0, sentence.size() - 1) + ": run Tickwell as administrator.";
    }
    return sentence;
}

std::string FailureFirstLine(const RunEvent& event) {
    const FailureKind failure = event.result.failure.kind;
    switch (event.step) {
        case RunStep::kProbe:
            return failure == FailureKind::kInternetOpen ? kInternetOpenBox : kUrlOpenBox;
        case RunStep::kNetworkStart:
            return failure == FailureKind::kNetworkVersion ? kNetworkVersionBox : kNetworkStartBox;
        case RunStep::kSet:
            return failure == FailureKind::kClockRefused
                       ? ClockRefusedText(event.result.failure.error)
                       : kConversionBox;
        case RunStep::kService:
            if (failure == FailureKind::kServiceSilent) {
                return event.serviceChosen ? kServiceSilentBox : kNoWayToSetBox;
            }
            return FailureSentence(event.result);
        case RunStep::kQuery:
            break;
    }
    // Nothing went wrong receiving: the reason is the whole story.
    return failure == FailureKind::kDisagreement ? FailureSentence(event.result) : kReceivingBox;
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
        event.step == RunStep::kProbe && event.result.failure.kind == FailureKind::kInternetOpen;
    return {text, internet ? kInternetErrorCaption : kErrorCaption, BoxIcon::kError};
}

std::string StatusLine(const RunEvent& event, const MonthNames& months) {
    switch (event.kind) {
        case RunEvent::Kind::kSucceeded:
        case RunEvent::Kind::kClockJump:
            return SuccessStatusLine(event.local, event.result.delay, months, event.result.secure);
        case RunEvent::Kind::kNoConnection:
            return ConnectionAbsentStatus(event.local, months);
        case RunEvent::Kind::kAllLeftAlone:
            return kAllLeftAloneStatus + ErrorStamp(event.local, months);
        case RunEvent::Kind::kFailed:
            break;
    }
    if (event.result.failure.kind == FailureKind::kDisagreement) {
        return FailureSentence(event.result) + " " + ErrorStamp(event.local, months);
    }
    const char* line = kCommunicationStatus;
    if (event.step == RunStep::kProbe) {
        line = event.result.failure.kind == FailureKind::kInternetOpen ? kInternetOpenStatus
                                                                       : kUrlOpenStatus;
    }
    return line + ErrorStamp(event.local, months);
}

// Kept: the stored form "Success synchro: …" that users and scripts read.
std::string SuccessStatusLine(const SYSTEMTIME& after, double delay, const MonthNames& months,
                              bool secure) {
    char delayText[64];
    std::snprintf(delayText, sizeof delayText, "%5.3f", delay);
    return "Success synchro: " + DateStamp(after, months) + ". Net delay: " + delayText + " sec." +
           (secure ? " Secure (NTS)." : "");
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
