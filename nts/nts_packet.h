// NTS's extension fields of an NTP packet (RFC 8915, section 5): the request carries a
// unique identifier, one cookie, placeholders asking for more and an authenticator over all
// of it; the reply must echo the identifier and authenticate under the server-to-client key,
// and brings new cookies inside its encrypted part.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "nts/aes_siv.h"
#include "ntp/sntp_packet.h"

namespace nts {

inline constexpr std::size_t kUniqueIdLength = 32;
inline constexpr std::size_t kNonceLength = 16;
using UniqueId = std::array<std::uint8_t, kUniqueIdLength>;
using Nonce = std::array<std::uint8_t, kNonceLength>;

// NTS asks in NTP version 4; the reply checks are the plain client's.
inline constexpr std::uint8_t kRequestFirstByte = 0x23;  // LI 0, version 4, mode 3

// The keys the key exchange exported: the client's to seal requests, the server's to open
// replies.
struct SessionKeys {
    AesSiv::Key clientToServer{};
    AesSiv::Key serverToClient{};
};

// The NTP header (its first byte set to version 4) and the fields after it. Each
// placeholder asks for one more cookie in the reply than the one spent.
Bytes SealRequest(sntp::Packet header, const UniqueId& id, const Bytes& cookie,
                  std::size_t placeholders, const AesSiv::Key& clientToServer, const Nonce& nonce);

struct ReplyCheck {
    enum class Verdict {
        kAuthenticated,     // the time may be used; newCookies were sent with it
        kOtherRequest,      // no identifier or another one: not an answer to this request
        kNotAuthenticated,  // the identifier is ours but the reply is forged or damaged
    };
    Verdict verdict = Verdict::kNotAuthenticated;
    std::vector<Bytes> newCookies;
};

ReplyCheck OpenReply(ByteView datagram, const UniqueId& id, const AesSiv::Key& serverToClient);

}  // namespace nts
