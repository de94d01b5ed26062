#include "nts/nts_packet.h"

#include <gtest/gtest.h>

namespace nts {
namespace {

AesSiv::Key KeyOf(std::uint8_t fill) {
    AesSiv::Key key;
    key.fill(fill);
    return key;
}

void AppendField(Bytes& out, std::uint16_t type, const Bytes& body) {
    const std::size_t length = 4 + ((body.size() + 3) & ~std::size_t{3});
    out.insert(out.end(),
               {static_cast<std::uint8_t>(type >> 8), static_cast<std::uint8_t>(type),
                static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)});
    out.insert(out.end(), body.begin(), body.end());
    out.resize(out.size() + length - 4 - body.size(), 0);
}

const UniqueId kId = [] {
    UniqueId id;
    for (std::size_t i = 0; i < id.size(); ++i) {
        id[i] = static_cast<std::uint8_t>(i * 7);
    }
    return id;
}();
const AesSiv::Key kServerKey = KeyOf(0x5c);

// A server's reply as RFC 8915 lays it out: the header, the echoed identifier, and the
// authenticator sealing the new cookies under the server-to-client key.
struct ReplyMaker {
    UniqueId id = kId;
    AesSiv::Key key = kServerKey;
    std::vector<Bytes> cookies = {Bytes(96, 0xc1), Bytes(96, 0xc2)};
    Bytes fieldAfterAuthenticator;

    Bytes Make() const {
        Bytes packet(sntp::kHeaderSize, 0);
        packet[0] = 0x24;
        AppendField(packet, 0x0104, Bytes(id.begin(), id.end()));
        Bytes inner;
        for (const Bytes& cookie : cookies) {
            AppendField(inner, 0x0204, cookie);
        }
        const Bytes nonce(16, 0x4e);
        const Bytes sealed = AesSiv(key).Seal({packet, nonce}, inner);
        Bytes authenticator = {0, 16, static_cast<std::uint8_t>(sealed.size() >> 8),
                               static_cast<std::uint8_t>(sealed.size())};
        authenticator.insert(authenticator.end(), nonce.begin(), nonce.end());
        authenticator.insert(authenticator.end(), sealed.begin(), sealed.end());
        AppendField(packet, 0x0404, authenticator);
        packet.insert(packet.end(), fieldAfterAuthenticator.begin(), fieldAfterAuthenticator.end());
        return packet;
    }
};

TEST(NtsPacketTest, TheRequestCarriesItsFieldsAndAuthenticatesUnderTheClientsKey) {
    sntp::Packet header{};
    header[0] = 0x1b;
    const Bytes cookie(100, 0xaa);
    const AesSiv::Key clientKey = KeyOf(0x11);
    Nonce nonce;
    nonce.fill(0x99);
    const Bytes request = SealRequest(header, kId, cookie, 2, clientKey, nonce);

    ASSERT_EQ(48u + 36 + 3 * 104 + 40, request.size());
    EXPECT_EQ(0x23, request[0]);
    const Bytes fieldsStart(request.begin() + 48, request.begin() + 52);
    EXPECT_EQ((Bytes{0x01, 0x04, 0, 36}), fieldsStart);
    EXPECT_TRUE(std::equal(kId.begin(), kId.end(), request.begin() + 52));
    EXPECT_EQ((Bytes{0x02, 0x04, 0, 104}), Bytes(request.begin() + 84, request.begin() + 88));
    EXPECT_EQ(cookie, Bytes(request.begin() + 88, request.begin() + 188));
    EXPECT_EQ((Bytes{0x03, 0x04, 0, 104}), Bytes(request.begin() + 188, request.begin() + 192));
    const std::size_t auth = request.size() - 40;
    EXPECT_EQ((Bytes{0x04, 0x04, 0, 40, 0, 16, 0, 16}),
              Bytes(request.begin() + auth, request.begin() + auth + 8));
    // What the server checks: the tag over everything before the authenticator.
    const ByteView sealed(&request[auth + 24], 16);
    EXPECT_TRUE(AesSiv(clientKey).Open({ByteView(request).first(auth), nonce}, sealed));
    EXPECT_FALSE(AesSiv(kServerKey).Open({ByteView(request).first(auth), nonce}, sealed));
}

TEST(NtsPacketTest, AReplyCountsOnlyWhenItIsOursAndAuthenticates) {
    using V = ReplyCheck::Verdict;
    const Bytes good = ReplyMaker{}.Make();
    const ReplyCheck accepted = OpenReply(good, kId, kServerKey);
    EXPECT_EQ(V::kAuthenticated, accepted.verdict);
    EXPECT_EQ(ReplyMaker{}.cookies, accepted.newCookies);

    struct Row {
        const char* name;
        Bytes datagram;
        V verdict;
    };
    ReplyMaker otherId;
    otherId.id[0] ^= 1;
    ReplyMaker otherKey;
    otherKey.key = KeyOf(0x11);
    ReplyMaker trailing;
    AppendField(trailing.fieldAfterAuthenticator, 0x0204, Bytes(96, 0xee));
    Bytes headerChanged = good;
    headerChanged[40] ^= 0x01;  // the transmit time
    Bytes tagChanged = good;
    tagChanged[good.size() - 20] ^= 0x80;
    Bytes lengthBroken = good;
    lengthBroken[51] = 37;  // the identifier's field no longer a whole number of words
    const Row rows[] = {
        {"the plain header alone", Bytes(good.begin(), good.begin() + 48), V::kOtherRequest},
        {"another request's identifier", otherId.Make(), V::kOtherRequest},
        {"fields that do not fit", lengthBroken, V::kOtherRequest},
        {"the time changed on the way", headerChanged, V::kNotAuthenticated},
        {"the tag changed", tagChanged, V::kNotAuthenticated},
        {"sealed under another key", otherKey.Make(), V::kNotAuthenticated},
        {"a field after the authenticator", trailing.Make(), V::kNotAuthenticated},
        {"no authenticator", Bytes(good.begin(), good.begin() + 48 + 36), V::kNotAuthenticated},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ReplyCheck check = OpenReply(row.datagram, kId, kServerKey);
        EXPECT_EQ(row.verdict, check.verdict);
        EXPECT_TRUE(check.newCookies.empty());
    }
}

}  // namespace
}  // namespace nts
