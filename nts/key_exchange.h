// One NTS key exchange (RFC 8915, section 4): a TLS 1.3 connection to the server's key
// exchange port with ALPN "ntske/1", its certificate judged for the server's name, the
// request, the answer, and the two keys exported from the TLS session. Nothing of it is
// stored: every run makes its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/query_interrupter.h"
#include "nts/certificate_check.h"
#include "nts/ke_records.h"
#include "nts/nts_packet.h"
#include "ntp/failure.h"
#include "ntp/key_exchanger.h"

namespace nts {

inline constexpr std::uint16_t kKeyExchangePort = 4460;

struct KeyExchangeResult {
    Failure failure;      // kNone: the answer and the keys hold
    std::string address;  // the address the connection reached, or tried last
    KeAnswer answer;
    SessionKeys keys;
    // Set when the chain failed only on its dates and the caller let the exchange go on.
    std::optional<CertificateDates> datesUnproven;
};

// Within timeoutMs in all, from resolving the name to the answer's end; an interrupted one
// fails as abandoned. With mayLeaveDatesUnproven a chain that fails only on its dates does
// not end the exchange: the result says so, with the dates.
KeyExchangeResult ExchangeKeys(const std::string& host, std::uint16_t port, std::uint32_t timeoutMs,
                               CertificateCheck& certificates,
                               QueryInterrupter* interrupter = nullptr,
                               bool mayLeaveDatesUnproven = false);

}  // namespace nts
