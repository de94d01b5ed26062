#include "nts/nts_seal.h"

#include <psa/crypto.h>

#include <cstdlib>

namespace nts {

namespace {

// The identifier and the nonce must be unguessable: the system's random generator, through
// the crypto library's, or nothing at all.
template <std::size_t N>
std::array<std::uint8_t, N> RandomBytes() {
    std::array<std::uint8_t, N> bytes{};
    if (psa_crypto_init() != PSA_SUCCESS || psa_generate_random(bytes.data(), N) != PSA_SUCCESS) {
        std::abort();
    }
    return bytes;
}

}  // namespace

NtsSeal::NtsSeal(const SessionKeys& keys, std::vector<Bytes> cookies)
    : keys_(keys), cookies_(std::move(cookies)) {}

std::vector<std::uint8_t> NtsSeal::Seal(const sntp::Packet& request) {
    id_ = RandomBytes<kUniqueIdLength>();
    // A cookie is spent once, so that no two requests can be linked by it.
    const Bytes cookie = HasCookie() ? cookies_.back() : Bytes{};
    if (HasCookie()) {
        cookies_.pop_back();
    }
    const std::size_t placeholders =
        cookies_.size() + 1 < kCookiesWanted ? kCookiesWanted - 1 - cookies_.size() : 0;
    return SealRequest(request, id_, cookie, placeholders, keys_.clientToServer,
                       RandomBytes<kNonceLength>());
}

RequestSeal::Verdict NtsSeal::Open(const std::uint8_t* data, std::size_t length) {
    ReplyCheck check = OpenReply(ByteView(data, length), id_, keys_.serverToClient);
    switch (check.verdict) {
        case ReplyCheck::Verdict::kAuthenticated:
            for (Bytes& cookie : check.newCookies) {
                if (cookies_.size() < kCookiesWanted) {
                    cookies_.push_back(std::move(cookie));
                }
            }
            // The identifier answered once: a replay of the same reply finds none.
            id_ = RandomBytes<kUniqueIdLength>();
            return Verdict::kAuthenticated;
        case ReplyCheck::Verdict::kOtherRequest:
            return Verdict::kOtherRequest;
        case ReplyCheck::Verdict::kNotAuthenticated:
            break;
    }
    return Verdict::kNotAuthenticated;
}

}  // namespace nts
