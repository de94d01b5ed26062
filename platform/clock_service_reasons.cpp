#include "platform/clock_service_reasons.h"

#include <algorithm>
#include <optional>

namespace {

// The fixed sentences, as the first version of the service sent them.
struct FixedWords {
    FailureKind kind;
    const char* words;
};
constexpr FixedWords kFixedWords[] = {
    {FailureKind::kNetworkStart, "the network could not be started"},
    {FailureKind::kConversionFailed, "time conversion error"},
    {FailureKind::kAbandoned, "the correction was abandoned"},
    {FailureKind::kServerNotApproved, "server not approved by the administrator"},
    {FailureKind::kOffsetAboveLimit, "offset above the administrator's limit"},
};
constexpr const char* kNoAnswerWords = "no answer from ";
// Later kinds' words, which programs that know the kind never read back.
constexpr const char* kNtsRequiredWords = "the administrator allows only secure time (NTS)";
constexpr const char* kClockRefusedWords = "Windows refused to set the clock (error ";
constexpr const char* kDisagreementWords = "second server ";
constexpr const char* kDisagreementMiddle = " disagrees by ";
constexpr const char* kDisagreementEnd = " s";
// Before it, a kiss code came as "no answer from ..." with the SNTP client's account.
constexpr const char* kKissWords = "the server sent the kiss code ";

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The decimal digits of a code exactly as the service writes them, so that a sentence reads
// back to the same bytes.
std::optional<std::uint32_t> CanonicalNumber(const std::string& digits) {
    const bool canonical = !digits.empty() && digits.size() <= 10 &&
                           (digits.size() == 1 || digits[0] != '0') &&
                           digits.find_first_not_of("0123456789") == std::string::npos;
    if (!canonical) {
        return std::nullopt;
    }
    const unsigned long long number = std::stoull(digits);
    if (number > 0xFFFFFFFFull) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(number);
}

// "<host> (<address>)", as the service names the other server; without the brackets when no
// address is known.
std::string OtherServerText(const Failure& failure) {
    if (failure.otherAddress.empty()) {
        return failure.otherServer;
    }
    return failure.otherServer + " (" + failure.otherAddress + ")";
}

void ReadOtherServer(const std::string& text, Failure* failure) {
    const std::size_t open = text.rfind(" (");
    if (open == std::string::npos || open == 0 || !EndsWith(text, ")") || open + 3 > text.size()) {
        failure->otherServer = text;
        return;
    }
    failure->otherServer = text.substr(0, open);
    failure->otherAddress = text.substr(open + 2, text.size() - open - 3);
}

std::optional<Failure> ReadDisagreement(const std::string& reason) {
    const std::string start = kDisagreementWords;
    const std::string middle = kDisagreementMiddle;
    if (!StartsWith(reason, start) || !EndsWith(reason, kDisagreementEnd) ||
        reason.size() < start.size() + 2) {
        return std::nullopt;
    }
    const std::size_t end = reason.size() - 2;
    const std::size_t at = reason.rfind(middle);
    if (at == std::string::npos || at <= start.size() || at + middle.size() > end) {
        return std::nullopt;
    }
    const std::optional<std::uint32_t> apart =
        CanonicalNumber(reason.substr(at + middle.size(), end - at - middle.size()));
    if (!apart) {
        return std::nullopt;
    }
    Failure failure = FailureOf(FailureKind::kDisagreement);
    failure.secondsApart = *apart;
    ReadOtherServer(reason.substr(start.size(), at - start.size()), &failure);
    const std::string other = OtherServerText(failure);
    // Only a name that writes back to the same words: the brackets are the address's.
    if (other != reason.substr(start.size(), at - start.size())) {
        return std::nullopt;
    }
    return failure;
}

std::optional<Failure> ReadClockRefused(const std::string& reason) {
    const std::string refused = kClockRefusedWords;
    if (!StartsWith(reason, refused) || reason.size() <= refused.size() + 1 ||
        reason.back() != ')') {
        return std::nullopt;
    }
    const std::optional<std::uint32_t> error =
        CanonicalNumber(reason.substr(refused.size(), reason.size() - refused.size() - 1));
    if (!error) {
        return std::nullopt;
    }
    Failure failure = FailureOf(FailureKind::kClockRefused);
    failure.error = *error;
    return failure;
}

std::optional<Failure> ReadKiss(const std::string& reason) {
    const std::string words = kKissWords;
    if (!StartsWith(reason, words)) {
        return std::nullopt;
    }
    const std::optional<KissCode> kiss = KissCode::FromText(reason.substr(words.size()));
    if (!kiss) {
        return std::nullopt;
    }
    Failure failure = FailureOf(FailureKind::kKissOfDeath);
    failure.kiss = kiss;
    return failure;
}

}  // namespace

