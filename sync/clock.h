// The system clock as the core sees it: the reads and sets of the platform, in UTC and in
// local time. Tests use a fake that moves a simulated offset instead of the host's clock.
#pragma once

#include "sync/ntp_time.h"
#include "sync/system_time.h"

class Clock {
  public:
    virtual ~Clock() = default;

    // UTC at the finest resolution the platform offers.
    virtual NtpTime Now() = 0;
    // A reading of the system clock taken elsewhere (a kernel's packet stamp), as this
    // clock would have read at that moment.
    virtual NtpTime FromSystemReading(NtpTime systemUtc) = 0;

    virtual SYSTEMTIME UtcTime() = 0;
    virtual SYSTEMTIME LocalTime() = 0;

    // Sets the UTC clock as it is, without asking for the privilege.
    virtual bool SetUtcTime(const SYSTEMTIME& utc) = 0;
    virtual bool SetLocalTime(const SYSTEMTIME& local) = 0;
    // Sets the UTC clock to t inside the bracket that enables the system-time privilege
    // of the process and disables it again.
    virtual bool SetClockUtc(const NtpTime& t) = 0;
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
};
