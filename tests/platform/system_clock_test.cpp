#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cmath>

#ifdef _WIN32
#include "tests/support/system_time_privilege_win.h"
#endif

namespace {

TEST(PlatformClockTest, ReadingsAgreeWithEachOther) {
    PlatformClock clock;
    const NtpTime now = clock.Now();
    const SYSTEMTIME utc = clock.UtcTime();
    EXPECT_LT(std::fabs(Difference(NtpTime::FromSystemTime(utc), now)), 1.0);
    const SYSTEMTIME local = clock.LocalTime();
    // Local time is UTC moved by a zone of at most 14 hours, in whole quarter hours.
    const double zone = Difference(NtpTime::FromSystemTime(local), NtpTime::FromSystemTime(utc));
    EXPECT_LE(std::fabs(zone), 14 * 3600.0 + 1.0);
    EXPECT_NEAR(0.0, std::remainder(zone, 900.0), 1.0);
}

#ifdef _WIN32

TEST(PlatformClockTest, SetsTheClockInsideThePrivilegeBracket) {
    // Setting the clock to what it reads changes nothing, here or anywhere.
    PlatformClock clock;
    EXPECT_TRUE(clock.SetClockUtc(clock.Now()));
    EXPECT_FALSE(SystemTimePrivilegeEnabled());  // disabled again afterwards
}

#else

TEST(PlatformClockTest, SettingIsLeftToWindows) {
    PlatformClock clock;
    EXPECT_FALSE(clock.SetClockUtc(clock.Now()));
    EXPECT_FALSE(clock.SetUtcTime(clock.UtcTime()));
    EXPECT_FALSE(clock.SetLocalTime(clock.LocalTime()));
}

#endif

}  // namespace
