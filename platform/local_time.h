// A moment given in UTC as the user's wall clock shows it, under the time zone and the
// daylight-saving rule in force on that date.
#pragma once

#include <optional>

#include "base/system_time.h"

// Empty when the platform cannot convert it (a date outside its range).
std::optional<SYSTEMTIME> LocalTimeOf(const SYSTEMTIME& utc);
