#include <cerrno>
#include <time.h>

#include "platform/clock.h"

namespace {

SYSTEMTIME FromTm(const tm& t, long nanoseconds) {
    SYSTEMTIME st{};
    st.wYear = static_cast<std::uint16_t>(t.tm_year + 1900);
    st.wMonth = static_cast<std::uint16_t>(t.tm_mon + 1);
    st.wDayOfWeek = static_cast<std::uint16_t>(t.tm_wday);
    st.wDay = static_cast<std::uint16_t>(t.tm_mday);
    st.wHour = static_cast<std::uint16_t>(t.tm_hour);
    st.wMinute = static_cast<std::uint16_t>(t.tm_min);
    st.wSecond = static_cast<std::uint16_t>(t.tm_sec > 59 ? 59 : t.tm_sec);
    st.wMilliseconds = static_cast<std::uint16_t>(nanoseconds / 1000000);
    return st;
}

timespec ReadRealtime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

}  // namespace

SYSTEMTIME PlatformClock::UtcTime() {
    const timespec now = ReadRealtime();
    tm broken{};
    gmtime_r(&now.tv_sec, &broken);
    return FromTm(broken, now.tv_nsec);
}

SYSTEMTIME PlatformClock::LocalTime() {
    const timespec now = ReadRealtime();
    tm broken{};
    localtime_r(&now.tv_sec, &broken);
    return FromTm(broken, now.tv_nsec);
}

bool PlatformClock::SetUtcTime(const SYSTEMTIME&) {
    errno = ENOSYS;
    return false;
}

bool PlatformClock::SetLocalTime(const SYSTEMTIME&) {
    errno = ENOSYS;
    return false;
}

bool PlatformClock::SetClockUtc(const NtpTime&) {
    errno = ENOSYS;
    return false;
}

std::uint32_t PlatformClock::LastSetError() {
    return static_cast<std::uint32_t>(errno);
}

bool PlatformClock::MaySetClock() {
    return false;
}
