// tickwell-sntp: queries time servers concurrently and prints one line per server.
#include <cstdio>

#include "platform/clock.h"
#include "platform/network_stack.h"
#include "tools/sntp_tool.h"

int main(int argc, char** argv) {
    const sntp_tool::ParseResult parsed =
        sntp_tool::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::fprintf(stderr, "tickwell-sntp: %s\n%s", parsed.error.c_str(),
                     sntp_tool::Usage().c_str());
        return sntp_tool::kExitUsage;
    }
    const sntp_tool::Options& options = *parsed.options;
    if (options.help) {
        std::fputs(sntp_tool::Usage().c_str(), stdout);
        return sntp_tool::kExitAllAnswered;
    }

    PlatformNetworkStack stack;
    const NetworkSession session(stack);
    if (session.result() != NetworkStartResult::kStarted) {
        std::fprintf(stderr, "tickwell-sntp: the network stack could not be started\n");
        return sntp_tool::kExitSomeFailed;
    }

    PlatformClock clock;
    const std::vector<sntp_tool::HostOutcome> outcomes = sntp_tool::QueryHosts(options, clock);

    bool allAnswered = true;
    for (const sntp_tool::HostOutcome& outcome : outcomes) {
        std::printf("%s\n", sntp_tool::FormatLine(outcome, options.json).c_str());
        allAnswered = allAnswered && outcome.ok;
    }
    return allAnswered ? sntp_tool::kExitAllAnswered : sntp_tool::kExitSomeFailed;
}