std::string ServiceReasonText(const Failure& failure, const std::string& host) {
    for (const FixedWords& fixed : kFixedWords) {
        if (fixed.kind == failure.kind) {
            return fixed.words;
        }
    }
    switch (failure.kind) {
        case FailureKind::kNtsRequired:
            return kNtsRequiredWords;
        // Secure time's failures, for the event log: a program that asks by NTS words the
        // kind itself.
        case FailureKind::kNtsTlsFailed:
            return "no secure connection to the key exchange of " + host + ": " + failure.account;
        case FailureKind::kNtsCertificateUntrusted:
            return "the certificate of " + failure.certificateName + ", issued by " +
                   failure.certificateIssuer + ", is not trusted";
        case FailureKind::kNtsNameMismatch:
            return "the certificate is for " + failure.certificateName + ", not for " + host;
        case FailureKind::kNtsCertificateExpired:
            return "the certificate of " + failure.certificateName +
                   " has expired or is not yet valid";
        case FailureKind::kNtsKeRefused:
            return "the key exchange of " + host + " refused the request (error " +
                   std::to_string(failure.error) + ")";
        case FailureKind::kNtsKeMalformed:
            return "the key exchange of " + host + " broke the protocol: " + failure.account;
        case FailureKind::kNtsNoCookies:
            return "the key exchange of " + host + " gave no cookies";
        case FailureKind::kNtsNotAuthenticated:
            return "the reply of " + host + " was not authenticated";
        case FailureKind::kNetworkVersion:
            return ServiceReasonText(FailureOf(FailureKind::kNetworkStart), host);
        case FailureKind::kClockRefused:
            return kClockRefusedWords + std::to_string(failure.error) + ")";
        case FailureKind::kDisagreement:
            return kDisagreementWords + OtherServerText(failure) + kDisagreementMiddle +
                   std::to_string(failure.secondsApart) + kDisagreementEnd;
        case FailureKind::kKissOfDeath:
            if (failure.kiss) {
                return kKissWords + failure.kiss->text();
            }
            break;
        // The SNTP client's account is the detail an administrator needs.
        case FailureKind::kUnresolved:
        case FailureKind::kNoAnswer:
        case FailureKind::kSocketError:
        case FailureKind::kTooShort:
        case FailureKind::kNotServerMode:
        case FailureKind::kBadVersion:
        case FailureKind::kBadStratum:
        case FailureKind::kUnsynchronised:
        case FailureKind::kZeroTransmit:
        case FailureKind::kRootDistance:
            return kNoAnswerWords + host + ": " + failure.account;
        default:
            break;
    }
    return failure.account;
}

Failure ReadServiceReason(const std::string& reason) {
    Failure failure = FailureOf(FailureKind::kOther);
    for (const FixedWords& fixed : kFixedWords) {
        if (reason == fixed.words) {
            failure = FailureOf(fixed.kind);
        }
    }
    for (const auto read : {ReadClockRefused, ReadDisagreement, ReadKiss}) {
        if (failure.kind == FailureKind::kOther) {
            failure = read(reason).value_or(failure);
        }
    }
    failure.account = reason;
    return failure;
}
