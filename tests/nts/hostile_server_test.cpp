// Secure time against the tests' chronyd with someone in the way: a relay that changes its
// replies or answers for it, and key exchange servers that are not what they should be.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "nts/key_exchange.h"
#include "nts/nts_key_exchanger.h"
#include "sync/clock_correction.h"
#include "tests/support/fake_clock.h"
#include "tests/support/udp_relay.h"
#include "tests/support/chronyd_fixture.h"

namespace nts {
namespace {

using Datagram = UdpRelay::Datagram;

// The real key exchange with chronyd, whose NTP requests then go through the relay instead.
class KeysThroughRelay : public KeyExchanger {
  public:
    KeysThroughRelay(CertificateCheck& trusted, std::uint16_t relayPort)
        : keys_(trusted), relayPort_(relayPort) {}

    SecureSession Exchange(const std::string& host, std::uint32_t timeoutMs,
                           QueryInterrupter* interrupter) override {
        SecureSession session = keys_.Exchange(host, timeoutMs, interrupter);
        session.ntpPort = relayPort_;
        return session;
    }

  private:
    NtsKeyExchanger keys_;
    std::uint16_t relayPort_;
};

const net::Endpoint kChronyd(0x7f000001, 123);

constexpr std::uint32_t kQueryTimeoutMs = 2000;

// Both server stamps later by this much: a plain client takes it as the clock being behind.
Datagram Shifted(Datagram reply, double seconds) {
    for (const std::size_t at : {sntp::kReceiveOffset, sntp::kTransmitOffset}) {
        AddSeconds(NtpTime::FromWire(&reply[at]), seconds).ToWire(&reply[at]);
    }
    return reply;
}

Datagram ByteChanged(Datagram reply, std::size_t at) {
    reply[at] ^= 0x10;
    return reply;
}

struct Corrected {
    ClockCorrection::Outcome outcome;
    std::size_t keyExchanges = 0;
    std::size_t sets = 0;
    double clockOffset = 0.0;
};

Corrected CorrectThrough(UdpRelay::Tamper tamper, bool secure) {
    CertificateCheck trusted(ChronydFixtureFile("ca.pem"));
    EXPECT_TRUE(trusted.usable());
    UdpRelay relay(kChronyd, std::move(tamper));
    KeysThroughRelay keys(trusted, relay.port());
    FakeClock clock;
    SntpClient client(clock, kQueryTimeoutMs);
    ClockCorrection correction(
        clock, client, relay.port(),
        [](const std::function<void()>& set) {
            set();
            return true;
        },
        &keys);
    Corrected corrected;
    corrected.outcome =
        correction.Correct(TimeServer(secure ? "nts.test" : "127.0.0.1", secure), 0);
    corrected.keyExchanges = correction.keyExchanges();
    corrected.sets = clock.sets().size();
    corrected.clockOffset = clock.offset();
    return corrected;
}

TEST(HostileServerTest, AChangedReplyFoolsOnlyThePlainClient) {
    struct Row {
        const char* name;
        bool secure;
        std::function<Datagram(Datagram)> change;
        FailureKind kind;
    };
    const Row rows[] = {
        {"plain, both stamps 30 s later", false, [](Datagram r) { return Shifted(r, 30); },
         FailureKind::kNone},
        {"secure, both stamps 30 s later", true, [](Datagram r) { return Shifted(r, 30); },
         FailureKind::kNtsNotAuthenticated},
        {"secure, one byte of the transmit stamp", true,
         [](Datagram r) { return ByteChanged(r, sntp::kTransmitOffset + 3); },
         FailureKind::kNtsNotAuthenticated},
        {"secure, one byte of the sealed cookies", true,
         [](Datagram r) { return ByteChanged(r, r.size() - 20); },
         FailureKind::kNtsNotAuthenticated},
        // Another request's identifier: no answer to this one, so none came.
        {"secure, one byte of the identifier", true,
         [](Datagram r) { return ByteChanged(r, sntp::kHeaderSize + 4); }, FailureKind::kNoAnswer},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Corrected corrected = CorrectThrough(
            [&row](const Datagram&, Datagram reply) {
                return std::vector<Datagram>{row.change(std::move(reply))};
            },
            row.secure);
        EXPECT_EQ(row.kind, corrected.outcome.failure.kind) << corrected.outcome.failure.account;
        EXPECT_FALSE(corrected.outcome.secure);
        if (row.kind == FailureKind::kNone) {
            EXPECT_EQ(1u, corrected.sets);
            EXPECT_NEAR(30.0, corrected.clockOffset, 0.5);
        } else {
            EXPECT_EQ(0u, corrected.sets);
            EXPECT_EQ(0.0, corrected.clockOffset);
            EXPECT_EQ(1u, corrected.keyExchanges);
        }
    }
}

// An NTSN kiss made from chronyd's reply header, carrying the request's identifier or not.
Datagram NewKeysKiss(const Datagram& request, const Datagram& reply, bool withIdentifier) {
    Datagram kiss(reply.begin(), reply.begin() + sntp::kHeaderSize);
    kiss[1] = 0;
    std::memcpy(&kiss[sntp::kReferenceIdOffset], "NTSN", 4);
    if (withIdentifier) {
        // The identifier is the request's first field: a 4-byte header and 32 bytes.
        kiss.insert(kiss.end(), request.begin() + sntp::kHeaderSize,
                    request.begin() + sntp::kHeaderSize + 4 + kUniqueIdLength);
    }
    return kiss;
}

TEST(HostileServerTest, OnlyAnNtsnKissForTheRequestAsksForNewKeys) {
    struct Row {
        const char* name;
        bool withIdentifier;
        std::size_t keyExchanges;
    };
    const Row rows[] = {
        {"the request's identifier: new keys, and the request once more", true, 2},
        {"no identifier: passed over for the genuine reply", false, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool kissed = false;
        const Corrected corrected = CorrectThrough(
            [&](const Datagram& request, Datagram reply) {
                std::vector<Datagram> sent;
                if (!kissed) {
                    kissed = true;
                    sent.push_back(NewKeysKiss(request, reply, row.withIdentifier));
                }
                sent.push_back(std::move(reply));
                return sent;
            },
            true);
        EXPECT_TRUE(corrected.outcome.ok()) << corrected.outcome.failure.account;
        EXPECT_TRUE(corrected.outcome.secure);
        EXPECT_EQ(row.keyExchanges, corrected.keyExchanges);
        EXPECT_EQ(1u, corrected.sets);
        EXPECT_LT(std::fabs(corrected.clockOffset), 0.05);
    }
}

TEST(HostileServerTest, RefusesKeyExchangeServersThatAreNotWhatTheyShouldBe) {
    CertificateCheck trusted(ChronydFixtureFile("ca.pem"));
    ASSERT_TRUE(trusted.usable());
    struct Row {
        const char* name;
        std::uint16_t port;
        FailureKind kind;
    };
    const Row rows[] = {
        {"TLS 1.2 only", TICKWELL_TLS12_KE_PORT, FailureKind::kNtsTlsFailed},
        {"a certificate that expired, the clock right", TICKWELL_EXPIRED_KE_PORT,
         FailureKind::kNtsCertificateExpired},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const KeyExchangeResult result = ExchangeKeys("nts.test", row.port, 5000, trusted);
        EXPECT_EQ(row.kind, result.failure.kind) << result.failure.account;
        EXPECT_TRUE(result.answer.cookies.empty());
    }
}

}  // namespace
}  // namespace nts
