#include "ntp/sntp_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "ntp/sntp_exchange.h"
#include "ntp/socket_api.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fault_sntp_server.h"

namespace {

constexpr std::uint32_t kShortTimeoutMs = 400;
// A round trip on loopback. Where the platform gives no kernel stamp (Wine), the reply's
// arrival is when the client read it, which a loaded machine can delay by tens of ms; the
// server's hold of 200 ms below stays well beyond it.
constexpr double kLoopbackDelayLimit = 0.1;
using Steady = std::chrono::steady_clock;

// Client and server read this machine's clock, so a measured offset is off by at most half
// the round trip, whose split between the two ways is unknown: a stall of the machine
// widens that bound as it widens the delay, and fails no test.
testing::AssertionResult OffsetIs(const SntpResult& result, double expected) {
    constexpr double kStampResolution = 0.02;  // Windows' clock may move in 15.6 ms steps
    if (std::fabs(result.offset - expected) <= result.delay / 2 + kStampResolution) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "offset " << result.offset << " s, expected " << expected
                                       << " s within half the delay of " << result.delay << " s";
}

// A UDP port nothing listens on at that address.
std::uint16_t UnusedPort(const net::Endpoint& at) {
    const net::SocketHandle probe = net::OpenUdp(at.family);
    net::Endpoint bound;
    EXPECT_TRUE(net::Bind(probe, at.WithPort(0)));
    EXPECT_TRUE(net::LocalEndpoint(probe, &bound));
    net::Close(probe);
    return bound.port;
}

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
    Failure failure_;
    int lastError_ = 0;
};

TEST_F(SntpClientTest, MeasuresTheServersOffset) {
    FaultSntpServer server({.clockOffsetSeconds = 2.5});
    ASSERT_TRUE(Query(server)) << failure_.account;
    EXPECT_TRUE(OffsetIs(result_, 2.5));
    EXPECT_GE(result_.delay, 0.0);
    EXPECT_LT(result_.delay, kLoopbackDelayLimit);
    EXPECT_EQ(2, result_.stratum);
    EXPECT_EQ(0, result_.leap);
    EXPECT_EQ(0u, failure_.error);
    EXPECT_LT(result_.originate, result_.destination);
    EXPECT_EQ("127.0.0.1", result_.address);
}

TEST_F(SntpClientTest, UsesTheInjectedClockForBothLocalStamps) {
    FaultSntpServer server;
    FakeClock twoHoursFast(7200.0);
    SntpClient client(twoHoursFast, kShortTimeoutMs);
    ASSERT_TRUE(client.Query(server.address().c_str(), &result_, server.port()));
    EXPECT_NEAR(-7200.0, result_.offset, 0.05);
    EXPECT_LT(result_.delay, kLoopbackDelayLimit);
}

TEST_F(SntpClientTest, DelayIsThePathNotTheServersHoldTime) {
    FaultSntpServer holding({.holdMs = 200});
    ASSERT_TRUE(Query(holding, 2000)) << failure_.account;
    EXPECT_LT(result_.delay, kLoopbackDelayLimit);
    EXPECT_TRUE(OffsetIs(result_, 0.0));

    FaultSntpServer farAway({.pathDelayMs = 200});
    ASSERT_TRUE(Query(farAway, 2000)) << failure_.account;
    EXPECT_NEAR(0.2, result_.delay, 0.1);
}

