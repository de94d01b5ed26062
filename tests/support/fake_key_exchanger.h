// A key exchange without TLS: each host's answer is set beforehand, either a session whose
// seal sends the plain datagram and takes every reply as authenticated, naming the NTP server
// to ask, or a failure. It keeps the hosts it was asked for, in order.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ntp/key_exchanger.h"

class FakeKeyExchanger : public KeyExchanger {
  public:
    // host's key exchange names the NTP server at ntpHost, ntpPort.
    void Answer(const std::string& host, const std::string& ntpHost, int ntpPort);
    // host's key exchange fails so; a host not set fails as refused by TLS.
    void Fail(const std::string& host, Failure failure);

    SecureSession Exchange(const std::string& host, std::uint32_t timeoutMs,
                           QueryInterrupter* interrupter) override;

    std::vector<std::string> asked() const;

  private:
    struct Answered {
        Failure failure;
        std::string ntpHost;
        int ntpPort = 0;
    };

    mutable std::mutex mutex_;
    std::map<std::string, Answered> answers_;
    std::vector<std::string> asked_;
};
