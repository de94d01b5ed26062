// What the administrator lets the Tickwell Clock service do for a user. Whoever chooses
// the server chooses the time, so the service asks only approved servers, and applies a
// user's fixed offset only up to the administrator's limit.
//
// Machine-wide, writable by administrators only: HKEY_LOCAL_MACHINE\Software\Quorvane\Tickwell,
// value "nMaxUserOffset" (REG_DWORD, seconds, default 0), value "bRequireNts" (REG_DWORD, 1:
// every server is asked by secure time, NTS; default 0) and the key "ApprovedServers" with
// one value per approved server, named by its host name or address (the data is not read).
// The machine's mandatory policy key may set any of them too, and wins where it does: the same
// value names, and the list "ApprovedServers" (values 1, 2, ..., each a host).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/option_table.h"
#include "config/policy_source.h"
#include "platform/clock_service_protocol.h"

inline constexpr const char* kMaxUserOffsetValue = "nMaxUserOffset";
inline constexpr OptionRange kMaxUserOffsetPolicyRange{0, 3600};
inline constexpr const char* kRequireNtsValue = "bRequireNts";
inline constexpr OptionRange kRequireNtsPolicyRange{0, 1};

// The range the policy key's REG_DWORD of that name must lie in; the offset limit's for it, and
// bRequireNts's for that.
OptionRange ClockPolicyRange(const std::string& valueName);

struct ClockPolicy {
    std::vector<std::string> approvedServers;
    std::int32_t maxUserOffsetSeconds = 0;
    // Every server the service asks, the requested one and the second opinions, is asked by
    // secure time (NTS), and a request for a plain one is refused.
    bool requireNts = false;
    // Policy values the service did not apply, for the administrator to hear of.
    std::vector<IgnoredPolicyValue> ignored;

    // Empty when the request is allowed, else why not. Host names match without regard to
    // case; an IPv6 address matches with or without its brackets.
    std::optional<FailureKind> Refusal(const ClockServiceRequest& request) const;
};

// One server however spelt: host names match without regard to case, an IPv6 address with or
// without its brackets.
bool SameServerHost(const std::string& a, const std::string& b);

// The older key's policy, with what the machine's mandatory policy key sets in its place: its
// offset limit when it is a REG_DWORD within kMaxUserOffsetPolicyRange, its bRequireNts when
// a REG_DWORD of 0 or 1, its list of approved servers when the list exists (an empty one
// approves none). Anything else there is ignored.
ClockPolicy WithPolicyKey(ClockPolicy older, const PolicyKeyContents& machinePolicy);

#ifdef _WIN32
// The machine's policy: the older key's with the policy key's in its place; an unreadable or
// missing one approves nothing.
ClockPolicy LoadMachineClockPolicy();
// Setup's part: approves the built-in servers' addresses and `moreServers` (keeping every
// server an administrator added) and writes the offset limit 0 when none is set. False when
// the key cannot be written.
bool WriteDefaultMachineClockPolicy(const std::vector<std::string>& moreServers = {});
bool RemoveMachineClockPolicy();
#endif
