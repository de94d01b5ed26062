#include "sync/run_result.h"

#include <cstdio>

namespace {

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

std::string IsoUtcText(const SYSTEMTIME& utc) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.wYear, utc.wMonth,
                  utc.wDay, utc.wHour, utc.wMinute, utc.wSecond);
    return text;
}

HistoryEntry HistoryEntryOf(const RunResult& result, RunKind kind, const SYSTEMTIME& utc,
                            const std::string& reason) {
    HistoryEntry entry;
    entry.time = IsoUtcText(utc);
    entry.kind = StoredRunKind(kind, result.throughService);
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
    entry.reason = reason;
    return entry;
}
