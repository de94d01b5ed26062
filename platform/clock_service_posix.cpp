#include "platform/clock_service.h"

// Only Windows has the Tickwell Clock service.
PlatformClockService::PlatformClockService() : trusted_([] { return std::nullopt; }) {}

std::optional<ClockServiceReply> PlatformClockService::Synchronise(const ClockServiceRequest&,
                                                                   const QueryInterrupter*) {
    return std::nullopt;
}
