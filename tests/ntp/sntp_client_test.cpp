#include "ntp/sntp_client.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/clock.h"
#include "ntp/socket_api.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fault_sntp_server.h"

namespace {

constexpr std::uint32_t kShortTimeoutMs = 400;

class SntpClientTest : public testing::Test {
  protected:
    bool Query(FaultSntpServer& server, std::uint32_t timeoutMs = kShortTimeoutMs) {
        SntpClient client(clock_, timeoutMs);
        const bool ok = client.Query(server.address().c_str(), &result_, server.port());
        failure_ = client.failure();
        lastError_ = net::LastError();
        return ok;
    }

    PlatformClock clock_;
    SntpResult result_;
    SntpFailure failure_;
    int lastError_ = 0;
};

TEST_F(SntpClientTest, MeasuresTheServersOffset) {
    FaultSntpServer server({.clockOffsetSeconds = 2.5});
    ASSERT_TRUE(Query(server)) << failure_.reason;
    EXPECT_NEAR(2.5, result_.offset, 0.05);
    EXPECT_GE(result_.delay, 0.0);
    EXPECT_LT(result_.delay, 0.05);
    EXPECT_EQ(2, result_.stratum);
    EXPECT_EQ(0, result_.leap);
    EXPECT_EQ(0, failure_.code);
    EXPECT_LT(result_.originate, result_.destination);
}

TEST_F(SntpClientTest, UsesTheInjectedClockForBothLocalStamps) {
    FaultSntpServer server;
    FakeClock twoHoursFast(7200.0);
    SntpClient client(twoHoursFast, kShortTimeoutMs);
    ASSERT_TRUE(client.Query(server.address().c_str(), &result_, server.port()));
    EXPECT_NEAR(-7200.0, result_.offset, 0.05);
    EXPECT_LT(result_.delay, 0.05);
}

TEST_F(SntpClientTest, DelayIsThePathNotTheServersHoldTime) {
    FaultSntpServer holding({.holdMs = 200});
    ASSERT_TRUE(Query(holding, 2000)) << failure_.reason;
    EXPECT_LT(result_.delay, 0.05);
    EXPECT_NEAR(0.0, result_.offset, 0.05);

    FaultSntpServer farAway({.pathDelayMs = 200});
    ASSERT_TRUE(Query(farAway, 2000)) << failure_.reason;
    EXPECT_NEAR(0.2, result_.delay, 0.1);
}

TEST_F(SntpClientTest, ResolvesHostNames) {
    FaultSntpServer server;
    SntpClient client(clock_, kShortTimeoutMs);
    EXPECT_TRUE(client.Query("localhost", &result_, server.port())) << client.failure().reason;
    EXPECT_FALSE(client.Query("no-such-host.invalid", &result_, server.port()));
    EXPECT_NE(net::kErrorTimedOut, client.failure().code);
    EXPECT_EQ(0u, client.failure().reason.find("connect: ")) << client.failure().reason;
}

TEST_F(SntpClientTest, TransmitTimestampsCarryRandomLowBits) {
    FaultSntpServer server;
    std::set<std::uint32_t> lowBits;
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(Query(server));
        lowBits.insert(result_.originate.fraction() & 0xFF);
    }
    EXPECT_GT(lowBits.size(), 1u);
}

TEST_F(SntpClientTest, SilentServerTimesOutWith10060) {
    FaultSntpServer server({.fault = Fault::kSilent});
    result_.offset = 42.0;
    EXPECT_FALSE(Query(server));
    EXPECT_EQ(10060, failure_.code);
    EXPECT_EQ(10060, lastError_);
    EXPECT_EQ("no reply within 400 ms", failure_.reason);
    EXPECT_EQ(42.0, result_.offset);  // a failed query leaves the result alone
    EXPECT_EQ(1, server.requests());
}

TEST_F(SntpClientTest, ClosedPortFails) {
    const net::SocketHandle probe = net::OpenUdp();
    ASSERT_TRUE(net::Bind(probe, {net::kLoopbackAddress, 0}));
    net::Endpoint unused;
    ASSERT_TRUE(net::LocalEndpoint(probe, &unused));
    net::Close(probe);

    SntpClient client(clock_, kShortTimeoutMs);
    EXPECT_FALSE(client.Query("127.0.0.1", &result_, unused.port));
#ifndef _WIN32
    // Linux hands the ICMP port-unreachable to the connected socket: no need to wait.
    // (Wine does not, and the query times out there.)
    EXPECT_EQ(0u, client.failure().reason.find("recv: ")) << client.failure().reason;
#endif
}

TEST_F(SntpClientTest, RejectsUnsafeRepliesNamingTheCheck) {
    struct Case {
        Fault fault;
        const char* reasonPart;
    };
    const Case cases[] = {
        {Fault::kShort, "reply too short: 20 bytes"},
        {Fault::kWrongMode, "reply mode 3"},
        {Fault::kBadVersion, "reply version 0"},
        {Fault::kKissOfDeath, "kiss-o'-death from server: RATE"},
        {Fault::kStratumTooHigh, "stratum 16"},
        {Fault::kUnsynchronised, "leap indicator 3"},
        {Fault::kZeroTransmit, "transmit timestamp is zero"},
        {Fault::kRootDistance, "root distance"},
    };
    for (const Case& c : cases) {
        FaultSntpServer server({.fault = c.fault});
        EXPECT_FALSE(Query(server)) << c.reasonPart;
        EXPECT_EQ(SntpClient::kErrorRejectedReply, failure_.code) << c.reasonPart;
        EXPECT_EQ(SntpClient::kErrorRejectedReply, lastError_) << c.reasonPart;
        EXPECT_NE(std::string::npos, failure_.reason.find(c.reasonPart)) << failure_.reason;
    }
}

TEST_F(SntpClientTest, IgnoresForgedRepliesAndWaitsForTheGenuineOne) {
    FaultSntpServer forgedThenGenuine({.fault = Fault::kForgedThenGenuine});
    ASSERT_TRUE(Query(forgedThenGenuine, 2000)) << failure_.reason;
    EXPECT_NEAR(0.0, result_.offset, 0.05);  // not the forger's decades

    FaultSntpServer forgedOnly({.fault = Fault::kForgedOriginate});
    EXPECT_FALSE(Query(forgedOnly));
    EXPECT_EQ(10060, failure_.code);
}

TEST_F(SntpClientTest, IgnoresRepliesFromAnotherPort) {
    FaultSntpServer server({.fault = Fault::kOtherPort});
    EXPECT_FALSE(Query(server));
    EXPECT_EQ(10060, failure_.code);
}

}  // namespace
