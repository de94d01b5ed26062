// The way to the Tickwell Clock service, for a program that may not set the clock itself:
// the service makes the SNTP exchanges and sets the clock within the administrator's policy.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "base/query_interrupter.h"
#include "platform/clock_service_protocol.h"

// What asking the service came to; the program words it.
struct ClockServiceAnswer {
    enum class Outcome {
        kReplied,     // reply is the service's
        kNoService,   // none answered (not installed, not running, gone mid-request)
        kStopped,     // the interrupter stopped the wait
        kDistrusted,  // a process other than the service serves the pipe
        kUnreadable,  // the reply could not be read
        kTimedOut,    // no reply within kReplyLimitSeconds: the service may still set the clock
    };
    static constexpr int kReplyLimitSeconds = 30;

    Outcome outcome = Outcome::kNoService;
    ClockServiceReply reply;
    // The Win32 error of the pipe call that failed; 0 when none did.
    std::uint32_t pipeError = 0;
    // kDistrusted: the process that serves the pipe (0 when it could not be told, pipeError
    // then says why), and whether the service runs at all.
    std::uint32_t serverProcess = 0;
    bool serviceRunning = false;

    bool replied() const { return outcome == Outcome::kReplied; }
    bool operator==(const ClockServiceAnswer&) const = default;
};

class ClockService {
  public:
    virtual ~ClockService() = default;

    virtual ClockServiceAnswer Synchronise(const ClockServiceRequest& request,
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

    ClockServiceAnswer Synchronise(const ClockServiceRequest& request,
                                   const QueryInterrupter* interrupter) override;

  private:
    TrustedServer trusted_;
};
