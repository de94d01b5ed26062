#include "nts/certificate_check.h"

namespace nts {

namespace {

constexpr const char* kSystemBundle = "/etc/ssl/certs/ca-certificates.crt";

}  // namespace

CertificateCheck::CertificateCheck(const std::string& caFile) {
    mbedtls_x509_crt_init(&anchors_);
    // A bundle with some certificates Mbed TLS cannot read still serves with the others.
    const int rc =
        mbedtls_x509_crt_parse_file(&anchors_, caFile.empty() ? kSystemBundle : caFile.c_str());
    loaded_ = rc >= 0 && anchors_.raw.len > 0;
    usable_ = loaded_;
}

CertificateCheck::~CertificateCheck() {
    mbedtls_x509_crt_free(&anchors_);
}

Failure CertificateCheck::Judge(const mbedtls_x509_crt& chain, std::uint32_t verifyFlags,
                                const std::string&) const {
    if (verifyFlags == 0 && usable_) {
        return {};
    }
    if (verifyFlags & (MBEDTLS_X509_BADCERT_NOT_TRUSTED | MBEDTLS_X509_BADCERT_REVOKED |
                       MBEDTLS_X509_BADCERT_MISSING | MBEDTLS_X509_BADCERT_SKIP_VERIFY |
                       MBEDTLS_X509_BADCERT_OTHER | MBEDTLS_X509_BADCERT_BAD_MD |
                       MBEDTLS_X509_BADCERT_BAD_PK | MBEDTLS_X509_BADCERT_BAD_KEY |
                       MBEDTLS_X509_BADCERT_KEY_USAGE | MBEDTLS_X509_BADCERT_EXT_KEY_USAGE |
                       MBEDTLS_X509_BADCERT_NS_CERT_TYPE) ||
        !usable_) {
        return CertificateFailure(FailureKind::kNtsCertificateUntrusted, chain);
    }
    if (verifyFlags & MBEDTLS_X509_BADCERT_CN_MISMATCH) {
        return CertificateFailure(FailureKind::kNtsNameMismatch, chain);
    }
    if (verifyFlags & (MBEDTLS_X509_BADCERT_EXPIRED | MBEDTLS_X509_BADCERT_FUTURE)) {
        return CertificateFailure(FailureKind::kNtsCertificateExpired, chain);
    }
    return CertificateFailure(FailureKind::kNtsCertificateUntrusted, chain);
}

}  // namespace nts
