#include "nts/certificate_check.h"

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "base/unique_handle_win.h"

namespace nts {

namespace {

// SECURITY_FLAG_IGNORE_CERT_DATE_INVALID, which wininet.h defines for the SSL policy.
constexpr DWORD kIgnoreCertificateDates = 0x00002000;

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                             wide.data(), static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return wide;
}

}  // namespace

// Windows judges the chain against the roots the user and the organisation trust; a CA file
// given by name (the console tool's --ca) stands in for them, checked as elsewhere.
CertificateCheck::CertificateCheck(const std::string& caFile) {
    mbedtls_x509_crt_init(&anchors_);
    if (!caFile.empty()) {
        loaded_ =
            mbedtls_x509_crt_parse_file(&anchors_, caFile.c_str()) >= 0 && anchors_.raw.len > 0;
        usable_ = loaded_;
    }
}

CertificateCheck::~CertificateCheck() {
    mbedtls_x509_crt_free(&anchors_);
}

Failure CertificateCheck::Judge(const mbedtls_x509_crt& chain, std::uint32_t verifyFlags,
                                const std::string& host) const {
    if (loaded_ || !usable_) {
        return JudgeByFlags(chain, verifyFlags, usable_);
    }
    const Failure untrusted = CertificateFailure(FailureKind::kNtsCertificateUntrusted, chain);
    // The server's certificate, and the others it sent in a store of their own, so that
    // Windows can build the path through them to a root it trusts.
    UniqueCertificateStore sent(
        ::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
    UniqueCertificate server(::CertCreateCertificateContext(X509_ASN_ENCODING, chain.raw.p,
                                                            static_cast<DWORD>(chain.raw.len)));
    if (!sent || !server) {
        return untrusted;
    }
    for (const mbedtls_x509_crt* other = chain.next; other != nullptr; other = other->next) {
        ::CertAddEncodedCertificateToStore(sent.get(), X509_ASN_ENCODING, other->raw.p,
                                           static_cast<DWORD>(other->raw.len),
                                           CERT_STORE_ADD_ALWAYS, nullptr);
    }
    LPSTR serverAuth = const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH);
    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof parameters;
    parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    parameters.RequestedUsage.Usage.rgpszUsageIdentifier = &serverAuth;
    UniqueCertificateChain path;
    if (!::CertGetCertificateChain(nullptr, server.get(), nullptr, sent.get(), &parameters, 0,
                                   nullptr, path.put())) {
        return untrusted;
    }
    // The chain's own verdict first: Wine's SSL policy passes a chain that ends short of any
    // root (CERT_TRUST_IS_PARTIAL_CHAIN), where Windows says CERT_E_CHAINING.
    const DWORD trust = path.get()->TrustStatus.dwErrorStatus;
    if ((trust & ~static_cast<DWORD>(CERT_TRUST_IS_NOT_TIME_VALID)) != CERT_TRUST_NO_ERROR) {
        return untrusted;
    }
    std::wstring name = Wide(host);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, path.get(), &policy, &status)) {
        return untrusted;
    }
    if (static_cast<HRESULT>(status.dwError) == CERT_E_EXPIRED) {
        // The dates are told before the name: only a chain that proves the name with its dates
        // set aside fails on the dates alone.
        ssl.fdwChecks = kIgnoreCertificateDates;
        status = {};
        status.cbSize = sizeof status;
        if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, path.get(), &policy,
                                                &status)) {
            return untrusted;
        }
        if (status.dwError == S_OK) {
            return CertificateFailure(FailureKind::kNtsCertificateExpired, chain);
        }
    }
    switch (static_cast<HRESULT>(status.dwError)) {
        case S_OK:
            return {};
        case CERT_E_CN_NO_MATCH:
            return CertificateFailure(FailureKind::kNtsNameMismatch, chain);
        default:
            return untrusted;
    }
}

}  // namespace nts
