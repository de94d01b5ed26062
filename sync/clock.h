// The system clock as the core sees it. The platforms implement it over their own calls;
// tests use a fake that moves a simulated offset instead of the host's clock.
#pragma once

#include "sync/ntp_time.h"

class Clock {
  public:
    virtual ~Clock() = default;

    // UTC at the finest resolution the platform offers.
    virtual NtpTime Now() = 0;
    // A reading of the system clock taken elsewhere (a kernel's packet stamp), as this
    // clock would have read at that moment.
    virtual NtpTime FromSystemReading(NtpTime systemUtc) = 0;
};

// The real clock of this machine.
class SystemClock : public Clock {
  public:
    NtpTime Now() override { return NtpTime::Now(); }
    NtpTime FromSystemReading(NtpTime systemUtc) override { return systemUtc; }
};
