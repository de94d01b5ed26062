// The heart of the Tickwell Clock service, free of Windows: one request in, one reply out.
// It reads the request strictly, checks it against the administrator's policy, and then
// makes the SNTP exchanges and sets the clock exactly as the program's own run does, the
// other approved servers giving the second opinion before a large step. A request for secure
// time (NTS) is served with the service's own key exchanges, its second opinions asked by NTS
// too: the service takes no key and no time from the user.
// Requests are answered one at a time: two corrections of one clock must not interleave.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

#include "config/clock_policy.h"
#include "ntp/key_exchanger.h"
#include "ntp/sntp_client.h"
#include "platform/clock.h"
#include "platform/clock_service_protocol.h"
#include "platform/network_stack.h"

class ClockRequestHandler {
  public:
    struct Options {
        int sntpPort = 123;
        std::uint32_t sntpTimeoutMs = SntpClient::kDefaultTimeoutMs;
        // The service's own key exchange; without one an NTS request fails as refused by TLS.
        KeyExchanger* keys = nullptr;
    };

    // The policy is read again for every request, so an administrator's change counts at
    // once without a restart of the service.
    ClockRequestHandler(Clock& clock, NetworkStack& network,
                        std::function<ClockPolicy()> loadPolicy, Options options);

    ClockServiceReply Handle(std::span<const std::uint8_t> request);

  private:
    Clock& clock_;
    NetworkStack& network_;
    std::function<ClockPolicy()> loadPolicy_;
    Options options_;
    std::mutex oneAtATime_;
};
