// The bracket around a clock setting, and whether a token may set the clock at all: the
// program's choice between setting it itself and asking the service. Wine gives every process
// an administrator's token, so a standard user's token is made by stripping the privilege
// from a copy.
#include "platform/clock_privilege_win.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "tests/support/system_time_privilege_win.h"

namespace {

TEST(ClockPrivilegeTest, EnablesAndDisablesTheSystemTimePrivilege) {
    ClockPrivilege privilege;
    EXPECT_FALSE(privilege.Disable());  // nothing enabled yet
    ASSERT_TRUE(privilege.Enable());
    EXPECT_TRUE(SystemTimePrivilegeEnabled());
    EXPECT_TRUE(privilege.Disable());
    EXPECT_FALSE(SystemTimePrivilegeEnabled());
}

TEST(ClockPrivilegeQueryTest, TheSystemTimePrivilegeCountsEnabledOrNot) {
    HANDLE raw = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(),
                                   TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY, &raw));
    const UniqueHandle token(raw);
    // Held but disabled until a clock setting enables it for a moment.
    EXPECT_TRUE(TokenHoldsClockPrivilege(token.get()));
    EXPECT_TRUE(PlatformClock().MaySetClock());

    LUID_AND_ATTRIBUTES removed{};
    ASSERT_TRUE(::LookupPrivilegeValueW(nullptr, L"SeSystemtimePrivilege", &removed.Luid));
    HANDLE stripped = nullptr;
    ASSERT_TRUE(
        ::CreateRestrictedToken(token.get(), 0, 0, nullptr, 1, &removed, 0, nullptr, &stripped));
    const UniqueHandle standardUser(stripped);
    EXPECT_FALSE(TokenHoldsClockPrivilege(standardUser.get()));
}

}  // namespace
