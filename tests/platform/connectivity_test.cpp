// Inside the tests' private namespace, where only loopback exists.
#include "platform/connectivity.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(PlatformConnectivityTest, CountsOnlyInterfacesOtherThanLoopback) {
    PlatformConnectivity connectivity;
    EXPECT_FALSE(connectivity.IsConnected());
#ifndef _WIN32
    ASSERT_EQ(
        0, std::system(
               "ip link add tickwell0 type veth peer name tickwell1 && ip link set tickwell0 up"));
    EXPECT_TRUE(connectivity.IsConnected());
    EXPECT_EQ(0, std::system("ip link del tickwell0"));
#endif
}

}  // namespace
