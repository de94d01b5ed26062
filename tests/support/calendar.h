// Calendar times for tests, written the way people write them.
#pragma once

#include <cstdint>

#include "base/system_time.h"

inline SYSTEMTIME Calendar(int year, int month, int day, int hour = 0, int minute = 0,
                           int second = 0, int ms = 0) {
    SYSTEMTIME st{};
    st.wYear = static_cast<std::uint16_t>(year);
    st.wMonth = static_cast<std::uint16_t>(month);
    st.wDay = static_cast<std::uint16_t>(day);
    st.wHour = static_cast<std::uint16_t>(hour);
    st.wMinute = static_cast<std::uint16_t>(minute);
    st.wSecond = static_cast<std::uint16_t>(second);
    st.wMilliseconds = static_cast<std::uint16_t>(ms);
    return st;
}
