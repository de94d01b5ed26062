#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cmath>

#ifdef _WIN32
#include <windows.h>

#include <vector>

#include "platform/clock_privilege_win.h"
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

// Whether the process token has the system-time privilege enabled right now.
bool SystemTimePrivilegeEnabled() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        return false;
    }
    UniqueHandle token(raw);
    LUID luid{};
    ::LookupPrivilegeValueA(nullptr, "SeSystemtimePrivilege", &luid);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), size, &size)) {
        return false;
    }
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
        if (entry.Luid.LowPart == luid.LowPart && entry.Luid.HighPart == luid.HighPart) {
            return (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    return false;
}

TEST(ClockPrivilegeTest, EnablesAndDisablesTheSystemTimePrivilege) {
    ClockPrivilege privilege;
    EXPECT_FALSE(privilege.Disable());  // nothing enabled yet
    ASSERT_TRUE(privilege.Enable());
    EXPECT_TRUE(SystemTimePrivilegeEnabled());
    EXPECT_TRUE(privilege.Disable());
    EXPECT_FALSE(SystemTimePrivilegeEnabled());
}

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
