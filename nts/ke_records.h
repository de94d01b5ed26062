// The records of NTS Key Establishment (RFC 8915, section 4): the client's request, and the
// server's answer read as it arrives over TLS, record by record, until its End of Message.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nts/aes_siv.h"
#include "ntp/failure.h"

namespace nts {

// NTP's port, where the key exchange names no other.
inline constexpr std::uint16_t kNtpPort = 123;

// What a successful key exchange leaves for the NTP exchange, besides the exported keys.
struct KeAnswer {
    std::vector<Bytes> cookies;
    std::string server;  // the NTP server to ask; empty: the key exchange's own host
    std::uint16_t port = kNtpPort;
};

// Next Protocol NTPv4, AEAD_AES_SIV_CMAC_256, End of Message.
Bytes EncodeKeRequest();

class KeAnswerReader {
  public:
    // A server gives eight cookies; an answer this long is no key exchange's.
    static constexpr std::size_t kMaxAnswerLength = 65536;
    static constexpr std::size_t kMaxCookies = 8;

    enum class State { kIncomplete, kComplete, kFailed };

    // Reads the bytes that arrived; once complete or failed, nothing more is read.
    State Add(ByteView received);
    // The connection closed: an answer without its End of Message fails.
    State Closed();

    State state() const { return state_; }
    const KeAnswer& answer() const { return answer_; }
    const Failure& failure() const { return failure_; }

  private:
    bool ReadRecord(std::uint16_t type, bool critical, ByteView body);
    bool Complete();
    bool Fail(FailureKind kind, std::string account);

    State state_ = State::kIncomplete;
    Bytes pending_;
    std::size_t received_ = 0;
    bool nextProtocolSeen_ = false;
    bool aeadSeen_ = false;
    bool serverSeen_ = false;
    bool portSeen_ = false;
    KeAnswer answer_;
    Failure failure_;
};

}  // namespace nts
