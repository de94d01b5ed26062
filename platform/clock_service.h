// The way to the Tickwell Clock service, for a program that may not set the clock itself:
// the service makes the SNTP exchanges and sets the clock within the administrator's policy.
#pragma once

#include <optional>

#include "ntp/query_interrupter.h"
#include "platform/clock_service_protocol.h"

class ClockService {
  public:
    virtual ~ClockService() = default;

    // The service's reply; empty when no service answers (not installed, not running, gone
    // mid-request) or when the interrupter stopped the wait.
    virtual std::optional<ClockServiceReply> Synchronise(const ClockServiceRequest& request,
                                                         const QueryInterrupter* interrupter) = 0;
};

// The service's named pipe on Windows; elsewhere there is no service and it never answers.
class PlatformClockService : public ClockService {
  public:
    std::optional<ClockServiceReply> Synchronise(const ClockServiceRequest& request,
                                                 const QueryInterrupter* interrupter) override;
};
