#include "ntp/ntp_time.h"

#include <cmath>

namespace {

// Floating-point conversions count 4294967295 fraction units to the second, not 2^32.
constexpr double kFractionUnitsPerSecond = 4294967295.0;
constexpr double kSecondsPerFractionUnit = 1.0 / 4294967295.0;
constexpr double kMillisecondsPerFractionUnit = 1000.0 / 4294967295.0;

constexpr std::int32_t kDayNumberOffset = 1721119;
constexpr std::int64_t kInverseOffset = 4 * 1721119 + 1;  // 6884477
constexpr std::int64_t kDaysPer400Years = 146097;
constexpr std::int64_t kDaysPer4Years = 1461;
constexpr std::int64_t kDaysPer5Months = 153;

constexpr std::uint64_t kFileTimeTicksPerSecond = 10000000;
// Seconds from 1601-01-01 (the FILETIME epoch) to 1900-01-01.
constexpr std::uint64_t kFileTimeToNtpSeconds = 9435484800ULL;

double SpanSeconds(std::uint64_t span) {
    return static_cast<double>(static_cast<std::uint32_t>(span >> 32)) +
           static_cast<double>(static_cast<std::uint32_t>(span)) * kSecondsPerFractionUnit;
}

// Seconds since 1900-01-01 of the era the high bit names.
std::uint64_t SecondsSince1900(std::uint32_t wrapped) {
    return (wrapped & 0x80000000u) != 0 ? wrapped : wrapped + NtpTime::kEraSeconds;
}

std::uint64_t SecondsToSpan(double seconds) {
    const double whole = std::trunc(seconds);
    const double wrapped = std::fmod(whole, 4294967296.0);
    const auto fraction = static_cast<std::uint64_t>((seconds - whole) * kFractionUnitsPerSecond);
    return (static_cast<std::uint64_t>(wrapped) << 32) + fraction;
}

}  // namespace

std::int32_t DayNumber(std::uint16_t year, std::uint16_t month, std::uint16_t day) {
    std::int32_t y = year;
    std::int32_t m = month;
    if (m > 2) {
        m -= 3;
    } else {
        m += 9;
        y -= 1;
    }
    const std::int32_t century = y / 100;
    const std::int32_t yearOfCentury = y - 100 * century;
    return (146097 * century) / 4 + (1461 * yearOfCentury) / 4 + (153 * m + 2) / 5 + day +
           kDayNumberOffset;
}

CivilDate CivilFromDayNumber(std::int32_t dayNumber) {
    // 64-bit intermediates keep every input free of overflow; within the calendar's range
    // the results are those of the 32-bit formula.
    const std::int64_t j4 = 4 * static_cast<std::int64_t>(dayNumber) - kInverseOffset;
    const std::int64_t b = j4 / kDaysPer400Years;
    const std::int64_t q = (j4 - kDaysPer400Years * b) / 4;
    const std::int64_t u = 4 * q;
    const std::int64_t k = (u + 3) / kDaysPer4Years;
    const std::int64_t v = 5 * ((u - kDaysPer4Years * k + 7) / 4);
    const std::int64_t mm = (v - 3) / kDaysPer5Months;
    const std::int64_t day = (v - kDaysPer5Months * mm + 2) / 5;
    std::int64_t year = 100 * b + k;
    std::int64_t month;
    if (mm >= 10) {
        month = mm - 9;
        ++year;
    } else {
        month = mm + 3;
    }
    return {static_cast<std::uint16_t>(year), static_cast<std::uint16_t>(month),
            static_cast<std::uint16_t>(day)};
}

NtpTime NtpTime::FromWire(const std::uint8_t* bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < kWireSize; ++i) {
        value = (value << 8) | bytes[i];
    }
    return NtpTime(value);
}

void NtpTime::ToWire(std::uint8_t* bytes) const {
    for (int i = kWireSize - 1, shift = 0; i >= 0; --i, shift += 8) {
        bytes[i] = static_cast<std::uint8_t>(value_ >> shift);
    }
}

NtpTime NtpTime::FromSystemTime(const SYSTEMTIME& utc) {
    const std::int64_t days =
        static_cast<std::int64_t>(DayNumber(utc.wYear, utc.wMonth, utc.wDay)) - kNtpEpochDayNumber;
    // A millisecond count of 1000 or more is not a valid clock reading; carry it rather
    // than read past the table.
    const std::int64_t seconds =
        ((days * 24 + utc.wHour) * 60 + utc.wMinute) * 60 + utc.wSecond + utc.wMilliseconds / 1000;
    // The shift drops all but the low 32 bits of the seconds: from 2036 on, the era-1 value.
    return NtpTime((static_cast<std::uint64_t>(seconds) << 32) +
                   MsToFraction[utc.wMilliseconds % 1000]);
}

SYSTEMTIME NtpTime::ToSystemTime() const {
    // The era is settled before the carry, so the last millisecond of era 0 carries into 2036.
    std::uint64_t s = SecondsSince1900(seconds());
    auto ms = static_cast<std::uint32_t>(fraction() * kMillisecondsPerFractionUnit + 0.5);
    if (ms == 1000) {
        ms = 0;
        ++s;
    }
    SYSTEMTIME st{};
    st.wSecond = static_cast<std::uint16_t>(s % 60);
    st.wMinute = static_cast<std::uint16_t>((s / 60) % 60);
    st.wHour = static_cast<std::uint16_t>((s / 3600) % 24);
    const auto j = static_cast<std::int32_t>(s / 86400 + kNtpEpochDayNumber);
    st.wDayOfWeek = static_cast<std::uint16_t>((j + 1) % 7);
    const CivilDate date = CivilFromDayNumber(j);
    st.wYear = date.year;
    st.wMonth = date.month;
    st.wDay = date.day;
    st.wMilliseconds = static_cast<std::uint16_t>(ms);
    return st;
}

NtpTime NtpTime::FromUnixTime(std::int64_t seconds, std::uint32_t nanoseconds) {
    const std::uint64_t fraction = ((std::uint64_t{nanoseconds} << 32) + 500000000) / 1000000000;
    // Unsigned, so the sum wraps; the shift keeps the seconds modulo 2^32.
    const std::uint64_t ntpSeconds = static_cast<std::uint64_t>(seconds) + kUnixEpochSeconds;
    return NtpTime((ntpSeconds << 32) + fraction);
}

NtpTime NtpTime::FromFileTime(std::uint64_t hundredNanoseconds) {
    const std::uint64_t ticks = hundredNanoseconds % kFileTimeTicksPerSecond;
    const std::uint64_t fraction =
        ((ticks << 32) + kFileTimeTicksPerSecond / 2) / kFileTimeTicksPerSecond;
    const std::uint64_t ntpSeconds =
        hundredNanoseconds / kFileTimeTicksPerSecond - kFileTimeToNtpSeconds;
    return NtpTime((ntpSeconds << 32) + fraction);
}

double Difference(NtpTime a, NtpTime b) {
    const std::uint64_t forward = a.value() - b.value();
    if ((forward >> 63) == 0) {
        return SpanSeconds(forward);
    }
    return -SpanSeconds(b.value() - a.value());
}

NtpTime AddSeconds(NtpTime t, double seconds) {
    if (!std::isfinite(seconds)) {
        return t;
    }
    if (seconds >= 0) {
        return NtpTime(t.value() + SecondsToSpan(seconds));
    }
    return NtpTime(t.value() - SecondsToSpan(-seconds));
}
