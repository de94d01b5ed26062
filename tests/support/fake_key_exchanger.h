// A key exchange without TLS: each exchange gives a session whose seal sends the plain
// datagram and judges every reply the same way, with so many cookies, naming the NTP server
// to ask; or a failure. One answer serves every host, or each host has its own (a host not
// set then fails as refused by TLS). It keeps the hosts it was asked for, in order.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ntp/key_exchanger.h"

class FakeKeyExchanger : public KeyExchanger {
  public:
    struct Config {
        std::string ntpHost = "127.0.0.1";
        int ntpPort = 123;
        int cookies = 8;
        RequestSeal::Verdict verdict = RequestSeal::Verdict::kAuthenticated;
        Failure failure;  // of the exchange, when it fails
        std::optional<CertificateDates> datesUnproven;
    };

    FakeKeyExchanger() = default;
    explicit FakeKeyExchanger(Config everyHost) : everyHost_(std::move(everyHost)) {}

    // host's key exchange names the NTP server at ntpHost, ntpPort.
    void Answer(const std::string& host, const std::string& ntpHost, int ntpPort);
    // host's key exchange fails so.
    void Fail(const std::string& host, Failure failure);

    SecureSession Exchange(const std::string& host, std::uint32_t timeoutMs,
                           QueryInterrupter* interrupter) override;

    std::vector<std::string> asked() const;

  private:
    std::optional<Config> everyHost_;
    mutable std::mutex mutex_;
    std::map<std::string, Config> answers_;
    std::vector<std::string> asked_;
};
