// A key exchanger without TLS: each exchange gives a seal that sends the request as it is and
// judges every reply the same way, with so many cookies, for the NTP server named.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ntp/key_exchanger.h"

class PassingSeal : public RequestSeal {
  public:
    PassingSeal(int cookies, Verdict verdict) : cookies_(cookies), verdict_(verdict) {}
    bool CanSeal() const override { return cookies_ > 0; }
    std::vector<std::uint8_t> Seal(const sntp::Packet& request) override {
        --cookies_;
        return {request.begin(), request.end()};
    }
    Verdict Open(const std::uint8_t*, std::size_t) override { return verdict_; }

  private:
    int cookies_;
    Verdict verdict_;
};

class FakeKeyExchanger : public KeyExchanger {
  public:
    struct Config {
        std::string ntpHost = "127.0.0.1";
        int ntpPort = 123;
        int cookies = 8;
        RequestSeal::Verdict verdict = RequestSeal::Verdict::kAuthenticated;
        Failure failure;  // of every exchange, when it fails
        std::optional<CertificateDates> datesUnproven;
    };

    explicit FakeKeyExchanger(Config config) : config_(std::move(config)) {}

    SecureSession Exchange(const std::string& host, std::uint32_t, QueryInterrupter*) override {
        hosts_.push_back(host);
        SecureSession session;
        session.failure = config_.failure;
        if (!session.failure.failed()) {
            session.seal = std::make_unique<PassingSeal>(config_.cookies, config_.verdict);
            session.ntpHost = config_.ntpHost;
            session.ntpPort = config_.ntpPort;
            session.datesUnproven = config_.datesUnproven;
        }
        return session;
    }

    // The hosts exchanged with, in order.
    const std::vector<std::string>& hosts() const { return hosts_; }

  private:
    Config config_;
    std::vector<std::string> hosts_;
};
