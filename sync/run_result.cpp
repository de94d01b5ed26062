#include "sync/run_result.h"

#include <cstdio>

namespace {

std::string Seconds(std::uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", ms / 1000.0);
    return text;
}

RunFailure FromReplyCheck(sntp::ReplyCheck check) {
    switch (check) {
        case sntp::ReplyCheck::kTooShort:
            return RunFailure::kTooShort;
        case sntp::ReplyCheck::kNotServerMode:
            return RunFailure::kNotServerMode;
        case sntp::ReplyCheck::kBadVersion:
            return RunFailure::kBadVersion;
        case sntp::ReplyCheck::kKissOfDeath:
            return RunFailure::kKissOfDeath;
        case sntp::ReplyCheck::kBadStratum:
            return RunFailure::kBadStratum;
        case sntp::ReplyCheck::kUnsynchronised:
            return RunFailure::kUnsynchronised;
        case sntp::ReplyCheck::kZeroTransmit:
            return RunFailure::kZeroTransmit;
        case sntp::ReplyCheck::kRootDistance:
            return RunFailure::kRootDistance;
        case sntp::ReplyCheck::kAccepted:
        case sntp::ReplyCheck::kNotOurs:
            break;
    }
    return RunFailure::kSocketError;
}

std::string KissText(const std::string& code) {
    if (code == "RATE") {
        return "The server asked us to slow down (RATE).";
    }
    if (code == "DENY" || code == "RSTR") {
        return "The server refused to serve us (" + code + ").";
    }
    return "The server told us to stop asking (" + code + ").";
}

}  // namespace

void TakeSntpFailure(const SntpFailure& failure, std::uint32_t timeoutMs, RunResult* result) {
    result->address = failure.address;
    result->code = static_cast<std::uint32_t>(failure.code);
    result->timeoutMs = timeoutMs;
    result->detail = failure.reason;
    switch (failure.kind) {
        case SntpFailure::Kind::kUnresolved:
            result->failure = RunFailure::kUnresolved;
            break;
        case SntpFailure::Kind::kTimedOut:
            result->failure = RunFailure::kNoAnswer;
            break;
        case SntpFailure::Kind::kRejectedReply:
            result->failure = FromReplyCheck(failure.check);
            if (failure.check == sntp::ReplyCheck::kKissOfDeath) {
                result->detail = failure.kissCode;
            }
            break;
        case SntpFailure::Kind::kInterrupted:
            result->failure = RunFailure::kAbandoned;
            break;
        case SntpFailure::Kind::kNone:
        case SntpFailure::Kind::kSocketError:
            result->failure = RunFailure::kSocketError;
            break;
    }
}

std::string AddressAsked(const RunResult& result) {
    return result.address.empty() ? result.host : result.address;
}

std::string FailureText(const RunResult& result) {
    switch (result.failure) {
        case RunFailure::kNone:
            return {};
        case RunFailure::kInternetOpen:
            return "The Internet session could not be opened.";
        case RunFailure::kUrlOpen:
            return "The test web page could not be opened: is the computer online?";
        case RunFailure::kNetworkStart:
            return "The network could not be started.";
        case RunFailure::kNetworkVersion:
            return "The network does not offer the version Tickwell needs.";
        case RunFailure::kUnresolved:
            return "The name " + result.host + " did not resolve.";
        case RunFailure::kNoAnswer:
            return "No answer from " + AddressAsked(result) + " within " +
                   Seconds(result.timeoutMs) + " s.";
        case RunFailure::kSocketError:
            return "The network refused the request (" + result.detail + ").";
        case RunFailure::kTooShort:
            return "The server's reply was cut short.";
        case RunFailure::kNotServerMode:
            return "The reply did not come from a time server.";
        case RunFailure::kBadVersion:
            return "The server answered in an unknown protocol version.";
        case RunFailure::kKissOfDeath:
            return KissText(result.detail);
        case RunFailure::kBadStratum:
            return "The server gave an impossible stratum.";
        case RunFailure::kUnsynchronised:
            return "The server's own clock is not synchronized.";
        case RunFailure::kZeroTransmit:
            return "The server's reply carried no time.";
        case RunFailure::kRootDistance:
            return "The server is too far from its reference clock to be trusted.";
        case RunFailure::kClockRefused:
            return "Windows refused to set the clock (error " + std::to_string(result.code) + ").";
        case RunFailure::kConversionFailed:
            return "The fixed offset leads to a time the clock cannot hold.";
        case RunFailure::kServiceSilent:
            return "The Tickwell Clock service does not answer.";
        case RunFailure::kServiceFailed:
            return "The Tickwell Clock service could not synchronize: " + result.detail + ".";
        case RunFailure::kAbandoned:
            return "The run was broken off.";
    }
    return {};
}

std::string FailureSummary(RunFailure failure) {
    switch (failure) {
        case RunFailure::kNone:
            return {};
        case RunFailure::kInternetOpen:
        case RunFailure::kUrlOpen:
            return "no Internet connection";
        case RunFailure::kNetworkStart:
        case RunFailure::kNetworkVersion:
            return "network not started";
        case RunFailure::kUnresolved:
            return "name did not resolve";
        case RunFailure::kNoAnswer:
            return "no answer";
        case RunFailure::kSocketError:
            return "network error";
        case RunFailure::kKissOfDeath:
            return "server refused";
        case RunFailure::kUnsynchronised:
            return "server not synchronized";
        case RunFailure::kTooShort:
        case RunFailure::kNotServerMode:
        case RunFailure::kBadVersion:
        case RunFailure::kBadStratum:
        case RunFailure::kZeroTransmit:
        case RunFailure::kRootDistance:
            return "bad reply";
        case RunFailure::kClockRefused:
        case RunFailure::kConversionFailed:
            return "clock not set";
        case RunFailure::kServiceSilent:
        case RunFailure::kServiceFailed:
            return "clock service failed";
        case RunFailure::kAbandoned:
            return "broken off";
    }
    return {};
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
    return (server.empty() ? "" : server + ": ") + FailureText(result);
}

std::string IsoUtcText(const SYSTEMTIME& utc) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.wYear, utc.wMonth,
                  utc.wDay, utc.wHour, utc.wMinute, utc.wSecond);
    return text;
}

HistoryEntry HistoryEntryOf(const RunResult& result, const std::string& kind,
                            const SYSTEMTIME& utc) {
    HistoryEntry entry;
    entry.time = IsoUtcText(utc);
    entry.kind = result.throughService ? kind + " through the clock service" : kind;
    entry.server = result.serverTitle;
    entry.host = result.host;
    entry.address = result.address;
    entry.result = result.ok() ? HistoryEntry::kSuccess : HistoryEntry::kFailure;
    // A measurement only when the server answered.
    if (result.answered) {
        entry.offset = SecondsText(result.offset, true);
        entry.delay = SecondsText(result.delay, false);
        entry.stratum = std::to_string(result.stratum);
    }
    if (result.step) {
        entry.step = SecondsText(*result.step, true);
    }
    entry.reason = FailureText(result);
    return entry;
}
