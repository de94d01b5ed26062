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
    return failure;
}

}  // namespace nts
