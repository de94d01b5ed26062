// The 64-bit NTP timestamp: whole seconds modulo 2^32 in the high 32 bits and the fraction of
// a second in the low 32. The seconds wrap on 2036-02-07 06:28:16 UTC, so they are read by
// their high bit: set, they count from 1900-01-01 (era 0, from 1968-01-20 03:14:08); clear,
// from the rollover (era 1, up to 2104-02-26 09:42:23). Every timestamp thus names a time
// within 68 years of 2036, and spans between timestamps are taken modulo 2^64.
#pragma once

#include <array>
#include <cstdint>

#include "base/system_time.h"

// Julian day number of a Gregorian date.
std::int32_t DayNumber(std::uint16_t year, std::uint16_t month, std::uint16_t day);

struct CivilDate {
    std::uint16_t year;
    std::uint16_t month;
    std::uint16_t day;
};

// The inverse of DayNumber for every date from 1800 to 2400.
CivilDate CivilFromDayNumber(std::int32_t dayNumber);

namespace ntp_detail {
constexpr std::array<std::uint32_t, 1000> MakeMsToFraction() {
    std::array<std::uint32_t, 1000> table{};
    for (std::uint64_t ms = 0; ms < table.size(); ++ms) {
        table[ms] = static_cast<std::uint32_t>((ms * 4294967296ULL + 500) / 1000);
    }
    return table;
}
}  // namespace ntp_detail

// Entry ms is ms * 2^32 / 1000 rounded: the exact binary fraction of a millisecond count.
inline constexpr std::array<std::uint32_t, 1000> MsToFraction = ntp_detail::MakeMsToFraction();

class NtpTime {
  public:
    static constexpr std::uint32_t kNtpEpochDayNumber = 2415021;    // 1900-01-01
    static constexpr std::uint32_t kUnixEpochSeconds = 2208988800;  // 1970-01-01 on the NTP scale
    static constexpr std::uint64_t kEraSeconds = std::uint64_t{1} << 32;
    static constexpr int kWireSize = 8;

    constexpr NtpTime() = default;
    constexpr explicit NtpTime(std::uint64_t value) : value_(value) {}
    constexpr NtpTime(std::uint32_t seconds, std::uint32_t fraction)
        : value_((std::uint64_t{seconds} << 32) | fraction) {}

    constexpr std::uint64_t value() const { return value_; }
    constexpr std::uint32_t seconds() const { return static_cast<std::uint32_t>(value_ >> 32); }
    constexpr std::uint32_t fraction() const { return static_cast<std::uint32_t>(value_); }

    // Network byte order: seconds, then fraction, both big-endian.
    static NtpTime FromWire(const std::uint8_t* bytes);
    void ToWire(std::uint8_t* bytes) const;

    // A UTC calendar time; wDayOfWeek is ignored. The seconds wrap modulo 2^32, so a time
    // outside 1968-2104 reads back an era (about 136 years) away from where it was.
    static NtpTime FromSystemTime(const SYSTEMTIME& utc);
    // All eight fields, wDayOfWeek included, in the era the high bit names. Milliseconds that
    // round up to 1000 carry into the next second, so the result is always a valid clock
    // setting.
    SYSTEMTIME ToSystemTime() const;

    // Exact conversions of the platform clocks' own readings, wrapped like FromSystemTime.
    static NtpTime FromUnixTime(std::int64_t seconds, std::uint32_t nanoseconds);
    static NtpTime FromFileTime(std::uint64_t hundredNanoseconds);

    // The system clock, read at its finest resolution.
    static NtpTime Now();

    friend constexpr bool operator==(NtpTime a, NtpTime b) { return a.value_ == b.value_; }
    friend constexpr bool operator!=(NtpTime a, NtpTime b) { return a.value_ != b.value_; }
    // Orders the wire values, which is time order only within one era: across the rollover,
    // compare by the sign of Difference.
    friend constexpr bool operator<(NtpTime a, NtpTime b) { return a.value_ < b.value_; }

  private:
    std::uint64_t value_ = 0;
};

// a - b in seconds, signed: the span modulo 2^64 read as a signed quantity, so it holds
// across the rollover while a and b lie within 68 years of each other.
double Difference(NtpTime a, NtpTime b);

// t moved by a signed number of seconds, wrapping across the rollover; a negative amount
// moves it by exactly as much as the positive one.
NtpTime AddSeconds(NtpTime t, double seconds);
