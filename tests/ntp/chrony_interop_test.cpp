// Against a real chronyd serving 127.0.0.1:123 as a local stratum-8 server.
#include <gtest/gtest.h>

#include <cmath>

#include "ntp/sntp_client.h"
#include "platform/clock.h"

namespace {

TEST(ChronyInteropTest, QueriesChronydOnPort123) {
    PlatformClock clock;
    SntpClient client(clock);
    // As NTP's clock filter does, trust the exchange with the shortest round trip: it has
    // the least room for asymmetric delays, such as Wine starting its socket machinery
    // during the first exchange of a process.
    SntpResult best;
    best.delay = 1e9;
    for (int i = 0; i < 8; ++i) {
        SntpResult result;
        ASSERT_TRUE(client.Query("127.0.0.1", &result, 123)) << client.failure().account;
        EXPECT_EQ(8, result.stratum);
        EXPECT_EQ(0, result.leap);
        EXPECT_GT(result.delay, 0.0);
        EXPECT_EQ("127.0.0.1", result.address);
        if (result.delay < best.delay) {
            best = result;
        }
    }
    EXPECT_LT(std::fabs(best.offset), 0.001);
    EXPECT_LT(best.delay, 0.005);
}

TEST(ChronyInteropTest, ReachesChronydByANameWhoseFirstAddressIsClosed) {
    // localhost is ::1 first, where chronyd does not listen, then 127.0.0.1.
    PlatformClock clock;
    SntpClient client(clock);
    SntpResult result;
    ASSERT_TRUE(client.Query("localhost", &result, 123)) << client.failure().account;
    EXPECT_EQ("127.0.0.1", result.address);
    EXPECT_EQ(8, result.stratum);
}

}  // namespace
