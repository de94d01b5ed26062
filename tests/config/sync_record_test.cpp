#include "config/sync_record.h"

#include <gtest/gtest.h>

#include "platform/month_names.h"

namespace {

TEST(SyncRecordTest, StartsWithTheInitialStatus) {
    EXPECT_EQ("Initial. There was not synchronization yet.", SyncRecord().connectStatus);
}

TEST(MonthNamesTest, EnglishUntilLoadedThenTheLocalesAbbreviations) {
    MonthNames months;
    EXPECT_STREQ("January", months[1]);
    EXPECT_STREQ("September", months[9]);
    EXPECT_STREQ("", months[0]);
    EXPECT_STREQ("", months[13]);
    months.Set(5, std::string(40, 'x'));
    EXPECT_EQ(31u, std::string(months[5]).size());

    // The tests run with an English user locale: "C" on Linux, English (United States)
    // under Wine.
    LoadMonthNames(months);
    EXPECT_STREQ("Jan", months[1]);
    EXPECT_STREQ("Mar", months[3]);
    EXPECT_STREQ("Dec", months[12]);
}

}  // namespace
