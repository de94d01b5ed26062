#include "platform/local_time.h"

#include <windows.h>

std::optional<SYSTEMTIME> LocalTimeOf(const SYSTEMTIME& utc) {
    SYSTEMTIME local{};
    // Null: the current zone, with the daylight-saving rule of the date converted.
    if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return std::nullopt;
    }
    return local;
}
