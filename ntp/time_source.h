// What an SNTP exchange needs of a clock: readings in NTP form. The full clock, with its
// calendar reads and its sets, builds on this.
#pragma once

#include "ntp/ntp_time.h"

class TimeSource {
  public:
    virtual ~TimeSource() = default;

    // UTC at the finest resolution the platform offers.
    virtual NtpTime Now() = 0;
    // A reading of the system clock taken elsewhere (a kernel's packet stamp), as this
    // clock would have read at that moment.
    virtual NtpTime FromSystemReading(NtpTime systemUtc) = 0;
};
