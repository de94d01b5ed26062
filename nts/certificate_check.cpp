#include "nts/certificate_check.h"

#include <mbedtls/oid.h>

#include <cstring>

namespace nts {

std::string NameOf(const mbedtls_x509_name& name) {
    for (const mbedtls_x509_name* part = &name; part != nullptr; part = part->next) {
        if (MBEDTLS_OID_CMP(MBEDTLS_OID_AT_CN, &part->oid) == 0) {
            return std::string(reinterpret_cast<const char*>(part->val.p), part->val.len);
        }
    }
    char text[512];
    return mbedtls_x509_dn_gets(text, sizeof text, &name) > 0 ? text : "an unnamed party";
}

Failure CertificateFailure(FailureKind kind, const mbedtls_x509_crt& chain) {
    Failure failure = FailureOf(kind);
    failure.certificateName = NameOf(chain.subject);
    failure.certificateIssuer = NameOf(chain.issuer);
    const std::string certificate = "certificate of " + failure.certificateName + " (issued by " +
                                    failure.certificateIssuer + ")";
    switch (kind) {
        case FailureKind::kNtsNameMismatch:
            failure.account = certificate + " is for another name";
            break;
        case FailureKind::kNtsCertificateExpired:
            failure.account = certificate + " has expired or is not yet valid";
            break;
        default:
            failure.account = certificate + " is not trusted";
            break;
    }
    return failure;
}

Failure JudgeByFlags(const mbedtls_x509_crt& chain, std::uint32_t verifyFlags, bool usable) {
    if (verifyFlags == 0 && usable) {
        return {};
    }
    constexpr std::uint32_t kDates = MBEDTLS_X509_BADCERT_EXPIRED | MBEDTLS_X509_BADCERT_FUTURE;
    // A chain that fails on more than its name and its dates is simply not trusted.
    if (!usable || (verifyFlags & ~(kDates | MBEDTLS_X509_BADCERT_CN_MISMATCH)) != 0) {
        return CertificateFailure(FailureKind::kNtsCertificateUntrusted, chain);
    }
    if (verifyFlags & MBEDTLS_X509_BADCERT_CN_MISMATCH) {
        return CertificateFailure(FailureKind::kNtsNameMismatch, chain);
    }
    return CertificateFailure(FailureKind::kNtsCertificateExpired, chain);
}

}  // namespace nts
