// What makes an SNTP request an authenticated one and checks the reply's proof. Secure time
// (NTS, in the layer above) provides it; without one the exchange is the plain one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ntp/sntp_packet.h"

class RequestSeal {
  public:
    enum class Verdict {
        kAuthenticated,     // the reply is the server's answer to this request
        kOtherRequest,      // it answers no request of this seal: passed over
        kNotAuthenticated,  // it claims to answer this request without proof
    };

    // An authenticated reply carries its extension fields.
    static constexpr std::size_t kMaxReplySize = 2048;

    virtual ~RequestSeal() = default;
    // False once nothing is left to seal a request with: a new key exchange is needed.
    virtual bool CanSeal() const = 0;
    // The datagram to send for the request.
    virtual std::vector<std::uint8_t> Seal(const sntp::Packet& request) = 0;
    virtual Verdict Open(const std::uint8_t* data, std::size_t length) = 0;
};
