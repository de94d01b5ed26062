#include "config/last_success.h"

namespace {

// Older versions stored the date-time value 0 (1899-12-30) when nothing was recorded.
constexpr std::uint16_t kNeverYear = 1899;

}  // namespace

std::optional<DateTime> LastSuccess(const SyncRecord& record) {
    if (record.syncDate.wYear == 0 || record.syncDate.wYear == kNeverYear) {
        return std::nullopt;
    }
    SYSTEMTIME at = record.syncDate;
    at.wHour = record.timeAfter.wHour;
    at.wMinute = record.timeAfter.wMinute;
    at.wSecond = record.timeAfter.wSecond;
    if (const std::optional<DateTime> exact = DateTime::FromSystemTime(at)) {
        return exact;
    }
    SYSTEMTIME day{};
    day.wYear = record.syncDate.wYear;
    day.wMonth = record.syncDate.wMonth;
    day.wDay = record.syncDate.wDay;
    return DateTime::FromSystemTime(day);
}

// Counted from the moment of the success, not from its day's midnight: the record keeps the
// time after the step, and a success late in the day would otherwise count as almost a day
// older than it is.
bool IsOverdue(const std::optional<DateTime>& lastSuccess, const SYSTEMTIME& nowLocal,
               std::int32_t maxDays) {
    const std::optional<DateTime> now = DateTime::FromSystemTime(nowLocal);
    if (maxDays == 0 || !lastSuccess || !now) {
        return false;
    }
    const double span = *now - *lastSuccess;
    return span >= 0 && WholeDays(span) > maxDays;
}
