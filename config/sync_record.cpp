#include "config/sync_record.h"

#include <cstdio>

#include "config/date_time.h"

namespace {

std::string ClockText(const SYSTEMTIME& t) {
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d   %03dms", t.wHour, t.wMinute, t.wSecond,
                  t.wMilliseconds);
    return text;
}

}  // namespace

std::string TimeBeforeText(const SyncRecord& record) {
    return ClockText(record.timeBefore);
}

std::string TimeAfterText(const SyncRecord& record) {
    return ClockText(record.timeAfter);
}

std::string SyncDateText(const SyncRecord& record, const MonthNames& months) {
    // A stored date that is no calendar date counts as nothing recorded, here as everywhere.
    if (record.syncDate.wYear == 0 || !DateTime::FromSystemTime(record.syncDate)) {
        return "00/00/0000";
    }
    return DateStamp(record.syncDate, months);
}

std::string ErrorStamp(const SYSTEMTIME& local, const MonthNames& months) {
    char text[96];
    std::snprintf(text, sizeof text, "%02d:%02d; %02d-%s-%04d", local.wHour, local.wMinute,
                  local.wDay, months[local.wMonth], local.wYear);
    return text;
}

std::string DateStamp(const SYSTEMTIME& local, const MonthNames& months) {
    char text[96];
    std::snprintf(text, sizeof text, "%s. %02d, %04d", months[local.wMonth], local.wDay,
                  local.wYear);
    return text;
}
