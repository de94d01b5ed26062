// The seal of one server's NTP exchanges after its key exchange: a fresh identifier and
// nonce for every request, one cookie spent each time, and the cookies the authenticated
// replies bring kept for the next request of the same run.
#pragma once

#include <vector>

#include "nts/nts_packet.h"
#include "ntp/request_seal.h"

namespace nts {

class NtsSeal : public RequestSeal {
  public:
    // A server gives eight at a time; asking for more than it gives back wastes its work.
    static constexpr std::size_t kCookiesWanted = 8;

    NtsSeal(const SessionKeys& keys, std::vector<Bytes> cookies);

    // Without a cookie there is nothing to seal with: a new key exchange is needed first.
    bool HasCookie() const { return !cookies_.empty(); }
    std::size_t cookies() const { return cookies_.size(); }

    bool CanSeal() const override { return HasCookie(); }
    std::vector<std::uint8_t> Seal(const sntp::Packet& request) override;
    Verdict Open(const std::uint8_t* data, std::size_t length) override;

  private:
    SessionKeys keys_;
    std::vector<Bytes> cookies_;
    UniqueId id_{};
};

}  // namespace nts
