// Key exchanges with the tests' chronyd, whose certificate for nts.test comes from a CA the
// fixture made.
#include "nts/key_exchange.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>

#include "ntp/socket_api.h"
#include "tests/support/chronyd_fixture.h"

namespace nts {
namespace {

TEST(KeyExchangeTest, AgreesWithChronydOnKeysAndCookies) {
    CertificateCheck trusted(ChronydFixtureFile("ca.pem"));
    ASSERT_TRUE(trusted.usable());
    const KeyExchangeResult result = ExchangeKeys("nts.test", kKeyExchangePort, 5000, trusted);
    ASSERT_FALSE(result.failure.failed()) << result.failure.account;
    EXPECT_EQ("127.0.0.1", result.address);
    EXPECT_EQ(8u, result.answer.cookies.size());
    EXPECT_NE(result.keys.clientToServer, result.keys.serverToClient);
    EXPECT_NE(AesSiv::Key{}, result.keys.clientToServer);
}

TEST(KeyExchangeTest, RefusesAServerItsCertificateDoesNotProve) {
    CertificateCheck trusted(ChronydFixtureFile("ca.pem"));
    CertificateCheck otherRoot(ChronydFixtureFile("other-ca.pem"));
    struct Row {
        const char* name;
        const char* host;
        CertificateCheck* check;
        FailureKind kind;
    };
    const Row rows[] = {
        {"a CA that signed nothing of it", "nts.test", &otherRoot,
         FailureKind::kNtsCertificateUntrusted},
        {"another name", "other-name.test", &trusted, FailureKind::kNtsNameMismatch},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const KeyExchangeResult result = ExchangeKeys(row.host, kKeyExchangePort, 5000, *row.check);
        EXPECT_EQ(row.kind, result.failure.kind) << result.failure.account;
        EXPECT_EQ("nts.test", result.failure.certificateName);
        EXPECT_EQ("Tickwell Test CA", result.failure.certificateIssuer);
        EXPECT_TRUE(result.answer.cookies.empty());
    }
}

// Broken off while the server says nothing, the exchange ends as abandoned rather than
// running to its time-out.
TEST(KeyExchangeTest, AnInterruptedExchangeIsAbandoned) {
    // Connections complete in the backlog of a socket that never accepts them.
    const net::SocketHandle silent = net::OpenTcp();
    ASSERT_TRUE(net::Bind(silent, {net::kLoopbackAddress, 4469}) && net::Listen(silent));
    struct After : QueryInterrupter {
        std::chrono::steady_clock::time_point at =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        bool Interrupted() const override { return std::chrono::steady_clock::now() >= at; }
    } interrupter;
    CertificateCheck trusted(ChronydFixtureFile("ca.pem"));
    const KeyExchangeResult result = ExchangeKeys("127.0.0.1", 4469, 60000, trusted, &interrupter);
    net::Close(silent);
    EXPECT_EQ(FailureKind::kAbandoned, result.failure.kind) << result.failure.account;
}

}  // namespace
}  // namespace nts
