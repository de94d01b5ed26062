#include "platform/clock_service.h"

// Only Windows has the Tickwell Clock service.
std::optional<ClockServiceReply> PlatformClockService::Synchronise(const ClockServiceRequest&,
                                                                   const QueryInterrupter*) {
    return std::nullopt;
}
