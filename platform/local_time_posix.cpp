#include "platform/local_time.h"

#include <ctime>

std::optional<SYSTEMTIME> LocalTimeOf(const SYSTEMTIME& utc) {
    std::tm broken{};
    broken.tm_year = utc.wYear - 1900;
    broken.tm_mon = utc.wMonth - 1;
    broken.tm_mday = utc.wDay;
    broken.tm_hour = utc.wHour;
    broken.tm_min = utc.wMinute;
    broken.tm_sec = utc.wSecond;
    const std::time_t moment = ::timegm(&broken);
    std::tm local{};
    if (moment == static_cast<std::time_t>(-1) || ::localtime_r(&moment, &local) == nullptr) {
        return std::nullopt;
    }
    SYSTEMTIME shown{};
    shown.wYear = static_cast<std::uint16_t>(local.tm_year + 1900);
    shown.wMonth = static_cast<std::uint16_t>(local.tm_mon + 1);
    shown.wDayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
    shown.wDay = static_cast<std::uint16_t>(local.tm_mday);
    shown.wHour = static_cast<std::uint16_t>(local.tm_hour);
    shown.wMinute = static_cast<std::uint16_t>(local.tm_min);
    shown.wSecond = static_cast<std::uint16_t>(local.tm_sec);
    shown.wMilliseconds = utc.wMilliseconds;
    return shown;
}
