#include "config/sync_record.h"

#include <gtest/gtest.h>

#include "tests/support/calendar.h"

namespace {

TEST(SyncRecordTextTest, ShowsTimesWithThreeBlanksBeforeTheMilliseconds) {
    SyncRecord record;
    record.timeBefore = Calendar(0, 0, 0, 9, 5, 3, 7);
    record.timeAfter = Calendar(0, 0, 0, 23, 59, 59, 999);
    EXPECT_EQ("09:05:03   007ms", TimeBeforeText(record));
    EXPECT_EQ("23:59:59   999ms", TimeAfterText(record));
    EXPECT_EQ("Initial. There was not synchronization yet.", record.connectStatus);
}

TEST(SyncRecordTextTest, DateUsesTheMonthTableAndShowsZerosWhenNothingIsRecorded) {
    MonthNames months;
    months.Set(3, "Mar");
    SyncRecord record;
    EXPECT_EQ("00/00/0000", SyncDateText(record, months));
    record.syncDate = Calendar(2003, 3, 7);
    EXPECT_EQ("Mar. 07, 2003", SyncDateText(record, months));
    // Stored garbage counts as nothing recorded.
    for (const SYSTEMTIME& garbage :
         {Calendar(2003, 13, 7), Calendar(2003, 2, 30), Calendar(2003, 3, 0)}) {
        record.syncDate = garbage;
        EXPECT_EQ("00/00/0000", SyncDateText(record, months));
    }
}

TEST(SyncRecordTextTest, StatusStamps) {
    MonthNames months;
    months.Set(3, "Mar");
    const SYSTEMTIME t = Calendar(2003, 3, 7, 14, 5);
    EXPECT_EQ("14:05; 07-Mar-2003", ErrorStamp(t, months));
    EXPECT_EQ("Mar. 07, 2003", DateStamp(t, months));
}

}  // namespace
