// What one run, or one server test, came to: success with its measurement, or the failure
// with the details the program words for the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/run_history.h"
#include "config/server_entry.h"
#include "base/system_time.h"
#include "ntp/failure.h"
#include "sync/run_kind.h"

struct RunResult {
    // None for a success. Found by the run or, when it asked the service, by the service.
    Failure failure;
    std::string serverTitle;
    std::string host;
    // The address that answered; on failure the one asked last (empty when unknown).
    std::string address;
    double offset = 0.0;  // how far the clock was off
    double delay = 0.0;   // of the last exchange
    std::int32_t stratum = 0;
    // The server answered: offset, delay and stratum are its measurement, even when the run
    // failed afterwards (the clock refused the time, say).
    bool answered = false;
    std::optional<double> step;  // how far the run moved the clock, when it set it
    // The run asked the Tickwell Clock service to set the clock: a failure is the service's
    // own, or one on the way to it.
    bool throughService = false;
    std::vector<ServerEntry> secondOpinionsAsked;  // the other servers asked before a large step
    bool unconfirmed = false;                      // a large step that no other server answered for
    bool secure = false;                           // the server's time was authenticated (NTS)
    // The PC's clock was so far off that the server's certificates failed on their dates: its
    // time lay within them and a second server agreed.
    bool datesCheckedByServerTime = false;

    bool ok() const { return !failure.failed(); }
};

// "2026-12-09T09:14:03Z"
std::string IsoUtcText(const SYSTEMTIME& utc);
// The history's line of a run of the kind that ended at utc, with the reason as the program
// words it.
HistoryEntry HistoryEntryOf(const RunResult& result, RunKind kind, const SYSTEMTIME& utc,
                            const std::string& reason);
