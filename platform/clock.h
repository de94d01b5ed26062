// The system clock as the core sees it: the reads and sets of the platform, in UTC and in
// local time. Tests use a fake that moves a simulated offset instead of the host's clock.
#pragma once

#include <cstdint>

#include "ntp/ntp_time.h"
#include "base/system_time.h"
#include "ntp/time_source.h"

class Clock : public TimeSource {
  public:
    virtual SYSTEMTIME UtcTime() = 0;
    virtual SYSTEMTIME LocalTime() = 0;

    // Sets the UTC clock as it is, without asking for the privilege.
    virtual bool SetUtcTime(const SYSTEMTIME& utc) = 0;
    virtual bool SetLocalTime(const SYSTEMTIME& local) = 0;
    // Sets the UTC clock to t inside the bracket that enables the system-time privilege
    // of the process and disables it again.
    virtual bool SetClockUtc(const NtpTime& t) = 0;
    // Why the last set on this thread failed: the platform's error code.
    virtual std::uint32_t LastSetError() = 0;
    // Whether this process holds the privilege to set the clock.
    virtual bool MaySetClock() = 0;
};

// The real clock of this machine. Setting it is implemented on Windows only; elsewhere the
// sets fail and leave the clock alone.
class PlatformClock : public Clock {
  public:
    NtpTime Now() override { return NtpTime::Now(); }
    NtpTime FromSystemReading(NtpTime systemUtc) override { return systemUtc; }
    SYSTEMTIME UtcTime() override;
    SYSTEMTIME LocalTime() override;
    bool SetUtcTime(const SYSTEMTIME& utc) override;
    bool SetLocalTime(const SYSTEMTIME& local) override;
    bool SetClockUtc(const NtpTime& t) override;
    std::uint32_t LastSetError() override;
    bool MaySetClock() override;
};
