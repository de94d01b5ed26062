#include "platform/clock_service.h"

// Only Windows has the Tickwell Clock service.
std::optional<std::uint32_t> RunningClockServiceProcess() {
    return std::nullopt;
}

PlatformClockService::PlatformClockService() : trusted_(&RunningClockServiceProcess) {}

ClockServiceReply PlatformClockService::Synchronise(const ClockServiceRequest&,
                                                    const QueryInterrupter*) {
    return UnsuccessfulReply(ClockServiceStatus::kFailed, FailureOf(FailureKind::kServiceSilent));
}
