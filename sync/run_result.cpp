#include "sync/run_result.h"

#include <cstdio>

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
    if (result.ok() && result.secure) {
        entry.secure = HistoryEntry::kSecure;
    }
    return entry;
}
