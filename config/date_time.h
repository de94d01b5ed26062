// The framework's date-time value: days since 1899-12-30 00:00 as a double, the time of day
// in the fraction. Before the epoch the integer part counts days back while the fraction
// still runs forward through the day: -1.25 is 1899-12-29 06:00.
#pragma once

#include <cstdint>
#include <optional>

#include "base/system_time.h"

class DateTime {
  public:
    static constexpr double kSecondsPerDay = 86400.0;
    static constexpr double kMinutesPerDay = 1440.0;
    // Half a second in days, added before a count of whole units is truncated.
    static constexpr double kHalfSecondInDays = 5.787037037037037e-06;

    constexpr DateTime() = default;
    constexpr explicit DateTime(double days) : days_(days) {}

    // To the whole second: milliseconds are dropped. Empty for fields that are no calendar
    // time of the years 100 to 9999.
    static std::optional<DateTime> FromSystemTime(const SYSTEMTIME& st);

    // Rounded to the nearest second, milliseconds 0, day of week filled. False outside the
    // years 100 to 9999.
    bool ToSystemTime(SYSTEMTIME* st) const;

    double days() const { return days_; }

    DateTime AddSeconds(double seconds) const;

    // The span a - b in days.
    friend double operator-(DateTime a, DateTime b);

  private:
    double days_ = 0;
};

// Whole days, minutes or seconds in a span of days: |span| * units + half a second in days,
// truncated toward zero, with the span's sign.
std::int32_t WholeDays(double spanDays);
std::int32_t WholeMinutes(double spanDays);
std::int32_t WholeSeconds(double spanDays);
