#include "ntp/sntp_packet.h"

#include <cstdio>

namespace sntp {
namespace {

std::uint32_t ReadUint32(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | bytes[3];
}

double ShortFormatSeconds(const std::uint8_t* bytes) {
    return ReadUint32(bytes) / 65536.0;
}

ReplyVerdict Reject(FailureKind kind, std::string account, const ReplyFields& fields) {
    ReplyVerdict verdict;
    verdict.failure.kind = kind;
    verdict.failure.account = std::move(account);
    verdict.fields = fields;
    return verdict;
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

NtpTime WithRandomLowBits(NtpTime t, std::uint32_t random) {
    return NtpTime((t.value() & ~std::uint64_t{kRandomLowBitsMask}) |
                   (random & kRandomLowBitsMask));
}

Packet BuildRequest(NtpTime transmit) {
    Packet packet{};
    packet[0] = kClientRequestFirstByte;
    transmit.ToWire(&packet[kTransmitOffset]);
    return packet;
}

ReplyVerdict CheckReply(const std::uint8_t* data, std::size_t length, NtpTime sentTransmit) {
    ReplyFields fields;
    if (length < kHeaderSize) {
        return Reject(FailureKind::kTooShort,
                      "reply too short: " + std::to_string(length) + " bytes, a header has 48",
                      fields);
    }
    fields.leap = data[0] >> 6;
    fields.version = (data[0] >> 3) & 0x07;
    fields.mode = data[0] & 0x07;
    fields.stratum = data[1];
    fields.rootDelay = ShortFormatSeconds(&data[kRootDelayOffset]);
    fields.rootDispersion = ShortFormatSeconds(&data[kRootDispersionOffset]);
    for (int i = 0; i < 4; ++i) {
        fields.referenceId[i] = data[kReferenceIdOffset + i];
    }
    fields.originate = NtpTime::FromWire(&data[kOriginateOffset]);
    fields.receive = NtpTime::FromWire(&data[kReceiveOffset]);
    fields.transmit = NtpTime::FromWire(&data[kTransmitOffset]);

    if (fields.originate != sentTransmit) {
        ReplyVerdict stray;
        stray.answersRequest = false;
        stray.fields = fields;
        return stray;
    }
    if (fields.mode != kModeServer) {
        return Reject(FailureKind::kNotServerMode,
                      "reply mode " + std::to_string(fields.mode) + " is not server mode 4",
                      fields);
    }
    if (fields.version == 0 || fields.version > kHighestVersion) {
        return Reject(FailureKind::kBadVersion,
                      "reply version " + std::to_string(fields.version) + " is not 1 to 4", fields);
    }
    if (fields.stratum == 0) {
        const KissCode kiss = KissCode::FromReferenceId(fields.referenceId);
        ReplyVerdict kissed =
            Reject(FailureKind::kKissOfDeath, "kiss-o'-death from server: " + kiss.text(), fields);
        kissed.failure.kiss = kiss;
        return kissed;
    }
    if (fields.stratum > kHighestStratum) {
        return Reject(FailureKind::kBadStratum,
                      "server stratum " + std::to_string(fields.stratum) + " is above 15", fields);
    }
    if (fields.leap == kLeapUnsynchronised) {
        return Reject(FailureKind::kUnsynchronised, "server not synchronised: leap indicator 3",
                      fields);
    }
    if (fields.transmit.value() == 0) {
        return Reject(FailureKind::kZeroTransmit, "reply transmit timestamp is zero", fields);
    }
    const double rootDistance = fields.rootDelay / 2 + fields.rootDispersion;
    if (rootDistance >= kMaxRootDistanceSeconds) {
        return Reject(FailureKind::kRootDistance,
                      Format("root distance %.3f s is 16 s or more", rootDistance), fields);
    }
    ReplyVerdict accepted;
    accepted.fields = fields;
    return accepted;
}

OffsetAndDelay ComputeOffsetAndDelay(NtpTime t1, NtpTime t2, NtpTime t3, NtpTime t4) {
    // The round trip is the client's elapsed time less the time the server held the request.
    const double delay = Difference(t4, t1) - Difference(t3, t2);
    const double offset = (Difference(t2, t1) + Difference(t3, t4)) * 0.5;
    return {offset, delay};
}

}  // namespace sntp
