#include "ntp/socket_api.h"

#include <gtest/gtest.h>

namespace {

TEST(SocketApiTest, BothFamiliesCarryDatagramsWithTheirArrivalTime) {
    for (const net::Endpoint& at :
         {net::Endpoint(net::kLoopbackAddress, 0), net::Endpoint::Ipv6Loopback(0)}) {
        SCOPED_TRACE(net::AddressText(at));
        const net::SocketHandle receiver = net::OpenUdp(at.family);
        const net::SocketHandle sender = net::OpenUdp(at.family);
        net::Endpoint bound;
        ASSERT_TRUE(net::Bind(receiver, at));
        ASSERT_TRUE(net::LocalEndpoint(receiver, &bound));
        EXPECT_EQ(at.WithPort(bound.port), bound);
        ASSERT_EQ(4, net::SendTo(sender, "ping", 4, bound));
        ASSERT_EQ(net::WaitResult::kReadable, net::WaitReadable(receiver, 2000));
        char buffer[8];
        net::Arrival arrival;
        EXPECT_EQ(4, net::Receive(receiver, buffer, sizeof buffer, &arrival));
#ifndef _WIN32
        // The kernel's stamp, which the client takes as the reply's arrival.
        ASSERT_TRUE(arrival.known);
        EXPECT_NEAR(0.0, Difference(NtpTime::Now(), arrival.utc), 1.0);
#endif
        net::Close(sender);
        net::Close(receiver);
    }
}

}  // namespace
