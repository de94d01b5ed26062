#include "config/date_time.h"

#include <cmath>
#include <cstdint>

#include "ntp/ntp_time.h"

namespace {

const std::int32_t kEpochDayNumber = DayNumber(1899, 12, 30);
constexpr double kFirstDay = -657434.0;  // 0100-01-01
constexpr double kLastDay = 2958465.0;   // 9999-12-31, the day that ends before 2958466

// The encoded value is not continuous before the epoch; arithmetic works on a continuous
// count of days instead.
double Continuous(double days) {
    if (days >= 0) {
        return days;
    }
    const double whole = std::ceil(days);
    return whole - (days - whole);
}

double Encoded(double continuous) {
    if (continuous >= 0) {
        return continuous;
    }
    const double whole = std::floor(continuous);
    return whole + (whole - continuous);
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<DateTime> DateTime::FromSystemTime(const SYSTEMTIME& st) {
    if (st.wYear < 100 || st.wYear > 9999 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
        st.wDay > DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 ||
        st.wSecond > 59) {
        return std::nullopt;
    }
    const double day = DayNumber(st.wYear, st.wMonth, st.wDay) - kEpochDayNumber;
    const double time = (st.wHour * 3600.0 + st.wMinute * 60.0 + st.wSecond) / kSecondsPerDay;
    return DateTime(day >= 0 ? day + time : day - time);
}

bool DateTime::ToSystemTime(SYSTEMTIME* st) const {
    const double continuous = Continuous(days_);
    if (!std::isfinite(continuous) || continuous < kFirstDay || continuous >= kLastDay + 1.0) {
        return false;
    }
    const auto totalSeconds =
        static_cast<std::int64_t>(std::floor(continuous * kSecondsPerDay + 0.5));
    std::int64_t day = totalSeconds / 86400;
    std::int64_t secondOfDay = totalSeconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --day;
    }
    const auto dayNumber = static_cast<std::int32_t>(day + kEpochDayNumber);
    const CivilDate date = CivilFromDayNumber(dayNumber);
    if (date.year > 9999) {
        return false;
    }
    *st = {};
    st->wYear = date.year;
    st->wMonth = date.month;
    st->wDay = date.day;
    st->wDayOfWeek = static_cast<std::uint16_t>((dayNumber + 1) % 7);
    st->wHour = static_cast<std::uint16_t>(secondOfDay / 3600);
    st->wMinute = static_cast<std::uint16_t>(secondOfDay / 60 % 60);
    st->wSecond = static_cast<std::uint16_t>(secondOfDay % 60);
    return true;
}

DateTime DateTime::AddSeconds(double seconds) const {
    return DateTime(Encoded(Continuous(days_) + seconds / kSecondsPerDay));
}

double operator-(DateTime a, DateTime b) {
    return Continuous(a.days_) - Continuous(b.days_);
}

namespace {

// Saturates instead of overflowing when a clock set decades off makes the span huge.
std::int32_t TruncateToInt32(double value) {
    if (!(value > -2147483648.0)) {
        return INT32_MIN;
    }
    if (!(value < 2147483648.0)) {
        return INT32_MAX;
    }
    return static_cast<std::int32_t>(value);
}

// The half-second term makes up for the days' binary fraction; a backward span is counted
// as the forward one of the same length, so both directions count alike.
std::int32_t WholeUnits(double spanDays, double unitsPerDay) {
    if (spanDays < 0) {
        return -TruncateToInt32(-spanDays * unitsPerDay + DateTime::kHalfSecondInDays);
    }
    return TruncateToInt32(spanDays * unitsPerDay + DateTime::kHalfSecondInDays);
}

}  // namespace

std::int32_t WholeDays(double spanDays) {
    return WholeUnits(spanDays, 1.0);
}

std::int32_t WholeMinutes(double spanDays) {
    return WholeUnits(spanDays, DateTime::kMinutesPerDay);
}

std::int32_t WholeSeconds(double spanDays) {
    return WholeUnits(spanDays, DateTime::kSecondsPerDay);
}
