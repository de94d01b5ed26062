#include "config/sync_record.h"

#include <gtest/gtest.h>

#include "platform/month_names.h"

namespace {

TEST(SyncRecordTest, StartsWithTheInitialStatus) {
    EXPECT_EQ("Initial. There was not synchronization yet.", SyncRecord().connectStatus);
}

}  // namespace
