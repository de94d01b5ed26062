#include "ntp/ntp_time.h"

#include <gtest/gtest.h>

#include "tests/support/calendar.h"

#include <limits>
#include <tuple>

namespace {

// The rollover instant: era 1's first second, 2036-02-07 06:28:16.
const NtpTime kRollover(0, 0);

void ExpectSameCalendar(const SYSTEMTIME& expected, const SYSTEMTIME& actual) {
    EXPECT_EQ(expected.wYear, actual.wYear);
    EXPECT_EQ(expected.wMonth, actual.wMonth);
    EXPECT_EQ(expected.wDay, actual.wDay);
    EXPECT_EQ(expected.wHour, actual.wHour);
    EXPECT_EQ(expected.wMinute, actual.wMinute);
    EXPECT_EQ(expected.wSecond, actual.wSecond);
    EXPECT_EQ(expected.wMilliseconds, actual.wMilliseconds);
}

TEST(DayNumberTest, KnownEpochs) {
    EXPECT_EQ(2415021, DayNumber(1900, 1, 1));
    EXPECT_EQ(2440588, DayNumber(1970, 1, 1));
    EXPECT_EQ(2451545, DayNumber(2000, 1, 1));
}

TEST(DayNumberTest, CivilFromDayNumberInvertsEveryDayFrom1800To2400) {
    const std::int32_t first = DayNumber(1800, 1, 1);
    const std::int32_t last = DayNumber(2400, 12, 31);
    SYSTEMTIME previous = Calendar(1799, 12, 31);
    for (std::int32_t j = first; j <= last; ++j) {
        const CivilDate date = CivilFromDayNumber(j);
        ASSERT_EQ(j, DayNumber(date.year, date.month, date.day)) << j;
        // Consecutive day numbers are consecutive calendar days.
        const bool nextDay = date.day == previous.wDay + 1 && date.month == previous.wMonth;
        const bool nextMonth = date.day == 1 && (date.month == previous.wMonth + 1 ||
                                                 (date.month == 1 && previous.wMonth == 12));
        ASSERT_TRUE(nextDay || nextMonth) << date.year << "-" << date.month << "-" << date.day;
        previous = Calendar(date.year, date.month, date.day);
    }
    EXPECT_EQ(29, CivilFromDayNumber(DayNumber(2000, 2, 29)).day);
    EXPECT_EQ(3, CivilFromDayNumber(DayNumber(1900, 2, 29)).month);  // 1900 was no leap year
}

TEST(NtpTimeTest, EpochsConvertBothWays) {
    const NtpTime unixEpoch = NtpTime::FromSystemTime(Calendar(1970, 1, 1));
    EXPECT_EQ(2208988800u, unixEpoch.seconds());
    EXPECT_EQ(0u, unixEpoch.fraction());

    const SYSTEMTIME back = NtpTime(2208988800u, 0).ToSystemTime();
    ExpectSameCalendar(Calendar(1970, 1, 1), back);
    EXPECT_EQ(4, back.wDayOfWeek);  // Thursday
}

TEST(NtpTimeTest, CalendarTimesAtTheEdgesOfBothErasRoundTrip) {
    struct Case {
        SYSTEMTIME utc;
        std::uint32_t seconds;
        std::uint16_t dayOfWeek;
    };
    const Case cases[] = {
        {Calendar(1968, 1, 20, 3, 14, 8), 0x80000000u, 6},  // era 0's first second, a Saturday
        {Calendar(2000, 1, 1), 3155673600u, 6},
        {Calendar(2036, 2, 7, 6, 28, 15, 999), 0xFFFFFFFFu, 4},  // a Thursday
        {Calendar(2036, 2, 7, 6, 28, 16), 0u, 4},
        {Calendar(2036, 2, 7, 6, 28, 17), 1u, 4},
        {Calendar(2040, 1, 1), 123010304u, 0},
        {Calendar(2104, 2, 26, 9, 42, 23, 999), 0x7FFFFFFFu, 2},  // era 1's last second
    };
    for (const Case& c : cases) {
        const NtpTime t = NtpTime::FromSystemTime(c.utc);
        EXPECT_EQ(c.seconds, t.seconds()) << c.utc.wYear;
        EXPECT_EQ(MsToFraction[c.utc.wMilliseconds], t.fraction()) << c.utc.wYear;
        const SYSTEMTIME back = t.ToSystemTime();
        ExpectSameCalendar(c.utc, back);
        EXPECT_EQ(c.dayOfWeek, back.wDayOfWeek) << c.utc.wYear;
    }
}

TEST(NtpTimeTest, EverySecondValueReadsAsAnIncreasingTimeFrom1968To2104) {
    // Wire values taken in time order, from era 0's first second on: the calendar must rise
    // steadily, also where the seconds wrap to 0, and convert back to the same value.
    const std::uint64_t stride = 86400 * 3 + 7;
    const auto key = [](const SYSTEMTIME& x) {
        return std::make_tuple(x.wYear, x.wMonth, x.wDay, x.wHour, x.wMinute, x.wSecond);
    };
    SYSTEMTIME previous = Calendar(1968, 1, 20, 3, 14, 7);
    for (std::uint64_t step = 0x80000000u; step < 0x180000000u; step += stride) {
        const NtpTime t(static_cast<std::uint32_t>(step), 0);
        const SYSTEMTIME st = t.ToSystemTime();
        ASSERT_EQ(t, NtpTime::FromSystemTime(st)) << step;
        ASSERT_LT(key(previous), key(st)) << step;
        previous = st;
    }
    EXPECT_EQ(2104, previous.wYear);
}

TEST(NtpTimeTest, EveryMillisecondSurvivesTheRoundTrip) {
    for (int ms = 0; ms < 1000; ++ms) {
        const SYSTEMTIME st = Calendar(2026, 12, 7, 23, 59, 58, ms);
        const NtpTime t = NtpTime::FromSystemTime(st);
        ASSERT_EQ(MsToFraction[ms], t.fraction());
        ExpectSameCalendar(st, t.ToSystemTime());
    }
}

TEST(NtpTimeTest, MillisecondTableUsesTwoToThe32) {
    EXPECT_EQ(0u, MsToFraction[0]);
    EXPECT_EQ(4294967u, MsToFraction[1]);
    EXPECT_EQ(8589935u, MsToFraction[2]);
    EXPECT_EQ(2147483648u, MsToFraction[500]);
    EXPECT_EQ(4290672329u, MsToFraction[999]);
}

TEST(NtpTimeTest, FloatingConversionsUse4294967295UnitsPerSecond) {
    EXPECT_EQ(500, NtpTime(0, 2147483648u).ToSystemTime().wMilliseconds);
    EXPECT_EQ(1, NtpTime(0, 4294967u).ToSystemTime().wMilliseconds);
    // Half a second is 2147483647 units on this scale, not 2^31.
    EXPECT_EQ(NtpTime(10, 2147483647u), AddSeconds(NtpTime(10, 0), 0.5));
    EXPECT_EQ(NtpTime(10, 0), AddSeconds(NtpTime(10, 2147483647u), -0.5));
    // A fraction of 4294967295 units is one whole second on this scale.
    EXPECT_DOUBLE_EQ(1.0, Difference(NtpTime(0, 4294967295u), NtpTime(0, 0)));
}

TEST(NtpTimeTest, MillisecondsRoundingTo1000CarryIntoTheNextSecond) {
    const SYSTEMTIME st =
        NtpTime(NtpTime::FromSystemTime(Calendar(2003, 12, 31, 23, 59, 59)).seconds(), 4294967000u)
            .ToSystemTime();
    ExpectSameCalendar(Calendar(2004, 1, 1, 0, 0, 0, 0), st);
    EXPECT_EQ(4, st.wDayOfWeek);  // 2004-01-01 was a Thursday
    EXPECT_EQ(999, NtpTime(5, 4290672329u).ToSystemTime().wMilliseconds);
    // The last half millisecond of era 0 carries into era 1, not back to 1968.
    ExpectSameCalendar(Calendar(2036, 2, 7, 6, 28, 16),
                       NtpTime(0xFFFFFFFFu, 4294967000u).ToSystemTime());
}

TEST(NtpTimeTest, DifferenceIsSignSymmetric) {
    const NtpTime a(3000000000u, 123456789u);
    const NtpTime b(2999999000u, 987654321u);
    EXPECT_EQ(0.0, Difference(a, a));
    EXPECT_EQ(Difference(a, b), -Difference(b, a));
    EXPECT_EQ(1.0, Difference(NtpTime(101, 7), NtpTime(100, 7)));
    EXPECT_EQ(-1.0, Difference(NtpTime(100, 7), NtpTime(101, 7)));
}

TEST(NtpTimeTest, AddSecondsCarriesAndIsSymmetric) {
    const NtpTime t(100, 0xF0000000u);
    const NtpTime later = AddSeconds(t, 1.25);
    EXPECT_EQ(102u, later.seconds());  // the fraction addition carried into the seconds
    EXPECT_EQ(t, AddSeconds(later, -1.25));
    EXPECT_EQ(NtpTime(100 - 7200, 0xF0000000u), AddSeconds(t, -7200.0));
    EXPECT_EQ(t, AddSeconds(t, std::numeric_limits<double>::quiet_NaN()));
}

TEST(NtpTimeTest, SpansAndStepsCrossTheRolloverBothWays) {
    const NtpTime in2030 = NtpTime::FromSystemTime(Calendar(2030, 1, 1));
    const NtpTime in2040 = NtpTime::FromSystemTime(Calendar(2040, 1, 1));
    struct Case {
        const char* name;
        NtpTime from;
        NtpTime to;
        double seconds;  // to - from
    };
    const Case cases[] = {
        {"last second of era 0", NtpTime(0xFFFFFFFFu, 0), kRollover, 1.0},
        {"fraction carries into era 1", NtpTime(0xFFFFFFFFu, 0xC0000000u), NtpTime(1, 0x3FFFFFFFu),
         1.5},
        {"2030 to 2040", in2030, in2040, 3652 * 86400.0},
        {"Unix epoch to the rollover", NtpTime(2208988800u, 0), kRollover, 2085978496.0},
        // The widest span the signed reading holds: 2^31 - 1 s.
        {"era 0's second second to the rollover", NtpTime(0x80000001u, 0), kRollover, 2147483647.0},
        {"rollover to era 1's last second", kRollover, NtpTime(0x7FFFFFFFu, 0), 2147483647.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(c.seconds, Difference(c.to, c.from), 1e-9) << c.name;
        EXPECT_NEAR(-c.seconds, Difference(c.from, c.to), 1e-9) << c.name;
        EXPECT_EQ(c.to, AddSeconds(c.from, c.seconds)) << c.name;
        EXPECT_EQ(c.from, AddSeconds(c.to, -c.seconds)) << c.name;
    }
}

TEST(NtpTimeTest, TimesOutsideTheErasWrapAnEraAway) {
    struct Case {
        SYSTEMTIME utc;
        std::uint32_t seconds;
        SYSTEMTIME readsAs;
    };
    const Case cases[] = {
        {Calendar(1899, 12, 31, 23, 59, 59), 0xFFFFFFFFu, Calendar(2036, 2, 7, 6, 28, 15)},
        {Calendar(1900, 1, 1), 0u, Calendar(2036, 2, 7, 6, 28, 16)},
        {Calendar(1968, 1, 20, 3, 14, 7), 0x7FFFFFFFu, Calendar(2104, 2, 26, 9, 42, 23)},
        {Calendar(2104, 2, 26, 9, 42, 24), 0x80000000u, Calendar(1968, 1, 20, 3, 14, 8)},
        {Calendar(2104, 12, 31, 23, 59, 59), 2174232703u, Calendar(1968, 11, 24, 17, 31, 43)},
    };
    for (const Case& c : cases) {
        const NtpTime t = NtpTime::FromSystemTime(c.utc);
        EXPECT_EQ(c.seconds, t.seconds()) << c.utc.wYear;
        ExpectSameCalendar(c.readsAs, t.ToSystemTime());
    }
}

TEST(NtpTimeTest, WireFormIsBigEndian) {
    const NtpTime t(0x01020304u, 0x05060708u);
    std::uint8_t wire[8];
    t.ToWire(wire);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(i + 1, wire[i]);
    }
    EXPECT_EQ(t, NtpTime::FromWire(wire));
}

TEST(NtpTimeTest, PlatformReadingsConvertExactly) {
    EXPECT_EQ(NtpTime(2208988800u, 0), NtpTime::FromUnixTime(0, 0));
    EXPECT_EQ(NtpTime(2208988801u, 2147483648u), NtpTime::FromUnixTime(1, 500000000));
    // One nanosecond is about 4.29 units: readings a nanosecond apart stay apart.
    EXPECT_LT(NtpTime::FromUnixTime(1, 1), NtpTime::FromUnixTime(1, 2));
    // 1970-01-01 on the FILETIME scale (100 ns since 1601).
    EXPECT_EQ(NtpTime(2208988800u, 0), NtpTime::FromFileTime(116444736000000000ULL));
    EXPECT_EQ(NtpTime(2208988800u, 429), NtpTime::FromFileTime(116444736000000001ULL));
    // At the rounding edges: the last unit of a second stays in that second, and the
    // nearest fraction is taken (2^32 / 10^7 = 429.4967296 units per tick).
    EXPECT_EQ(NtpTime(2208988800u, 4294966867u), NtpTime::FromFileTime(116444736009999999ULL));
    EXPECT_EQ(NtpTime(2208988800u, 4294967292u), NtpTime::FromUnixTime(0, 999999999));
    EXPECT_EQ(NtpTime(2208988800u, 2147), NtpTime::FromFileTime(116444736000000005ULL));
    EXPECT_EQ(NtpTime(2208988800u, 859), NtpTime::FromFileTime(116444736000000002ULL));
}

TEST(NtpTimeTest, PlatformReadingsFromTheRolloverOnWrapIntoEra1) {
    constexpr std::int64_t kRolloverUnixSeconds = 2085978496;
    constexpr std::uint64_t kUnixEpochFileTimeSeconds = 11644473600;  // 1601 to 1970
    struct Case {
        std::int64_t unixSeconds;
        std::uint32_t nanoseconds;
        NtpTime expected;
    };
    const Case cases[] = {
        {kRolloverUnixSeconds - 1, 999999900, NtpTime(0xFFFFFFFFu, 4294966867u)},
        {kRolloverUnixSeconds, 0, kRollover},
        {kRolloverUnixSeconds, 500000000, NtpTime(0, 2147483648u)},
        {2208988800, 0, NtpTime(123010304u, 0)},   // 2040-01-01
        {4233462143, 0, NtpTime(0x7FFFFFFFu, 0)},  // 2104-02-26 09:42:23
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, NtpTime::FromUnixTime(c.unixSeconds, c.nanoseconds)) << c.unixSeconds;
        const std::uint64_t fileTime =
            (static_cast<std::uint64_t>(c.unixSeconds) + kUnixEpochFileTimeSeconds) * 10000000 +
            c.nanoseconds / 100;
        EXPECT_EQ(c.expected, NtpTime::FromFileTime(fileTime)) << c.unixSeconds;
    }
}

TEST(NtpTimeTest, NowIsFinerThanAMillisecond) {
    // Two readings in a row differ by far less than a millisecond, and the fractions are not
    // all whole milliseconds.
    bool sawSubMillisecond = false;
    for (int i = 0; i < 100 && !sawSubMillisecond; ++i) {
        const NtpTime now = NtpTime::Now();
        const auto ms = static_cast<std::uint32_t>(now.fraction() / 4294967.296 + 0.5);
        sawSubMillisecond = ms >= 1000 || MsToFraction[ms] != now.fraction();
    }
    EXPECT_TRUE(sawSubMillisecond);
    const NtpTime a = NtpTime::Now();
    const NtpTime b = NtpTime::Now();
    EXPECT_LT(Difference(b, a), 0.5);
    EXPECT_GE(Difference(b, a), 0.0);
}

}  // namespace
