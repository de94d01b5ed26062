// What one run, or one server test, came to: success with its measurement, or the kind of
// failure with the details the program words for the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/run_history.h"
#include "config/server_entry.h"
#include "ntp/sntp_client.h"
#include "platform/clock_service.h"
#include "base/system_time.h"
#include "sync/run_kind.h"

enum class RunFailure {
    kNone,
    kInternetOpen,    // the web probe's Internet session did not open
    kUrlOpen,         // the web probe's page did not open
    kNetworkStart,    // the socket layer did not start
    kNetworkVersion,  // the socket layer lacks the version needed
    kUnresolved,      // the server's name did not resolve
    kNoAnswer,        // no reply within the time-out
    kSocketError,     // a socket step failed: detail
    kTooShort,        // the reply checks that failed
    kNotServerMode,
    kBadVersion,
    kKissOfDeath,  // detail: the kiss code
    kBadStratum,
    kUnsynchronised,
    kZeroTransmit,
    kRootDistance,
    kClockRefused,      // code: the platform's error
    kConversionFailed,  // the fixed offset leads to no time the clock can hold
    kServiceSilent,     // the Tickwell Clock service did not answer: service.pipeError
    kServiceFailed,     // service: what it answered, or why the answer was not taken
    kDisagreement,      // before a large step another server disagreed: secondServer
    kAbandoned,         // broken by the user or restarted by the watchdog
};

// The other server asked before a large step, as it answered.
struct SecondServer {
    std::string title;
    std::string address;
    double offset = 0.0;
};

struct RunResult {
    RunFailure failure = RunFailure::kNone;
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
    std::uint32_t code = 0;
    std::string detail;
    std::uint32_t timeoutMs = 0;
    bool throughService = false;               // the Tickwell Clock service set the clock
    ClockServiceAnswer service;                // what the service answered, when the run asked it
    std::optional<SecondServer> secondServer;  // when one answered before a large step
    std::vector<ServerEntry> secondOpinionsAsked;  // the other servers asked before it
    bool unconfirmed = false;                      // a large step that no other server answered for

    bool ok() const { return failure == RunFailure::kNone; }
};

// The failure's kind and details from the SNTP client's account of it.
void TakeSntpFailure(const SntpFailure& failure, std::uint32_t timeoutMs, RunResult* result);
// "2026-12-09T09:14:03Z"
std::string IsoUtcText(const SYSTEMTIME& utc);
// The history's line of a run of the kind that ended at utc, with the reason as the program
// words it.
HistoryEntry HistoryEntryOf(const RunResult& result, RunKind kind, const SYSTEMTIME& utc,
                            const std::string& reason);
