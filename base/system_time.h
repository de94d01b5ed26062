// The platform's broken-down calendar time. On Windows it is the real SYSTEMTIME; elsewhere
// a plain struct with the same eight fields in the same order, so the core reads the same.
#pragma once

#ifdef _WIN32
#include <windef.h>
#include <minwinbase.h>
#else
#include <cstdint>

struct SYSTEMTIME {
    std::uint16_t wYear;
    std::uint16_t wMonth;      // 1-12
    std::uint16_t wDayOfWeek;  // 0 = Sunday
    std::uint16_t wDay;
    std::uint16_t wHour;
    std::uint16_t wMinute;
    std::uint16_t wSecond;
    std::uint16_t wMilliseconds;
};
#endif

// The same calendar day, whatever the time of day.
inline bool SameDay(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay;
}