#ifndef _WIN32
// The kernel stamps the reply's arrival: a client that reads it late measures the same.
TEST_F(SntpClientTest, AReplyReadLateCountsFromItsArrival) {
    FaultSntpServer server;
    SntpExchange exchange(net::Endpoint(net::kLoopbackAddress, server.port()));
    ASSERT_EQ(SntpExchange::State::kWaiting, exchange.Start(clock_));
    ASSERT_EQ(net::WaitResult::kReadable, net::WaitReadable(exchange.handle(), 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(SntpExchange::State::kAnswered, exchange.ReadReply(clock_, &result_));
    EXPECT_LT(result_.delay, kLoopbackDelayLimit);
    EXPECT_TRUE(OffsetIs(result_, 0.0));
}
#endif

TEST_F(SntpClientTest, ResolvesHostNames) {
    FaultSntpServer server;
    // localhost is ::1 first, where nothing listens: Linux refuses at once, but Wine passes
    // no ICMP refusal on, so there 127.0.0.1 is asked only a second later.
    SntpClient client(clock_, 2 * SntpClient::kNextAddressAfterMs);
    EXPECT_TRUE(client.Query("localhost", &result_, server.port())) << client.failure().account;
    EXPECT_EQ("127.0.0.1", result_.address);
    EXPECT_FALSE(client.Query("no-such-host.invalid", &result_, server.port()));
    EXPECT_NE(static_cast<std::uint32_t>(net::kErrorTimedOut), client.failure().error);
    EXPECT_EQ(0u, client.failure().account.find("connect: ")) << client.failure().account;
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
    EXPECT_EQ(10060u, failure_.error);
    EXPECT_EQ(10060, lastError_);
    EXPECT_EQ("no reply within 400 ms", failure_.account);
    // What the user is told: no answer from that address within that time.
    EXPECT_EQ(FailureKind::kNoAnswer, failure_.kind);
    EXPECT_EQ("127.0.0.1", failure_.address);
    EXPECT_EQ(400u, failure_.timeoutMs);
    EXPECT_EQ(42.0, result_.offset);  // a failed query leaves the result alone
    EXPECT_EQ(1, server.requests());
}

TEST_F(SntpClientTest, ClosedPortFails) {
    SntpClient client(clock_, kShortTimeoutMs);
    EXPECT_FALSE(client.Query("127.0.0.1", &result_, UnusedPort({net::kLoopbackAddress, 0})));
#ifndef _WIN32
    // Linux hands the ICMP port-unreachable to the connected socket: no need to wait.
    // (Wine does not, and the query times out there.)
    EXPECT_EQ(0u, client.failure().account.find("recv: ")) << client.failure().account;
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
        EXPECT_EQ(static_cast<std::uint32_t>(SntpClient::kErrorRejectedReply), failure_.error)
            << c.reasonPart;
        EXPECT_EQ(SntpClient::kErrorRejectedReply, lastError_) << c.reasonPart;
        EXPECT_NE(std::string::npos, failure_.account.find(c.reasonPart)) << failure_.account;
    }
}

TEST_F(SntpClientTest, IgnoresForgedRepliesAndWaitsForTheGenuineOne) {
    FaultSntpServer forgedThenGenuine({.fault = Fault::kForgedThenGenuine});
    ASSERT_TRUE(Query(forgedThenGenuine, 2000)) << failure_.account;
    EXPECT_TRUE(OffsetIs(result_, 0.0));  // not the forger's decades

    FaultSntpServer forgedOnly({.fault = Fault::kForgedOriginate});
    EXPECT_FALSE(Query(forgedOnly));
    EXPECT_EQ(10060u, failure_.error);
}

// A seal that lets the datagram through as it is and judges every reply the same way.
class JudgingSeal : public RequestSeal {
  public:
    explicit JudgingSeal(Verdict verdict) : verdict_(verdict) {}
    bool CanSeal() const override { return true; }
    std::vector<std::uint8_t> Seal(const sntp::Packet& request) override {
        return {request.begin(), request.end()};
    }
    Verdict Open(const std::uint8_t*, std::size_t) override { return verdict_; }

  private:
    Verdict verdict_;
};

// Under a seal only what it opens counts: a reply without proof is passed over, whatever it
// claims (a kiss code too), except a server's NTSN that names this request.
TEST_F(SntpClientTest, UnderASealOnlyAnOpenedReplyCountsButANewKeysKiss) {
    using V = RequestSeal::Verdict;
    struct Case {
        const char* name;
        FaultConfig server;
        V verdict;
        FailureKind failure;
    };
    const Case cases[] = {
        {"authenticated", {}, V::kAuthenticated, FailureKind::kNone},
        {"another request's", {}, V::kOtherRequest, FailureKind::kNoAnswer},
        {"without proof", {}, V::kNotAuthenticated, FailureKind::kNtsNotAuthenticated},
        {"a kiss without proof",
         {.fault = Fault::kKissOfDeath},
         V::kNotAuthenticated,
         FailureKind::kNtsNotAuthenticated},
        {"new keys asked",
         {.fault = Fault::kKissOfDeath, .kissCode = "NTSN"},
         V::kNotAuthenticated,
         FailureKind::kKissOfDeath},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FaultSntpServer server(c.server);
        JudgingSeal seal(c.verdict);
        SntpClient client(clock_, kShortTimeoutMs);
        client.SealWith(&seal);
        EXPECT_EQ(c.failure == FailureKind::kNone,
                  client.Query(server.address().c_str(), &result_, server.port()));
        EXPECT_EQ(c.failure, client.failure().kind) << client.failure().account;
    }
}

TEST_F(SntpClientTest, IgnoresRepliesFromAnotherPort) {
    FaultSntpServer server({.fault = Fault::kOtherPort});
    EXPECT_FALSE(Query(server));
    EXPECT_EQ(10060u, failure_.error);
}

TEST_F(SntpClientTest, AsksAnIpv6OnlyServer) {
    FaultSntpServer server({}, net::Endpoint::Ipv6Loopback(0));
    ASSERT_EQ("::1", server.address());
    for (const char* host : {"::1", "[::1]", "ipv6-only.sntp.test"}) {
        SntpClient client(clock_, kShortTimeoutMs);
        ASSERT_TRUE(client.Query(host, &result_, server.port()))
            << host << ": " << client.failure().account;
        EXPECT_EQ("::1", result_.address) << host;
        EXPECT_TRUE(OffsetIs(result_, 0.0)) << host;
    }
    EXPECT_EQ(3, server.requests());

    // Brackets hold an address, never a name.
    SntpClient client(clock_, kShortTimeoutMs);
    EXPECT_FALSE(client.Query("[ipv6-only.sntp.test]", &result_, server.port()));
    EXPECT_EQ(0u, client.failure().account.find("connect: ")) << client.failure().account;
    EXPECT_EQ(3, server.requests());
}

// Fault servers on one port at the addresses of two.sntp.test, ::1 and then 127.0.0.1; no
// server where the config is empty. (Under Wine a fault server can bind no other IPv4
// address precisely: Wine 8 binds any but 127.0.0.1 to the wildcard.)
class SntpClientAddressesTest : public SntpClientTest {
  protected:
    void StartServers(const std::optional<FaultConfig>& first,
                      const std::optional<FaultConfig>& second) {
        servers_.clear();
        port_ = UnusedPort({net::kLoopbackAddress, 0});
        const net::Endpoint at[] = {net::Endpoint::Ipv6Loopback(port_),
                                    {net::kLoopbackAddress, port_}};
        servers_.push_back(first ? std::make_unique<FaultSntpServer>(*first, at[0]) : nullptr);
        servers_.push_back(second ? std::make_unique<FaultSntpServer>(*second, at[1]) : nullptr);
    }

    // The query's own time, to tell one time-out from one per address.
    bool TimedQuery(const char* host, std::uint32_t timeoutMs, Steady::duration* took) {
        SntpClient client(clock_, timeoutMs);
        const auto started = Steady::now();
        const bool ok = client.Query(host, &result_, port_);
        *took = Steady::now() - started;
        failure_ = client.failure();
        lastError_ = net::LastError();
        return ok;
    }

    std::uint16_t port_ = 0;
    std::vector<std::unique_ptr<FaultSntpServer>> servers_;
};

TEST_F(SntpClientAddressesTest, AsksTheAddressesInTurnWithinOneTimeOut) {
    const FaultConfig silent{.fault = Fault::kSilent};
    const FaultConfig live{.clockOffsetSeconds = 1.5};
    const FaultConfig kiss{.fault = Fault::kKissOfDeath};
    const FaultConfig stratum16{.fault = Fault::kStratumTooHigh};
    using std::chrono::milliseconds;
    struct Case {
        const char* what;
        std::optional<FaultConfig> first;
        std::optional<FaultConfig> second;
        std::uint32_t timeoutMs;
        std::string reason;  // of the failure; empty when 127.0.0.1 answers
        milliseconds apart;  // at least, between the requests to the two addresses
    };
    const Case cases[] = {
        // The second address is asked once the first has been silent for a second, and
        // answers long before the time-out.
        {"silent, live", silent, live, 30000, "", milliseconds(900)},
        // A failed address hands over at once: the time-out is shorter than that second.
        {"rejecting, live", kiss, live, 800, "", milliseconds(0)},
        {"closed, live", std::nullopt, live, 3000, "", milliseconds(0)},
        {"every one rejects", kiss, stratum16, 3000,
         "server stratum 16 is above 15 (from 127.0.0.1, the last of 2 addresses)",
         milliseconds(0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartServers(c.first, c.second);
        result_ = {};
        Steady::duration took{};
        const bool ok = TimedQuery("two.sntp.test", c.timeoutMs, &took);
        EXPECT_LT(took, std::chrono::seconds(5));
        if (c.reason.empty()) {
            ASSERT_TRUE(ok) << failure_.account;
            EXPECT_EQ("127.0.0.1", result_.address);
            EXPECT_TRUE(OffsetIs(result_, 1.5));
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(c.reason, failure_.account);
            EXPECT_EQ(static_cast<std::uint32_t>(lastError_), failure_.error);
        }
        // Each address asked once, ::1 first.
        ASSERT_EQ(1, servers_[1]->requests());
        if (servers_[0] != nullptr) {
            ASSERT_EQ(1, servers_[0]->requests());
            const auto apart =
                servers_[1]->RequestTimes().front() - servers_[0]->RequestTimes().front();
            EXPECT_GT(apart, Steady::duration::zero());
            EXPECT_GE(apart, c.apart);
        }
    }
}

TEST_F(SntpClientAddressesTest, FiveSilentAddressesCostOneTimeOut) {
    // One server on the wildcard hears the requests to all five addresses.
    FaultSntpServer silent({.fault = Fault::kSilent}, {0, 0});
    port_ = silent.port();
    Steady::duration took{};
    EXPECT_FALSE(TimedQuery("five.sntp.test", 4500, &took));
    EXPECT_LT(took, std::chrono::seconds(9));  // five time-outs would be 22.5 s
    EXPECT_EQ("no reply within 4500 ms (5 of 5 addresses asked)", failure_.account);
    EXPECT_EQ(static_cast<std::uint32_t>(net::kErrorTimedOut), failure_.error);
    const std::vector<Steady::time_point> times = silent.RequestTimes();
    ASSERT_EQ(5u, times.size());
    for (std::size_t i = 1; i < times.size(); ++i) {
        EXPECT_GE(times[i] - times[i - 1], std::chrono::milliseconds(900)) << i;
    }
}

TEST_F(SntpClientAddressesTest, IgnoresAReplyEchoingAnotherSocketsStamp) {
    // 127.0.0.1 first answers with the stamp the client sent to ::1 (and a clock decades
    // off), then genuinely.
    StartServers(FaultConfig{.fault = Fault::kSilent}, std::nullopt);
    servers_[1] = std::make_unique<FaultSntpServer>(
        FaultConfig{.fault = Fault::kForgedThenGenuine, .echoStampOf = servers_[0].get()},
        net::Endpoint(net::kLoopbackAddress, port_));
    Steady::duration took{};
    ASSERT_TRUE(TimedQuery("two.sntp.test", 5000, &took)) << failure_.account;
    EXPECT_EQ("127.0.0.1", result_.address);
    EXPECT_TRUE(OffsetIs(result_, 0.0));
    EXPECT_NE(servers_[0]->LastRequestStamp(), result_.originate);  // a stamp per socket
    EXPECT_EQ(1, servers_[1]->requests());
}

}  // namespace
