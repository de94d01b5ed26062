// What a run and a server test share on their way to a server: the clock and network they
// use, the failure of a network that does not start, and the correction's outcome as the
// result the program words.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/server_entry.h"
#include "ntp/key_exchanger.h"
#include "ntp/sntp_client.h"
#include "platform/clock.h"
#include "platform/network_stack.h"
#include "sync/clock_correction.h"
#include "sync/run_result.h"

struct ServerAccess {
    Clock& clock;
    NetworkStack& network;
    int sntpPort = 123;
    std::uint32_t sntpTimeoutMs = SntpClient::kDefaultTimeoutMs;
    // What asks a server by NTS for its keys; without it such a server fails as unasked.
    KeyExchanger* keys = nullptr;
};

// None when the network started.
Failure NetworkStartFailure(NetworkStartResult started);

// The outcome of asking host: the measurement and the failure, a disagreeing server named by
// the title the user knows it by (secondOpinions, in the order they were asked), and, when
// the clock was set, the step with the user's offset on top.
RunResult ResultOf(const std::string& host, const ClockCorrection::Outcome& outcome,
                   const std::vector<ServerEntry>& secondOpinions = {},
                   std::optional<std::int32_t> setWithUserOffset = std::nullopt);
