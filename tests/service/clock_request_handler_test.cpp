#include "service/clock_request_handler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/support/fake_clock.h"
#include "tests/support/fault_sntp_server.h"
#include "tests/support/platform_fakes.h"

namespace {

// Counts the most corrections that held the network at once.
class OverlapCountingNetwork : public FakeNetworkStack {
  public:
    NetworkStartResult Start() override {
        const int now = ++active_;
        for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        return FakeNetworkStack::Start();
    }
    void Stop() override {
        --active_;
        FakeNetworkStack::Stop();
    }

    std::atomic<int> most{0};

  private:
    std::atomic<int> active_{0};
};

class ClockRequestHandlerTest : public testing::Test {
  protected:
    ClockServiceReply Handle(const std::vector<std::uint8_t>& request) {
        ClockRequestHandler handler(clock, network, [this] { return policy; },
                                    {server.port(), 600});
        return handler.Handle(request);
    }

    FakeClock clock{-30.0};  // the server keeps the real time: this clock is 30 s slow
    OverlapCountingNetwork network;
    FaultSntpServer server;
    ClockPolicy policy{{server.address()}, 60, {}};
};

TEST_F(ClockRequestHandlerTest, AnApprovedServersTimeIsSetWithTheUsersOffset) {
    const ClockServiceReply reply = Handle(EncodeClockServiceRequest({server.address(), 45}));
    EXPECT_EQ(ClockServiceStatus::kSynchronised, reply.status) << reply.reason;
    EXPECT_FALSE(reply.failure.failed());
    EXPECT_NEAR(30.0, reply.offset, 0.05);
    EXPECT_GE(reply.delay, 0.0);
    EXPECT_EQ(2, reply.stratum);
    EXPECT_NEAR(45.0, clock.offset(), 0.05);
    EXPECT_EQ(2u, clock.sets().size());  // the server's time, then the offset
    EXPECT_EQ(1, server.requests());
}

TEST_F(ClockRequestHandlerTest, RequestsNotServedSayWhyAndOnlyTheApprovedServerIsAsked) {
    std::vector<std::uint8_t> truncated = EncodeClockServiceRequest({server.address(), 0});
    truncated.pop_back();
    const std::vector<std::uint8_t> good = EncodeClockServiceRequest({server.address(), 0});
    const std::string noAnswer = "no answer from " + server.address() + ": ";
    struct Case {
        std::vector<std::uint8_t> request;
        const char* approved;
        Fault fault;
        ClockServiceStatus status;
        FailureKind kind;
        std::string reason;  // the reply's sentence starts with it
        int packets;         // also the network sessions started
    };
    // The fault server's address itself, unapproved: any packet at all would reach it.
    for (const Case& c : {
             Case{good, "time.example", Fault::kNone, ClockServiceStatus::kRefused,
                  FailureKind::kServerNotApproved, "server not approved by the administrator", 0},
             Case{EncodeClockServiceRequest({server.address(), -61}), nullptr, Fault::kNone,
                  ClockServiceStatus::kRefused, FailureKind::kOffsetAboveLimit,
                  "offset above the administrator's limit", 0},
             Case{truncated, nullptr, Fault::kNone, ClockServiceStatus::kMalformed,
                  FailureKind::kMalformedRequest, "host cut short", 0},
             Case{good, nullptr, Fault::kSilent, ClockServiceStatus::kFailed,
                  FailureKind::kNoAnswer, noAnswer, 1},
             Case{good, nullptr, Fault::kKissOfDeath, ClockServiceStatus::kFailed,
                  FailureKind::kKissOfDeath, "the server sent the kiss code RATE", 1},
         }) {
        policy.approvedServers = {c.approved ? c.approved : server.address()};
        server.Reconfigure({.fault = c.fault});
        const int before = server.requests();
        const int sessions = network.starts;
        const ClockServiceReply reply = Handle(c.request);
        EXPECT_EQ(c.status, reply.status) << c.reason;
        EXPECT_EQ(c.kind, reply.failure.kind) << c.reason;
        EXPECT_EQ(0u, reply.reason.find(c.reason)) << reply.reason;
        EXPECT_NE(' ', reply.reason.back()) << reply.reason;  // the SNTP reason follows
        EXPECT_EQ(c.packets, server.requests() - before) << c.reason;
        EXPECT_EQ(c.packets, network.starts - sessions) << c.reason;
    }
    EXPECT_TRUE(clock.sets().empty());

    clock.FailSets(true, 1314);
    server.Reconfigure({});
    EXPECT_EQ("Windows refused to set the clock (error 1314)", Handle(good).reason);
}

TEST_F(ClockRequestHandlerTest, ConcurrentRequestsAreCorrectedOneAfterTheOther) {
    server.Reconfigure({.holdMs = 200});  // long enough for the requests to meet
    ClockRequestHandler handler(clock, network, [this] { return policy; }, {server.port(), 2000});
    const std::vector<std::uint8_t> request = EncodeClockServiceRequest({server.address(), 0});
    std::atomic<int> synchronised{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 3; ++i) {
        clients.emplace_back([&] {
            synchronised += handler.Handle(request).status == ClockServiceStatus::kSynchronised;
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_EQ(3, synchronised);
    EXPECT_EQ(1, network.most);
}

// Requests the service will not serve are answered at once, even while a correction runs:
// before that correction's server has answered and its clock set has happened.
TEST_F(ClockRequestHandlerTest, ARefusalWaitsForNoCorrection) {
    server.Reconfigure({.holdMs = 1500});
    ClockRequestHandler handler(clock, network, [this] { return policy; }, {server.port(), 5000});
    std::thread correcting([&] {
        handler.Handle(EncodeClockServiceRequest({server.address(), 0}));
    });
    while (server.requests() == 0) {
        std::this_thread::yield();
    }
    EXPECT_EQ(ClockServiceStatus::kRefused,
              handler.Handle(EncodeClockServiceRequest({"time.example", 0})).status);
    EXPECT_EQ(ClockServiceStatus::kMalformed, handler.Handle({}).status);
    EXPECT_TRUE(clock.sets().empty());
    correcting.join();
    EXPECT_EQ(1u, clock.sets().size());
}

// Before a large step the other approved servers give their opinion, as in the program's run.
TEST(ClockRequestSecondOpinionTest, AnotherApprovedServerMustNotDisagree) {
    struct Case {
        const char* name;
        double firstAhead;
        double
            secondAhead;  // the other server, on ::1 (Wine refuses another IPv4 loopback address)
        bool secondSilent;
        bool secondApproved;
        ClockServiceStatus status;
        const char* reason;  // a failure's, or for a success whether it went unconfirmed
        int secondRequests;
    };
    const char* const unconfirmed = "unconfirmed";
    const Case cases[] = {
        {"three hours ahead", 10800, 0, false, true, ClockServiceStatus::kFailed,
         "second server ::1 (::1) disagrees by 10800 s", 1},
        {"both ahead", 120, 120, false, true, ClockServiceStatus::kSynchronised, "", 1},
        {"the other silent", 120, 0, true, true, ClockServiceStatus::kSynchronised, unconfirmed, 1},
        {"the other not approved", 120, 0, false, false, ClockServiceStatus::kSynchronised,
         unconfirmed, 0},
    };
    for (const Case& c : cases) {
        FakeClock clock;
        clock.Freeze();
        FakeNetworkStack network;
        FaultSntpServer first({.clockOffsetSeconds = c.firstAhead, .clock = &clock});
        FaultSntpServer second({.fault = c.secondSilent ? Fault::kSilent : Fault::kNone,
                                .clockOffsetSeconds = c.secondAhead,
                                .clock = &clock},
                               net::Endpoint::Ipv6Loopback(first.port()));
        ClockPolicy policy{{first.address()}, 0, {}};
        if (c.secondApproved) {
            policy.approvedServers.push_back(second.address());
        }
        ClockRequestHandler handler(clock, network, [&] { return policy; }, {first.port(), 600});
        const ClockServiceReply reply =
            handler.Handle(EncodeClockServiceRequest({first.address(), 0}));
        EXPECT_EQ(c.status, reply.status) << c.name;
        EXPECT_EQ(c.reason, reply.unconfirmed ? unconfirmed : reply.reason) << c.name;
        EXPECT_EQ(c.secondRequests, second.requests()) << c.name;
        EXPECT_EQ(c.status == ClockServiceStatus::kSynchronised, !clock.sets().empty()) << c.name;
    }
}

}  // namespace
