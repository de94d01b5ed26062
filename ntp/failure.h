// What went wrong on the way from a time server to the system clock, in one vocabulary for
// every layer: the web probe, the socket layer, the reply checks, the clock, the Tickwell
// Clock service and its administrator's policy. A failure is told where it is found and
// travels as it is to whoever words it; each kind names the detail fields it fills.
//
// The kinds' numbers travel in the clock service's replies: never renumber one, and add new
// kinds at the end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ntp/kiss_code.h"

enum class FailureKind : std::uint16_t {
    kNone = 0,
    kInternetOpen = 1,    // the web probe's Internet session did not open
    kUrlOpen = 2,         // the web probe's page did not open
    kNetworkStart = 3,    // the socket layer did not start
    kNetworkVersion = 4,  // the socket layer lacks the version needed
    kUnresolved = 5,      // the server's name did not resolve: error
    kNoAnswer = 6,        // no reply from address within timeoutMs
    kSocketError = 7,     // a socket step failed: error, and the step in account
    kTooShort = 8,        // 8 to 15: the reply from address failed a check
    kNotServerMode = 9,
    kBadVersion = 10,
    kKissOfDeath = 11,  // kiss
    kBadStratum = 12,
    kUnsynchronised = 13,
    kZeroTransmit = 14,
    kRootDistance = 15,
    kClockRefused = 16,         // the platform refused to set the clock: error
    kConversionFailed = 17,     // the user's fixed offset leads to no time the clock can hold
    kDisagreement = 18,         // before a large step otherServer (otherAddress) disagreed
    kAbandoned = 19,            // broken off by the user, or by the watchdog
    kServerNotApproved = 20,    // the administrator's policy does not approve the server
    kOffsetAboveLimit = 21,     // the user's fixed offset is above the administrator's limit
    kMalformedRequest = 22,     // the clock service could not read the request: account
    kServiceSilent = 23,        // no clock service answered: error, of the pipe call
    kServiceUnidentified = 24,  // which process serves the service's pipe is unknown: error
    kPipeNotTheService = 25,    // process serves the service's pipe, not the running service
    kPipeWithoutService = 26,   // process serves the service's pipe, and no service runs
    kServiceUnreadable = 27,    // the service's reply could not be read
    kServiceTimedOut = 28,      // the service did not answer within timeoutMs
    kOther = 29,                // a reason this program does not know, in account as it came
    // 30 to 37: secure time (NTS). The key exchange's server is address.
    kNtsTlsFailed = 30,             // no TLS 1.3 connection: error, Mbed TLS's, and account
    kNtsCertificateUntrusted = 31,  // certificateName's chain leads to no trusted root
    kNtsNameMismatch = 32,          // the certificate is certificateName's, not the server's
    kNtsCertificateExpired = 33,    // certificateName's certificate is outside its dates
    kNtsKeRefused = 34,             // the key exchange answered with its error record: error
    kNtsKeMalformed = 35,           // the key exchange's answer broke the protocol: account
    kNtsNoCookies = 36,             // the key exchange gave no cookie
    kNtsNotAuthenticated = 37,      // the reply did not authenticate: forged or damaged
    kNtsRequired = 38,              // the administrator's policy allows only secure time (NTS)
};

// The newest kind this program knows; a peer's higher number reads as kOther.
inline constexpr FailureKind kLastFailureKind = FailureKind::kNtsRequired;

struct Failure {
    FailureKind kind = FailureKind::kNone;
    std::string address;      // the address asked last, or that answered
    std::uint32_t error = 0;  // the platform's error code
    std::uint32_t timeoutMs = 0;
    std::optional<KissCode> kiss;
    std::string otherServer;  // a disagreement's other server: its name and the address asked
    std::string otherAddress;
    std::uint32_t secondsApart = 0;  // how far the two servers were apart, rounded
    std::uint32_t process = 0;       // the process that serves the service's pipe
    std::string certificateName;     // the server certificate's subject, and its issuer's
    std::string certificateIssuer;
    // Whoever found it, in their own words: the socket step and its error, the reply check
    // that failed, the service's sentence. For logs and the console tool; the program words
    // the kinds it knows itself.
    std::string account;

    bool failed() const { return kind != FailureKind::kNone; }
    bool operator==(const Failure&) const = default;
};

// The failure of the kind, with no detail.
inline Failure FailureOf(FailureKind kind) {
    Failure failure;
    failure.kind = kind;
    return failure;
}
