#include "nts/certificate_check.h"

#include <mbedtls/oid.h>

#include <algorithm>
#include <cstring>
#include <iterator>

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

namespace {

SYSTEMTIME TimeOf(const mbedtls_x509_time& time) {
    SYSTEMTIME utc{};
    utc.wYear = static_cast<std::uint16_t>(time.year);
    utc.wMonth = static_cast<std::uint16_t>(time.mon);
    utc.wDay = static_cast<std::uint16_t>(time.day);
    utc.wHour = static_cast<std::uint16_t>(time.hour);
    utc.wMinute = static_cast<std::uint16_t>(time.min);
    utc.wSecond = static_cast<std::uint16_t>(time.sec);
    return utc;
}

bool Before(const mbedtls_x509_time& a, const mbedtls_x509_time& b) {
    const int left[] = {a.year, a.mon, a.day, a.hour, a.min, a.sec};
    const int right[] = {b.year, b.mon, b.day, b.hour, b.min, b.sec};
    return std::lexicographical_compare(std::begin(left), std::end(left), std::begin(right),
                                        std::end(right));
}

}  // namespace

CertificateDates DatesOf(const mbedtls_x509_crt& chain) {
    mbedtls_x509_time from = chain.valid_from;
    mbedtls_x509_time to = chain.valid_to;
    for (const mbedtls_x509_crt* other = chain.next; other != nullptr; other = other->next) {
        if (Before(from, other->valid_from)) {
            from = other->valid_from;
        }
        if (Before(other->valid_to, to)) {
            to = other->valid_to;
        }
    }
    return {TimeOf(from), TimeOf(to)};
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
