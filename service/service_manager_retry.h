// When a call to the service control manager is worth making again. While the manager starts
// services (at boot, or for another installer) it locks its database or has a control in
// hand, and refuses calls that it takes a moment later. Installing, stopping and removing
// the service try each call again, after short waits, for up to 30 s in all.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

class ServiceManagerRetry {
  public:
    static constexpr std::chrono::milliseconds kLimit{30000};
    static constexpr std::chrono::milliseconds kWait{250};
    // ERROR_SERVICE_DATABASE_LOCKED: the manager is starting a service.
    static constexpr std::uint32_t kDatabaseLocked = 1055;
    // ERROR_SERVICE_REQUEST_TIMEOUT: a service did not take its control (another service's
    // control in hand holds every control up), or did not connect to the manager in time.
    static constexpr std::uint32_t kRequestTimeout = 1053;

    // The wait before trying a call again that failed with error, elapsed after the step
    // began; empty when the failure is final or the time is up.
    static std::optional<std::chrono::milliseconds> WaitBeforeRetry(
        std::uint32_t error, std::chrono::milliseconds elapsed);
};
