#include "nts/nts_packet.h"

#include <algorithm>
#include <optional>

#include "nts/big_endian.h"

namespace nts {

namespace {

enum FieldType : std::uint16_t {
    kUniqueIdentifier = 0x0104,
    kCookie = 0x0204,
    kCookiePlaceholder = 0x0304,
    kAuthenticator = 0x0404,
};

constexpr std::size_t kFieldHeader = 4;
// RFC 7822: no extension field is shorter, and each is a whole number of 32-bit words.
constexpr std::size_t kMinFieldLength = 16;
// More than a server gives in one reply; the rest would be spent before they are used.
constexpr std::size_t kMaxNewCookies = 8;

std::size_t Padded(std::size_t length) {
    return (length + 3) & ~std::size_t{3};
}

void AppendField(Bytes& out, std::uint16_t type, ByteView body) {
    const std::size_t length = std::max(kMinFieldLength, kFieldHeader + Padded(body.size()));
    AppendU16(out, type);
    AppendU16(out, static_cast<std::uint16_t>(length));
    out.insert(out.end(), body.begin(), body.end());
    out.resize(out.size() + length - kFieldHeader - body.size(), 0);
}

struct Field {
    std::uint16_t type;
    std::size_t start;  // of its header, in the packet
    ByteView body;
};

// The fields from offset to the end, or nothing when one does not fit exactly.
std::optional<std::vector<Field>> ReadFields(ByteView packet, std::size_t offset) {
    std::vector<Field> fields;
    while (offset < packet.size()) {
        if (packet.size() - offset < kFieldHeader) {
            return std::nullopt;
        }
        const std::size_t length = U16(&packet[offset + 2]);
        if (length < kFieldHeader || length % 4 != 0 || length > packet.size() - offset) {
            return std::nullopt;
        }
        fields.push_back({U16(&packet[offset]), offset,
                          packet.subspan(offset + kFieldHeader, length - kFieldHeader)});
        offset += length;
    }
    return fields;
}

}  // namespace

Bytes SealRequest(sntp::Packet header, const UniqueId& id, const Bytes& cookie,
                  std::size_t placeholders, const AesSiv::Key& clientToServer, const Nonce& nonce) {
    header[0] = kRequestFirstByte;
    Bytes packet(header.begin(), header.end());
    AppendField(packet, kUniqueIdentifier, id);
    AppendField(packet, kCookie, cookie);
    const Bytes placeholder(cookie.size(), 0);
    for (std::size_t i = 0; i < placeholders; ++i) {
        AppendField(packet, kCookiePlaceholder, placeholder);
    }
    // Nothing to encrypt: the sealed part is the tag alone.
    const Bytes sealed = AesSiv(clientToServer).Seal({packet, nonce}, {});
    Bytes authenticator;
    AppendU16(authenticator, static_cast<std::uint16_t>(nonce.size()));
    AppendU16(authenticator, static_cast<std::uint16_t>(sealed.size()));
    authenticator.insert(authenticator.end(), nonce.begin(), nonce.end());
    authenticator.insert(authenticator.end(), sealed.begin(), sealed.end());
    AppendField(packet, kAuthenticator, authenticator);
    return packet;
}

ReplyCheck OpenReply(ByteView datagram, const UniqueId& id, const AesSiv::Key& serverToClient) {
    ReplyCheck check;
    const auto fields = datagram.size() > sntp::kHeaderSize
                            ? ReadFields(datagram, sntp::kHeaderSize)
                            : std::nullopt;
    const auto ours = [&](const Field& f) {
        return f.type == kUniqueIdentifier && f.body.size() == id.size() &&
               std::equal(id.begin(), id.end(), f.body.begin());
    };
    if (!fields || std::none_of(fields->begin(), fields->end(), ours)) {
        check.verdict = ReplyCheck::Verdict::kOtherRequest;
        return check;
    }
    // The authenticator comes last: a field after it would be unauthenticated.
    const Field& last = fields->back();
    if (last.type != kAuthenticator || last.body.size() < 4) {
        return check;
    }
    const std::size_t nonceLength = U16(&last.body[0]);
    const std::size_t sealedLength = U16(&last.body[2]);
    if (nonceLength == 0 || 4 + Padded(nonceLength) + Padded(sealedLength) > last.body.size()) {
        return check;
    }
    const ByteView nonce = last.body.subspan(4, nonceLength);
    const ByteView sealed = last.body.subspan(4 + Padded(nonceLength), sealedLength);
    const std::optional<Bytes> inner =
        AesSiv(serverToClient).Open({datagram.first(last.start), nonce}, sealed);
    if (!inner) {
        return check;
    }
    const auto innerFields = ReadFields(*inner, 0);
    if (!innerFields) {
        return check;
    }
    for (const Field& field : *innerFields) {
        if (field.type == kCookie && !field.body.empty() &&
            check.newCookies.size() < kMaxNewCookies) {
            check.newCookies.emplace_back(field.body.begin(), field.body.end());
        }
    }
    check.verdict = ReplyCheck::Verdict::kAuthenticated;
    return check;
}

}  // namespace nts
