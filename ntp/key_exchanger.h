// The way to a server's secure time: a key exchange that gives the seal for its NTP requests
// and names the NTP server to ask. Secure time (NTS, in the layer above) provides it; the
// run and the clock service are handed one.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/query_interrupter.h"
#include "base/system_time.h"
#include "ntp/failure.h"
#include "ntp/request_seal.h"

// When every certificate of the server's chain is valid, UTC: the latest start and the earliest
// end of their dates.
struct CertificateDates {
    SYSTEMTIME notBefore{};
    SYSTEMTIME notAfter{};
};

struct SecureSession {
    Failure failure;  // kNone: seal, ntpHost and ntpPort hold
    std::unique_ptr<RequestSeal> seal;
    std::string ntpHost;  // the server the key exchange named, or the address it reached
    int ntpPort = 123;
    // A chain that failed only on its dates, as every chain does for a PC whose clock is years
    // off: the time may be taken only when it lies within them and a second server agrees.
    std::optional<CertificateDates> datesUnproven;

    bool ok() const { return !failure.failed() && seal != nullptr; }
};

class KeyExchanger {
  public:
    virtual ~KeyExchanger() = default;
    // One key exchange with host, within timeoutMs. An interrupted one fails as abandoned.
    virtual SecureSession Exchange(const std::string& host, std::uint32_t timeoutMs,
                                   QueryInterrupter* interrupter) = 0;
};
