#include <time.h>

#include "ntp/ntp_time.h"

NtpTime NtpTime::Now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return FromUnixTime(now.tv_sec, static_cast<std::uint32_t>(now.tv_nsec));
}
