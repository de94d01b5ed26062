// The SNTP wire format and the checks every reply passes before any field of it is used.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "ntp/failure.h"
#include "ntp/ntp_time.h"

namespace sntp {

inline constexpr std::size_t kHeaderSize = 48;
// Header, key identifier and digest.
inline constexpr std::size_t kMaxReplySize = 68;

inline constexpr std::uint8_t kClientRequestFirstByte = 0x1B;  // LI 0, version 3, mode 3
inline constexpr int kModeServer = 4;
inline constexpr int kLeapUnsynchronised = 3;
inline constexpr int kHighestVersion = 4;
inline constexpr int kHighestStratum = 15;
inline constexpr double kMaxRootDistanceSeconds = 16.0;

inline constexpr std::size_t kRootDelayOffset = 4;
inline constexpr std::size_t kRootDispersionOffset = 8;
inline constexpr std::size_t kReferenceIdOffset = 12;
inline constexpr std::size_t kOriginateOffset = 24;
inline constexpr std::size_t kReceiveOffset = 32;
inline constexpr std::size_t kTransmitOffset = 40;

// Bits of the request's transmit timestamp below the platform clocks' resolution (2^-24 s,
// about 60 ns): filled at random so an off-path sender cannot guess the stamp to echo.
inline constexpr std::uint32_t kRandomLowBitsMask = 0xFF;

using Packet = std::array<std::uint8_t, kHeaderSize>;

NtpTime WithRandomLowBits(NtpTime t, std::uint32_t random);
Packet BuildRequest(NtpTime transmit);

struct ReplyFields {
    int leap = 0;
    int version = 0;
    int mode = 0;
    int stratum = 0;
    double rootDelay = 0;       // seconds
    double rootDispersion = 0;  // seconds
    std::uint8_t referenceId[4] = {};
    NtpTime originate;
    NtpTime receive;
    NtpTime transmit;
};

struct ReplyVerdict {
    // False when the originate stamp is not the request's transmit stamp: a stray or forged
    // datagram, no answer to this request at all.
    bool answersRequest = true;
    // The check that failed (its kind, the kiss code, the check's account); none when the
    // reply is accepted.
    Failure failure;
    ReplyFields fields;
};

// Decodes a received datagram and checks it against the request's transmit timestamp.
ReplyVerdict CheckReply(const std::uint8_t* data, std::size_t length, NtpTime sentTransmit);

struct OffsetAndDelay {
    double offset;
    double delay;
};

// From the four timestamps: T1 originate, T2 receive, T3 transmit, T4 destination. Right
// across the 2036 rollover while the client's clock lies within 68 years of the server's.
OffsetAndDelay ComputeOffsetAndDelay(NtpTime t1, NtpTime t2, NtpTime t3, NtpTime t4);

}  // namespace sntp
