// The platform's web probe and connection check, inside the tests' private namespace: the
// probe page's host resolves to 127.0.0.1 there, and only loopback exists.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/connectivity.h"
#include "platform/web_probe.h"
#include "tests/support/http_server.h"

namespace {

TEST(PlatformWebProbeTest, OpensThePageWhenAWebServerAnswersAndFailsWhenNoneDoes) {
    PlatformWebProbe probe;
    {
        HttpServer server;
        EXPECT_EQ(ProbeResult::kOpened, probe.Probe(nullptr));
        EXPECT_EQ(1, server.requests());
    }
    EXPECT_EQ(ProbeResult::kUrlFailed, probe.Probe(nullptr));
}

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
