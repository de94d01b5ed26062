#include "service/clock_request_handler.h"

#include <algorithm>
#include <string>

#include "sync/clock_correction.h"
#include "sync/second_opinion.h"
#include "sync/server_query.h"

namespace {

// The approved servers after the requested one, in the policy's order, that may give a second
// opinion on it; asked by NTS when the requested one is.
std::vector<TimeServer> SecondOpinions(const ClockPolicy& policy, const std::string& host,
                                       bool nts) {
    const std::vector<std::string>& approved = policy.approvedServers;
    const auto found =
        std::find_if(approved.begin(), approved.end(),
                     [&](const std::string& server) { return SameServerHost(server, host); });
    const auto current = static_cast<std::size_t>(found - approved.begin());
    std::vector<TimeServer> hosts;
    for (const std::size_t index : SecondOpinionCandidates(approved, host, current)) {
        hosts.emplace_back(approved[index], nts);
    }
    return hosts;
}

ClockServiceReply FromOutcome(const ClockCorrection::Outcome& outcome, const std::string& host) {
    if (!outcome.ok()) {
        // The service's hook never refuses a set: an abandoned correction is one it broke off.
        return UnsuccessfulReply(ClockServiceStatus::kFailed, outcome.failure, host);
    }
    ClockServiceReply reply;
    reply.status = ClockServiceStatus::kSynchronised;
    reply.offset = outcome.offset;
    reply.delay = outcome.delay;
    reply.stratum = outcome.stratum;
    reply.unconfirmed = outcome.unconfirmed;
    reply.secure = outcome.secure;
    return reply;
}

}  // namespace

ClockRequestHandler::ClockRequestHandler(Clock& clock, NetworkStack& network,
                                         std::function<ClockPolicy()> loadPolicy, Options options)
    : clock_(clock), network_(network), loadPolicy_(std::move(loadPolicy)), options_(options) {}

ClockServiceReply ClockRequestHandler::Handle(std::span<const std::uint8_t> bytes) {
    // Reading and the policy check wait for no one: only the corrections take turns.
    ParsedClockServiceRequest parsed = ParseClockServiceRequest(bytes);
    if (!parsed.request) {
        return MalformedReply(std::move(parsed.error));
    }
    const ClockServiceRequest& request = *parsed.request;
    const ClockPolicy policy = loadPolicy_();
    if (const std::optional<FailureKind> refusal = policy.Refusal(request)) {
        return UnsuccessfulReply(ClockServiceStatus::kRefused, FailureOf(*refusal), request.host);
    }

    const std::lock_guard<std::mutex> oneAtATime(oneAtATime_);
    const NetworkSession session(network_);
    if (session.result() != NetworkStartResult::kStarted) {
        return UnsuccessfulReply(ClockServiceStatus::kFailed, FailureOf(FailureKind::kNetworkStart),
                                 request.host);
    }
    SntpClient client(clock_, options_.sntpTimeoutMs);
    ClockCorrection correction(
        clock_, client, options_.sntpPort,
        [](const std::function<void()>& set) {
            set();
            return true;
        },
        options_.keys);
    // Where the policy requires NTS it has refused a plain request already; it decides here too,
    // so that no server of such a machine is ever asked plainly.
    const TimeServer server(request.host, request.nts || policy.requireNts);
    const std::vector<TimeServer> secondOpinions = SecondOpinions(policy, request.host, server.nts);
    return FromOutcome(correction.Correct(server, request.offsetSeconds, secondOpinions),
                       request.host);
}
