#include "service/clock_request_handler.h"

#include <string>

#include "sync/clock_correction.h"

namespace {

ClockServiceReply Failed(ClockServiceStatus status, ClockServiceFailure failure,
                         std::uint32_t code = 0, std::string detail = {}) {
    return UnsuccessfulReply(status, EncodeClockServiceReason({failure, code, std::move(detail)}));
}

ClockServiceReply FromOutcome(const ClockCorrection::Outcome& outcome, const std::string& host) {
    using Result = ClockCorrection::Outcome::Result;
    switch (outcome.result) {
        case Result::kSucceeded: {
            ClockServiceReply reply;
            reply.status = ClockServiceStatus::kSynchronised;
            reply.offset = outcome.offset;
            reply.delay = outcome.delay;
            reply.stratum = outcome.stratum;
            return reply;
        }
        case Result::kNoAnswer:
            // The SNTP client's account is the detail an administrator needs.
            return Failed(ClockServiceStatus::kFailed, ClockServiceFailure::kNoAnswer, 0,
                          host + ": " + outcome.failure.reason);
        case Result::kClockRefused:
            return Failed(ClockServiceStatus::kFailed, ClockServiceFailure::kClockRefused,
                          outcome.setError);
        case Result::kConversionFailed:
            return Failed(ClockServiceStatus::kFailed, ClockServiceFailure::kConversionFailed);
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
    if (const std::optional<ClockServiceFailure> refusal = loadPolicy_().Refusal(request)) {
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
    return FromOutcome(correction.Correct(request.host, request.offsetSeconds), request.host);
}
