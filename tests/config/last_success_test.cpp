// The one overdue rule, at its boundaries: the start-up warning, the tray icon and its
// balloon all ask it.
#include "config/last_success.h"

#include <gtest/gtest.h>

#include "tests/support/calendar.h"

namespace {

SYSTEMTIME TimeOfDay(int hour, int minute = 0, int second = 0) {
    return Calendar(0, 0, 0, hour, minute, second);
}

TEST(LastSuccessTest, OverdueAfterMoreWholeDaysThanAllowedFromTheMomentOfTheSuccess) {
    struct Row {
        const char* what;
        SYSTEMTIME syncDate;
        SYSTEMTIME timeAfter;
        SYSTEMTIME now;
        std::int32_t maxDays;
        bool recorded;
        bool overdue;
    };
    const SYSTEMTIME day = Calendar(2026, 11, 24);
    const SYSTEMTIME evening = TimeOfDay(18);
    const Row rows[] = {
        {"exactly 14 days", day, evening, Calendar(2026, 12, 8, 18), 14, true, false},
        {"14 days and a second", day, evening, Calendar(2026, 12, 8, 18, 0, 1), 14, true, false},
        {"15 days less a second", day, evening, Calendar(2026, 12, 9, 17, 59, 59), 14, true, false},
        {"15 days", day, evening, Calendar(2026, 12, 9, 18), 14, true, true},
        {"midnight of the 15th day counts from the time, not the date", day, evening,
         Calendar(2026, 12, 9), 14, true, false},
        {"a success at midnight", day, TimeOfDay(0), Calendar(2026, 12, 9), 14, true, true},
        {"across the year's end", Calendar(2026, 12, 20), TimeOfDay(12, 30),
         Calendar(2027, 1, 4, 12, 30), 14, true, true},
        {"the clock set back before the success", day, evening, Calendar(2026, 11, 24, 17), 14,
         true, false},
        {"the clock set back, a limit below zero", day, evening, Calendar(2026, 11, 24, 17), -1,
         true, false},
        {"a limit below zero, from a hand-edited store, counts as it reads", day, evening,
         Calendar(2026, 11, 24, 18), -1, true, true},
        {"no limit", Calendar(2000, 1, 1), evening, Calendar(2026, 12, 9), 0, true, false},
        {"the 1899 date older versions stored for never", Calendar(1899, 12, 30), TimeOfDay(0),
         Calendar(2026, 12, 9), 14, false, false},
        {"year 0", Calendar(0, 0, 0), TimeOfDay(0), Calendar(2026, 12, 9), 14, false, false},
        {"a date that is no calendar date", Calendar(2026, 2, 30), evening, Calendar(2026, 12, 9),
         14, false, false},
        {"a stored time that is no time of day counts from the date's midnight", day, TimeOfDay(24),
         Calendar(2026, 12, 9), 14, true, true},
    };
    for (const Row& row : rows) {
        SyncRecord record;
        record.syncDate = row.syncDate;
        record.timeAfter = row.timeAfter;
        const std::optional<DateTime> success = LastSuccess(record);
        EXPECT_EQ(row.recorded, success.has_value()) << row.what;
        EXPECT_EQ(row.overdue, IsOverdue(success, row.now, row.maxDays)) << row.what;
    }
}

}  // namespace
