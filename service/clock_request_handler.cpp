#include "service/clock_request_handler.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "sync/clock_correction.h"
#include "sync/second_opinion.h"

namespace {

ClockServiceReply Failed(ClockServiceStatus status, ClockServiceFailure failure,
                         std::uint32_t code = 0, std::string detail = {}) {
    return UnsuccessfulReply(status, EncodeClockServiceReason({failure, code, std::move(detail)}));
}

// The approved servers after the requested one, in the policy's order, that may give a second
// opinion on it.
std::vector<std::string> SecondOpinions(const ClockPolicy& policy, const std::string& host) {
    const std::vector<std::string>& approved = policy.approvedServers;
    const auto found =
        std::find_if(approved.begin(), approved.end(),
                     [&](const std::string& server) { return SameServerHost(server, host); });
    const auto current = static_cast<std::size_t>(found - approved.begin());
    std::vector<std::string> hosts;
    for (const std::size_t index : SecondOpinionCandidates(approved, host, current)) {
        hosts.push_back(approved[index]);
    }
    return hosts;
}

ClockServiceReply FromOutcome(const ClockCorrection::Outcome& outcome, const std::string& host,
                              const std::vector<std::string>& secondOpinions) {
    using Result = ClockCorrection::Outcome::Result;
    switch (outcome.result) {
        case Result::kSucceeded: {
            ClockServiceReply reply;
            reply.status = ClockServiceStatus::kSynchronised;
            reply.offset = outcome.offset;
            reply.delay = outcome.delay;
            reply.stratum = outcome.stratum;
            if (outcome.unconfirmed) {
                reply.reason = kClockServiceUnconfirmed;
            }
            return reply;
        }
        case Result::kNoAnswer:
            if (outcome.failure.kind == SntpFailure::Kind::kRejectedReply &&
                outcome.failure.check == sntp::ReplyCheck::kKissOfDeath) {
                return Failed(ClockServiceStatus::kFailed, ClockServiceFailure::kKissOfDeath, 0,
                              outcome.failure.kissCode);
            }
            // The SNTP client's account is the detail an administrator needs.
            return Failed(ClockServiceStatus::kFailed, ClockServiceFailure::kNoAnswer, 0,
                          host + ": " + outcome.failure.reason);
        case Result::kClockRefused:
            return Failed(ClockServiceStatus::kFailed, ClockServiceFailure::kClockRefused,
                          outcome.setError);
        case Result::kConversionFailed:
            return Failed(ClockServiceStatus::kFailed, ClockServiceFailure::kConversionFailed);
        case Result::kDisagreement: {
            const ClockCorrection::Outcome::SecondOpinion& second = *outcome.secondOpinion;
            const double apart = std::min(std::round(std::fabs(outcome.offset - second.offset)),
                                          double{std::numeric_limits<std::uint32_t>::max()});
            return Failed(ClockServiceStatus::kFailed, ClockServiceFailure::kDisagreement,
                          static_cast<std::uint32_t>(apart),
                          secondOpinions.at(second.index) + " (" + second.address + ")");
        }
        case Result::kAbandoned:
            break;
    }
    // The service's hook never refuses a set.
    return Failed(ClockServiceStatus::kFailed, ClockServiceFailure::kAbandoned);
}

}  // namespace

ClockRequestHandler::ClockRequestHandler(Clock& clock, NetworkStack& network,
                                         std::function<ClockPolicy()> loadPolicy, Options options)
    : clock_(clock), network_(network), loadPolicy_(std::move(loadPolicy)), options_(options) {}

ClockServiceReply ClockRequestHandler::Handle(std::span<const std::uint8_t> bytes) {
    // Reading and the policy check wait for no one: only the corrections take turns.
    ParsedClockServiceRequest parsed = ParseClockServiceRequest(bytes);
    if (!parsed.request) {
        return UnsuccessfulReply(ClockServiceStatus::kMalformed, std::move(parsed.error));
    }
    const ClockServiceRequest& request = *parsed.request;
    const ClockPolicy policy = loadPolicy_();
    if (const std::optional<ClockServiceFailure> refusal = policy.Refusal(request)) {
        return Failed(ClockServiceStatus::kRefused, *refusal);
    }

    const std::lock_guard<std::mutex> oneAtATime(oneAtATime_);
    const NetworkSession session(network_);
    if (session.result() != NetworkStartResult::kStarted) {
        return Failed(ClockServiceStatus::kFailed, ClockServiceFailure::kNetworkStart);
    }
    SntpClient client(clock_, options_.sntpTimeoutMs);
    ClockCorrection correction(clock_, client, options_.sntpPort,
                               [](const std::function<void()>& set) {
                                   set();
                                   return true;
                               });
    const std::vector<std::string> secondOpinions = SecondOpinions(policy, request.host);
    return FromOutcome(correction.Correct(request.host, request.offsetSeconds, secondOpinions),
                       request.host, secondOpinions);
}
