// The way to the Tickwell Clock service, for a program that may not set the clock itself:
// the service makes the SNTP exchanges and sets the clock within the administrator's policy.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "base/query_interrupter.h"
#include "platform/clock_service_protocol.h"

class ClockService {
  public:
    // The service may make two SNTP exchanges of 5 s each, after a name lookup.
    static constexpr int kReplyLimitSeconds = 30;

    virtual ~ClockService() = default;

    // The service's reply. Trouble on the way to it is a failure of the reply: no service
    // answered (kServiceSilent, with the pipe call's error), a process other than the service
    // serves the pipe, the reply could not be read, or none came within kReplyLimitSeconds
    // (the service may still set the clock). A stopped wait fails as abandoned.
    virtual ClockServiceReply Synchronise(const ClockServiceRequest& request,
                                          const QueryInterrupter* interrupter) = 0;
};

// The process that the service control manager runs the Tickwell Clock service in; empty
// when the service is not installed or not running (always elsewhere than on Windows).
std::optional<std::uint32_t> RunningClockServiceProcess();

// The service's named pipe on Windows; elsewhere there is no service and it never answers.
// Any process may make the pipe before the service does, so the client sends nothing until
// it knows that the pipe's server is the service: a pipe served by another process, or with
// no service running, is distrusted.
class PlatformClockService : public ClockService {
  public:
    // The process that may serve the pipe; empty when there is none.
    using TrustedServer = std::function<std::optional<std::uint32_t>()>;

    // Trusts the process that the service control manager runs the service in, while it runs.
    PlatformClockService();
    // Trusts the process that trusted names (for a server that is no service).
    explicit PlatformClockService(TrustedServer trusted) : trusted_(std::move(trusted)) {}

    ClockServiceReply Synchronise(const ClockServiceRequest& request,
                                  const QueryInterrupter* interrupter) override;

  private:
    TrustedServer trusted_;
};
