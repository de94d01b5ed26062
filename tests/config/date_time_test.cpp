#include "config/date_time.h"

#include <gtest/gtest.h>

#include "tests/support/calendar.h"

#include "ntp/ntp_time.h"

namespace {

SYSTEMTIME Back(DateTime t) {
    SYSTEMTIME st{};
    EXPECT_TRUE(t.ToSystemTime(&st));
    return st;
}

TEST(DateTimeTest, CountsDaysFromTheEndOf1899) {
    EXPECT_EQ(0.0, DateTime::FromSystemTime(Calendar(1899, 12, 30))->days());
    EXPECT_EQ(2.0, DateTime::FromSystemTime(Calendar(1900, 1, 1))->days());
    EXPECT_EQ(37687.5, DateTime::FromSystemTime(Calendar(2003, 3, 7, 12))->days());
    // Milliseconds are dropped, not rounded.
    EXPECT_EQ(DateTime::FromSystemTime(Calendar(2003, 3, 7, 12, 0, 0))->days(),
              DateTime::FromSystemTime(Calendar(2003, 3, 7, 12, 0, 0, 999))->days());
}

TEST(DateTimeTest, BeforeTheEpochTheFractionStillRunsForward) {
    const DateTime sixInTheMorning = *DateTime::FromSystemTime(Calendar(1899, 12, 29, 6));
    EXPECT_EQ(-1.25, sixInTheMorning.days());
    const SYSTEMTIME back = Back(sixInTheMorning);
    EXPECT_EQ(29, back.wDay);
    EXPECT_EQ(6, back.wHour);
    // Twelve hours later is the epoch's own 18:00 of the previous day, then midnight.
    EXPECT_EQ(18, Back(sixInTheMorning.AddSeconds(12 * 3600.0)).wHour);
    EXPECT_EQ(0.0, sixInTheMorning.AddSeconds(18 * 3600.0).days());
    EXPECT_DOUBLE_EQ(0.75, *DateTime::FromSystemTime(Calendar(1899, 12, 30)) - sixInTheMorning);
}

TEST(DateTimeTest, RefusesFieldsThatAreNoCalendarTime) {
    EXPECT_FALSE(DateTime::FromSystemTime(Calendar(2003, 2, 29)));
    EXPECT_TRUE(DateTime::FromSystemTime(Calendar(2004, 2, 29)));
    EXPECT_FALSE(DateTime::FromSystemTime(Calendar(2003, 13, 1)));
    EXPECT_FALSE(DateTime::FromSystemTime(Calendar(2003, 0, 1)));
    EXPECT_FALSE(DateTime::FromSystemTime(Calendar(0, 3, 7)));
    EXPECT_FALSE(DateTime::FromSystemTime(Calendar(2003, 3, 7, 24)));
    EXPECT_FALSE(DateTime::FromSystemTime(Calendar(2003, 3, 7, 23, 60)));
    SYSTEMTIME st{};
    EXPECT_FALSE(DateTime(3.0e6).ToSystemTime(&st));   // after 9999
    EXPECT_FALSE(DateTime(-7.0e5).ToSystemTime(&st));  // before 100
}

TEST(DateTimeTest, ConvertsBackToTheNearestSecondWithItsDayOfWeek) {
    const DateTime noon = *DateTime::FromSystemTime(Calendar(2003, 3, 7, 12));
    SYSTEMTIME st = Back(noon.AddSeconds(0.4));
    EXPECT_EQ(0, st.wSecond);
    st = Back(noon.AddSeconds(0.6));
    EXPECT_EQ(1, st.wSecond);
    EXPECT_EQ(0, st.wMilliseconds);
    EXPECT_EQ(5, st.wDayOfWeek);  // a Friday
    st = Back(DateTime::FromSystemTime(Calendar(2003, 12, 31, 23, 59, 59))->AddSeconds(1.0));
    EXPECT_EQ(2004, st.wYear);
    EXPECT_EQ(1, st.wMonth);
    EXPECT_EQ(1, st.wDay);
    EXPECT_EQ(0, st.wHour);
}

TEST(DateTimeTest, WholeSecondArithmeticIsExactOverYears) {
    const SYSTEMTIME start = Calendar(2026, 12, 7, 21, 15, 30);
    const DateTime startValue = *DateTime::FromSystemTime(start);
    // To 1969 and, across the NTP rollover of 2036, to 2090.
    for (const double seconds :
         {-90.0, 7200.0, -7200.0, 86399.0, 31536000.0, -1800000000.0, 2000000000.0}) {
        // The NTP timestamp's integer arithmetic is the reference; it holds from 1968 to 2104.
        const SYSTEMTIME expected =
            AddSeconds(NtpTime::FromSystemTime(start), seconds).ToSystemTime();
        const SYSTEMTIME actual = Back(startValue.AddSeconds(seconds));
        EXPECT_EQ(expected.wYear, actual.wYear) << seconds;
        EXPECT_EQ(expected.wMonth, actual.wMonth) << seconds;
        EXPECT_EQ(expected.wDay, actual.wDay) << seconds;
        EXPECT_EQ(expected.wHour, actual.wHour) << seconds;
        EXPECT_EQ(expected.wMinute, actual.wMinute) << seconds;
        EXPECT_EQ(expected.wSecond, actual.wSecond) << seconds;
        EXPECT_EQ(expected.wDayOfWeek, actual.wDayOfWeek) << seconds;
    }
}

TEST(DateTimeTest, OnlyEveryFourthCenturyIsALeapYear) {
    for (const std::uint16_t year : {1900, 2000, 2100, 2023, 2024, 2400}) {
        const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
        EXPECT_EQ(leap, DateTime::FromSystemTime(Calendar(year, 2, 29)).has_value()) << year;
        EXPECT_TRUE(DateTime::FromSystemTime(Calendar(year, 2, 28)).has_value()) << year;
        // From the last day of February to the first of March: one day, or two.
        const double days = *DateTime::FromSystemTime(Calendar(year, 3, 1)) -
                            *DateTime::FromSystemTime(Calendar(year, 2, 28));
        EXPECT_EQ(leap ? 2.0 : 1.0, days) << year;
    }
}

TEST(DateTimeTest, WholeUnitsCountBothDirectionsAlike) {
    struct Case {
        double seconds;
        std::int32_t minutes;
    };
    for (const Case& c :
         {Case{180, 3}, Case{90, 1}, Case{3599, 59}, Case{3600, 60}, Case{59, 0}, Case{181, 3}}) {
        EXPECT_EQ(c.minutes, WholeMinutes(c.seconds / 86400.0)) << c.seconds;
        // A clock stepped back by as much counts as many minutes, negative.
        EXPECT_EQ(-c.minutes, WholeMinutes(-c.seconds / 86400.0)) << -c.seconds;
        EXPECT_EQ(static_cast<std::int32_t>(c.seconds), WholeSeconds(c.seconds / 86400.0));
        EXPECT_EQ(-static_cast<std::int32_t>(c.seconds), WholeSeconds(-c.seconds / 86400.0));
    }
    // A span of thousands of years saturates instead of overflowing.
    EXPECT_EQ(INT32_MAX, WholeMinutes(4.0e6));
    EXPECT_EQ(-INT32_MAX, WholeMinutes(-4.0e6));
}

}  // namespace
