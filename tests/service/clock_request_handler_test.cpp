#include "service/clock_request_handler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/support/fake_clock.h"
#include "tests/support/fake_key_exchanger.h"
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
                                    {server.port(), 600, &keys});
        return handler.Handle(request);
    }

    FakeClock clock{-30.0};  // the server keeps the real time: this clock is 30 s slow
    OverlapCountingNetwork network;
    FaultSntpServer server;
    FakeKeyExchanger keys;
    ClockPolicy policy{{server.address()}, 60, false, {}};
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
    std::vector<std::uint8_t> truncated = EncodeClockServiceRequest({server.address(), 0}, 2);
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

// An NTS request is served with the service's own key exchange; where the policy requires
// NTS a plain request is refused before any server is asked.
TEST_F(ClockRequestHandlerTest, SecureTimeIsAskedWithTheServicesOwnKeys) {
    Failure untrusted = FailureOf(FailureKind::kNtsCertificateUntrusted);
    untrusted.certificateName = "nts.test";
    untrusted.certificateIssuer = "Other CA";
    struct Case {
        const char* name;
        bool requireNts;
        bool nts;
        Failure keyFailure;
        ClockServiceStatus status;
        FailureKind kind;
        const char* reason;
        bool secure;
        std::size_t keyExchanges;
        int packets;
    };
    const Case cases[] = {
        {"an NTS request",
         false,
         true,
         {},
         ClockServiceStatus::kSynchronised,
         FailureKind::kNone,
         "",
         true,
         1,
         1},
        {"an NTS request where it is required",
         true,
         true,
         {},
         ClockServiceStatus::kSynchronised,
         FailureKind::kNone,
         "",
         true,
         1,
         1},
        {"a plain request",
         false,
         false,
         {},
         ClockServiceStatus::kSynchronised,
         FailureKind::kNone,
         "",
         false,
         0,
         1},
        {"a plain request where NTS is required",
         true,
         false,
         {},
         ClockServiceStatus::kRefused,
         FailureKind::kNtsRequired,
         "the administrator allows only secure time (NTS)",
         false,
         0,
         0},
        {"an untrusted certificate", true, true, untrusted, ClockServiceStatus::kFailed,
         FailureKind::kNtsCertificateUntrusted,
         "the certificate of nts.test, issued by Other CA, is not trusted", false, 1, 0},
    };
    for (const Case& c : cases) {
        FakeKeyExchanger exchanger;
        if (c.keyFailure.failed()) {
            exchanger.Fail(server.address(), c.keyFailure);
        } else {
            exchanger.Answer(server.address(), server.address(), server.port());
        }
        policy.requireNts = c.requireNts;
        const int before = server.requests();
        ClockRequestHandler handler(clock, network, [this] { return policy; },
                                    {server.port(), 600, &exchanger});
        const ClockServiceReply reply =
            handler.Handle(EncodeClockServiceRequest({server.address(), 0, c.nts}));
        EXPECT_EQ(c.status, reply.status) << c.name;
        EXPECT_EQ(c.kind, reply.failure.kind) << c.name;
        EXPECT_EQ(c.reason, reply.reason) << c.name;
        EXPECT_EQ(c.secure, reply.secure) << c.name;
        EXPECT_EQ(c.keyFailure.certificateName, reply.failure.certificateName) << c.name;
        EXPECT_EQ(c.keyExchanges, exchanger.asked().size()) << c.name;
        EXPECT_EQ(c.packets, server.requests() - before) << c.name;
    }
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
        ClockPolicy policy{{first.address()}, 0, false, {}};
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

// An NTS request's second opinion is asked by NTS too, with the service's own key exchange
// with that server: a second opinion asked plainly could be forged by whoever forges the first.
TEST(ClockRequestSecondOpinionTest, AnNtsRequestsSecondOpinionIsAskedByNts) {
    struct Case {
        const char* name;
        bool nts;
        bool secondKeysFail;
        ClockServiceStatus status;
        bool unconfirmed;
        int secondRequests;
        std::size_t keyExchanges;
    };
    const Case cases[] = {
        {"plain", false, false, ClockServiceStatus::kSynchronised, false, 1, 0},
        {"both by NTS", true, false, ClockServiceStatus::kSynchronised, false, 1, 2},
        // The other server's key exchange failed: no opinion, never a plain one.
        {"the other's keys refused", true, true, ClockServiceStatus::kSynchronised, true, 0, 2},
    };
    for (const Case& c : cases) {
        FakeClock clock;
        clock.Freeze();
        FakeNetworkStack network;
        FaultSntpServer first({.clockOffsetSeconds = 120, .clock = &clock});
        FaultSntpServer second({.clockOffsetSeconds = 120, .clock = &clock},
                               net::Endpoint::Ipv6Loopback(first.port()));
        FakeKeyExchanger exchanger;
        exchanger.Answer(first.address(), first.address(), first.port());
        if (c.secondKeysFail) {
            exchanger.Fail(second.address(), FailureOf(FailureKind::kNtsNoCookies));
        } else {
            exchanger.Answer(second.address(), second.address(), second.port());
        }
        const ClockPolicy policy{{first.address(), second.address()}, 0, false, {}};
        ClockRequestHandler handler(clock, network, [&] { return policy; },
                                    {first.port(), 600, &exchanger});
        const ClockServiceReply reply =
            handler.Handle(EncodeClockServiceRequest({first.address(), 0, c.nts}));
        EXPECT_EQ(c.status, reply.status) << c.name << ": " << reply.reason;
        EXPECT_EQ(c.unconfirmed, reply.unconfirmed) << c.name;
        EXPECT_EQ(c.nts, reply.secure) << c.name;
        EXPECT_EQ(c.secondRequests, second.requests()) << c.name;
        EXPECT_EQ(c.keyExchanges, exchanger.asked().size()) << c.name;
    }
}

}  // namespace
