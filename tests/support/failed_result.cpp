#include "tests/support/failed_result.h"

#include "platform/clock_service_protocol.h"

RunResult Failed(RunFailure failure, std::string detail, std::uint32_t code) {
    RunResult result;
    result.failure = failure;
    result.serverTitle = "Example";
    result.host = "ntp.example.org";
    result.address = "192.0.2.1";
    result.timeoutMs = 20000;
    result.detail = detail;
    result.code = code;
    // The service's failures: the pipe's error, or the service's reason.
    if (failure == RunFailure::kServiceSilent) {
        result.service.pipeError = code;
    }
    if (failure == RunFailure::kServiceFailed) {
        result.service.outcome = ClockServiceAnswer::Outcome::kReplied;
        result.service.reply = UnsuccessfulReply(ClockServiceStatus::kRefused, detail);
    }
    // Three hours ahead against an honest second server.
    if (failure == RunFailure::kDisagreement) {
        result.offset = 10800.4;
        result.secondServer = SecondServer{"Second", "192.0.2.2", 0.1};
    }
    return result;
}
