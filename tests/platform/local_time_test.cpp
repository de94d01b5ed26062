#include "platform/local_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "tests/support/calendar.h"

namespace {

// The zone's rule is set here through TZ; on Windows it is the machine's own.
#ifndef _WIN32
std::string Text(const SYSTEMTIME& t) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute);
    return text;
}

TEST(LocalTimeTest, FollowsTheZoneAndTheDaylightRuleOfTheDate) {
    const char* before = std::getenv("TZ");
    const std::string saved = before != nullptr ? before : "";
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
    const struct {
        SYSTEMTIME utc;
        const char* local;
    } cases[] = {
        {Calendar(2026, 12, 9, 9, 14), "2026-12-09 10:14"},    // winter: one hour
        {Calendar(2026, 7, 1, 12, 0), "2026-07-01 14:00"},     // summer: two
        {Calendar(2026, 12, 31, 23, 30), "2027-01-01 00:30"},  // across the year
        {Calendar(2026, 3, 29, 0, 59), "2026-03-29 01:59"},    // a minute before the change
        {Calendar(2026, 3, 29, 1, 0), "2026-03-29 03:00"},     // the change itself
    };
    for (const auto& c : cases) {
        const std::optional<SYSTEMTIME> local = LocalTimeOf(c.utc);
        ASSERT_TRUE(local) << c.local;
        EXPECT_EQ(c.local, Text(*local));
    }
    if (before != nullptr) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}
#endif

}  // namespace
