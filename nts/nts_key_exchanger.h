// The key exchanger the program and the clock service hand their runs: RFC 8915's key
// exchange on its own port, judged by the platform's trust, giving a seal with the answer's
// cookies and the NTP server it names.
#pragma once

#include <cstdint>

#include "nts/certificate_check.h"
#include "nts/key_exchange.h"
#include "ntp/key_exchanger.h"

namespace nts {

class NtsKeyExchanger : public KeyExchanger {
  public:
    explicit NtsKeyExchanger(CertificateCheck& certificates, std::uint16_t port = kKeyExchangePort)
        : certificates_(certificates), port_(port) {}

    SecureSession Exchange(const std::string& host, std::uint32_t timeoutMs,
                           QueryInterrupter* interrupter) override;

  private:
    CertificateCheck& certificates_;
    std::uint16_t port_;
};

}  // namespace nts
