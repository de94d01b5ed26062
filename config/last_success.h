// When the last synchronisation succeeded, and whether that is too long ago: the one rule
// behind the start-up warning, the tray icon's overdue state and its balloon.
#pragma once

#include <cstdint>
#include <optional>

#include "base/system_time.h"
#include "config/date_time.h"
#include "config/sync_record.h"

// Local: the record's date with its time after the step, or the date's midnight when the
// stored time is no time of day. Empty when nothing is recorded: year 0, a date that is no
// calendar date, or the 1899 date older versions stored for "never".
std::optional<DateTime> LastSuccess(const SyncRecord& record);

// More than maxDays whole days from the last success to nowLocal; never when maxDays is 0,
// nothing is recorded, or the success lies ahead (the clock was set back).
bool IsOverdue(const std::optional<DateTime>& lastSuccess, const SYSTEMTIME& nowLocal,
               std::int32_t maxDays);
