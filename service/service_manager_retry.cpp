#include "service/service_manager_retry.h"

#include <algorithm>

std::optional<std::chrono::milliseconds> ServiceManagerRetry::WaitBeforeRetry(
    std::uint32_t error, std::chrono::milliseconds elapsed) {
    if ((error != kDatabaseLocked && error != kRequestTimeout) || elapsed >= kLimit) {
        return std::nullopt;
    }
    return std::min(kWait, kLimit - elapsed);
}
