#include "service/clock_request_handler.h"

#include <string>

#include "sync/clock_correction.h"

namespace {

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
            return UnsuccessfulReply(ClockServiceStatus::kFailed,
                                     "no answer from " + host + ": " + outcome.failure.reason);
        case Result::kClockRefused:
            return UnsuccessfulReply(ClockServiceStatus::kFailed,
                                     "Windows refused to set the clock (error " +
                                         std::to_string(outcome.setError) + ")");
        case Result::kConversionFailed:
            return UnsuccessfulReply(ClockServiceStatus::kFailed, "time conversion error");
        case Result::kAbandoned:
            break;
    }
    // The service's hook never refuses a set.
    return UnsuccessfulReply(ClockServiceStatus::kFailed, "the correction was abandoned");
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
    if (std::optional<std::string> refusal = loadPolicy_().Refusal(request)) {
        return UnsuccessfulReply(ClockServiceStatus::kRefused, std::move(*refusal));
    }

    const std::lock_guard<std::mutex> oneAtATime(oneAtATime_);
    const NetworkSession session(network_);
    if (session.result() != NetworkStartResult::kStarted) {
        return UnsuccessfulReply(ClockServiceStatus::kFailed, "the network could not be started");
    }
    SntpClient client(clock_, options_.sntpTimeoutMs);
    ClockCorrection correction(clock_, client, options_.sntpPort,
                               [](const std::function<void()>& set) {
                                   set();
                                   return true;
                               });
    return FromOutcome(correction.Correct(request.host, request.offsetSeconds), request.host);
}
