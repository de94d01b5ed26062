// Feeds arbitrary NTP replies to the extension-field reader under fixed keys. The first byte
// chooses whether the request's identifier follows the header and whether the input's tail
// is sealed as the encrypted part under the server's key, so the checks behind the
// authenticator are reached too; the second where that tail begins, the third a byte to
// change. An authenticated reply must stop authenticating when any byte its seal covers
// changes, and only an authenticated one may give cookies.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "nts/nts_packet.h"

namespace {

void AppendU16(Bytes& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void AppendField(Bytes& out, std::uint16_t type, ByteView body) {
    const std::size_t length = std::max<std::size_t>(16, 4 + ((body.size() + 3) & ~std::size_t{3}));
    AppendU16(out, type);
    AppendU16(out, length);
    out.insert(out.end(), body.begin(), body.end());
    out.resize(out.size() + length - 4 - body.size(), 0);
}

const nts::UniqueId kId = [] {
    nts::UniqueId id;
    for (std::size_t i = 0; i < id.size(); ++i) {
        id[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    return id;
}();

const AesSiv::Key kServerKey = [] {
    AesSiv::Key key;
    key.fill(0x5c);
    return key;
}();

void CheckCookies(const nts::ReplyCheck& check) {
    const bool authenticated = check.verdict == nts::ReplyCheck::Verdict::kAuthenticated;
    if ((!authenticated && !check.newCookies.empty()) || check.newCookies.size() > 8) {
        std::abort();
    }
    for (const Bytes& cookie : check.newCookies) {
        if (cookie.empty()) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const bool withId = (data[0] & 1) != 0;
    const bool sealed = (data[0] & 2) != 0;
    const ByteView rest(data + 3, size - 3);
    const std::size_t split = sealed ? data[1] % (rest.size() + 1) : rest.size();
    const ByteView plain = rest.first(split);

    Bytes packet(plain.begin(), plain.end());
    if (withId) {
        packet.resize(std::max(packet.size(), sntp::kHeaderSize));
        Bytes field;
        AppendField(field, 0x0104, kId);
        packet.insert(packet.begin() + sntp::kHeaderSize, field.begin(), field.end());
    }
    std::size_t covered = 0;  // the bytes the seal covers, from the packet's start
    if (sealed) {
        packet.resize(std::max(packet.size(), sntp::kHeaderSize));
        const Bytes nonce(nts::kNonceLength, 0x4e);
        const Bytes seal = AesSiv(kServerKey).Seal({packet, nonce}, rest.subspan(split));
        Bytes authenticator;
        AppendU16(authenticator, nonce.size());
        AppendU16(authenticator, seal.size());
        authenticator.insert(authenticator.end(), nonce.begin(), nonce.end());
        authenticator.insert(authenticator.end(), seal.begin(), seal.end());
        covered = packet.size() + 4 + authenticator.size();
        AppendField(packet, 0x0404, authenticator);
    }

    const nts::ReplyCheck check = nts::OpenReply(packet, kId, kServerKey);
    CheckCookies(check);
    if (check.verdict != nts::ReplyCheck::Verdict::kAuthenticated || covered == 0) {
        return 0;
    }
    packet[data[2] % covered] ^= 0x01;
    const nts::ReplyCheck changed = nts::OpenReply(packet, kId, kServerKey);
    CheckCookies(changed);
    if (changed.verdict == nts::ReplyCheck::Verdict::kAuthenticated) {
        std::abort();
    }
    return 0;
}
