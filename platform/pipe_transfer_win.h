// Overlapped transfers on a named pipe that a caller can give up on: each waits until the
// transfer completes, a deadline passes, a stop event is set or an interrupter says so. A
// transfer given up on is cancelled and waited for, so its buffer is free again on return.
// Both ends of the Tickwell Clock service's pipe use them.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

#include "base/query_interrupter.h"

enum class PipeTransferResult {
    kDone,
    kMessageTooLong,  // a read's message did not fit the buffer; the rest is left unread
    kBroken,          // the other end closed, or the pipe failed: error says how
    kTimedOut,
    kStopped,  // the stop event was set or the interrupter said so
};

struct PipeTransfer {
    PipeTransferResult result = PipeTransferResult::kBroken;
    DWORD bytes = 0;
    DWORD error = 0;
};

struct PipeWait {
    std::optional<std::chrono::steady_clock::time_point> deadline;  // none: no limit
    HANDLE stopEvent = nullptr;
    // Looked at every QueryInterrupter::kCheckIntervalMs while the transfer waits.
    const QueryInterrupter* interrupter = nullptr;
};

// One whole message in message read mode.
PipeTransfer ReadPipeMessage(HANDLE pipe, std::span<std::uint8_t> buffer, const PipeWait& wait);
PipeTransfer WritePipeMessage(HANDLE pipe, std::span<const std::uint8_t> bytes,
                              const PipeWait& wait);
// A server's instance waiting for its next client.
PipeTransfer ConnectPipeClient(HANDLE pipe, const PipeWait& wait);
