// Whether the key exchange's certificate chain proves the server's name. On Windows, Windows
// judges the chain, so the user's and the organisation's trusted roots count; elsewhere Mbed
// TLS checks it against a CA bundle, the system's or the one given.
#pragma once

#include <mbedtls/x509_crt.h>

#include <cstdint>
#include <string>

#include "ntp/failure.h"
#include "ntp/key_exchanger.h"

namespace nts {

class CertificateCheck {
  public:
    // The system's CA bundle where caFile is empty; Windows ignores it.
    explicit CertificateCheck(const std::string& caFile = {});
    ~CertificateCheck();
    CertificateCheck(const CertificateCheck&) = delete;
    CertificateCheck& operator=(const CertificateCheck&) = delete;

    // The roots Mbed TLS checks the chain against during the handshake; none on Windows,
    // which judges the chain afterwards.
    mbedtls_x509_crt* Anchors() { return loaded_ ? &anchors_ : nullptr; }
    // A missing or unreadable CA bundle: no chain can be trusted.
    bool usable() const { return usable_; }

    // After the handshake: kNone, or why the chain does not prove host. verifyFlags are
    // Mbed TLS's findings against Anchors().
    Failure Judge(const mbedtls_x509_crt& chain, std::uint32_t verifyFlags,
                  const std::string& host) const;

  private:
    mbedtls_x509_crt anchors_;
    bool loaded_ = false;
    bool usable_ = true;
};

// A certificate's subject or issuer as a reader knows it: its common name, or the whole
// distinguished name when it has none.
std::string NameOf(const mbedtls_x509_name& name);

// Mbed TLS's findings on a chain as one failure: the chain untrusted (or no usable roots),
// then another name, then its dates.
Failure JudgeByFlags(const mbedtls_x509_crt& chain, std::uint32_t verifyFlags, bool usable);

// When every certificate of the chain is valid.
CertificateDates DatesOf(const mbedtls_x509_crt& chain);

// The failure of a certificate's kind, naming the server's certificate and its issuer.
Failure CertificateFailure(FailureKind kind, const mbedtls_x509_crt& chain);

}  // namespace nts
