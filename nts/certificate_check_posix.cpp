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
    return JudgeByFlags(chain, verifyFlags, usable_);
}

}  // namespace nts
