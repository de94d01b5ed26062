// The command line and the output lines of tickwell-sntp, apart from any network work.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ntp/sntp_client.h"

namespace sntp_tool {

inline constexpr int kExitAllAnswered = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

struct Options {
    int port = 123;
    std::uint32_t timeoutMs = SntpClient::kDefaultTimeoutMs;
    bool json = false;
    bool nts = false;    // secure time: a key exchange first, then authenticated replies only
    std::string caFile;  // the roots a key exchange's certificate must lead to; the system's
    bool help = false;
    std::vector<std::string> hosts;
};

struct ParseResult {
    std::optional<Options> options;
    std::string error;  // one line, when options is empty
};

ParseResult ParseArguments(const std::vector<std::string>& arguments);

std::string Usage();

struct HostOutcome {
    std::string host;
    bool ok = false;
    SntpResult result;
    std::string error;
    bool nts = false;  // the time came authenticated
};

// Queries every host concurrently; the outcomes are in the order of the hosts.
std::vector<HostOutcome> QueryHosts(const Options& options, TimeSource& clock);

// "HOST [ADDRESS] offset ... leap L" naming the address that answered, with " nts" when the
// reply was authenticated, or "HOST error: ..."; in JSON the same as members, the address as
// "address", and "nts" whether the time was authenticated.
std::string FormatLine(const HostOutcome& outcome, bool json);

}  // namespace sntp_tool
