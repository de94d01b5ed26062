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
};

// Queries every host concurrently; the outcomes are in the order of the hosts.
std::vector<HostOutcome> QueryHosts(const Options& options, TimeSource& clock);

// "HOST [ADDRESS] offset ... leap L" naming the address that answered, or "HOST error: ...";
// in JSON the same as members, the address as "address".
std::string FormatLine(const HostOutcome& outcome, bool json);

}  // namespace sntp_tool
