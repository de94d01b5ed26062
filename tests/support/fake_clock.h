// A clock that runs with the real one at a simulated offset, or stands still when frozen.
// Every set moves the offset instead of the host's clock, and is recorded.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/clock.h"

class FakeClock : public Clock {
  public:
    enum class SetKind { kUtcTime, kLocalTime, kClockUtc };
    struct Set {
        SetKind kind;
        SYSTEMTIME time;  // as passed, or the NtpTime's calendar time for kClockUtc
        NtpTime ntp;      // kClockUtc only
    };

    // zoneMinutes: local time minus UTC.
    explicit FakeClock(double offsetSeconds = 0, int zoneMinutes = 0);

    NtpTime Now() override;
    NtpTime FromSystemReading(NtpTime systemUtc) override;
    SYSTEMTIME UtcTime() override;
    SYSTEMTIME LocalTime() override;
    bool SetUtcTime(const SYSTEMTIME& utc) override;
    bool SetLocalTime(const SYSTEMTIME& local) override;
    bool SetClockUtc(const NtpTime& t) override;
    std::uint32_t LastSetError() override;
    bool MaySetClock() override;

    // Steady time, as the scheduler paces requests by it: it runs with the real steady clock,
    // stands still when frozen, and moves forward with Advance; sets and moves back do not move it.
    std::chrono::steady_clock::time_point SteadyNow();

    // Makes the local clock read this calendar time now (milliseconds included).
    void SetLocalNow(const SYSTEMTIME& local);
    void Advance(double seconds);
    // From now on the clock moves only when told to: by Advance and by sets.
    void Freeze();
    double offset() const;
    // Failed sets report the error code, as the platform's last error.
    void FailSets(bool fail, std::uint32_t error = 0);
    // What MaySetClock answers; the sets themselves are not affected.
    void HoldPrivilege(bool held);
    std::vector<Set> sets() const;

  private:
    bool Apply(SetKind kind, const SYSTEMTIME& time, NtpTime utc);
    NtpTime BaseLocked() const;

    mutable std::mutex mutex_;
    double offset_;
    std::optional<NtpTime> frozenAt_;
    std::optional<std::chrono::steady_clock::time_point> steadyFrozenAt_;
    std::chrono::steady_clock::duration steadyAdvance_{};
    const double zoneSeconds_;
    bool failSets_ = false;
    std::uint32_t setError_ = 0;
    bool privilegeHeld_ = true;
    std::vector<Set> sets_;
};
