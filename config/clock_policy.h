// What the administrator lets the Tickwell Clock service do for a user. Whoever chooses
// the server chooses the time, so the service asks only approved servers, and applies a
// user's fixed offset only up to the administrator's limit.
//
// Machine-wide, writable by administrators only: HKEY_LOCAL_MACHINE\Software\Quorvane\Tickwell,
// value "nMaxUserOffset" (REG_DWORD, seconds, default 0) and the key "ApprovedServers" with
// one value per approved server, named by its host name or address (the data is not read).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock_service_protocol.h"

struct ClockPolicy {
    std::vector<std::string> approvedServers;
    std::int32_t maxUserOffsetSeconds = 0;

    // Empty when the request is allowed, else why not. Host names match without regard to
    // case; an IPv6 address matches with or without its brackets.
    std::optional<FailureKind> Refusal(const ClockServiceRequest& request) const;
};

// One server however spelt: host names match without regard to case, an IPv6 address with or
// without its brackets.
bool SameServerHost(const std::string& a, const std::string& b);

#ifdef _WIN32
// The machine's policy; an unreadable or missing one approves nothing.
ClockPolicy LoadMachineClockPolicy();
// Setup's part: approves the built-in servers' addresses and `moreServers` (keeping every
// server an administrator added) and writes the offset limit 0 when none is set. False when
// the key cannot be written.
bool WriteDefaultMachineClockPolicy(const std::vector<std::string>& moreServers = {});
bool RemoveMachineClockPolicy();
#endif
