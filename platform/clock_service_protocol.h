// What a user's program asks the Tickwell Clock service, and what the service answers.
// Any local process may write to the service's pipe, so a request is small, versioned and
// parsed strictly: a malformed one is refused with the reason, never guessed at. The service
// never accepts a time, only the server to ask and the user's fixed offset.
//
// Request (little-endian): "TWCQ", version u16, kind u16 (1: synchronise), offset i32
// (seconds), host length u16, then that many bytes of host (no terminator). Versions 1 and 2
// ask alike; the version says in which form the reply is wanted. Version 3 adds flags u8
// after the host (bit 0: ask by secure time, NTS).
// Reply, version 1: "TWCA", version u16, status u16, offset f64, delay f64 (IEEE 754 bits as
// u64), stratum u8, reason length u16, then that many bytes of reason, the service's sentence.
// Reply, version 2: the same up to the stratum, then flags u8 (bit 0: a large step that no
// second server confirmed), the failure's kind u16 and its detail: error u32, time-out u32
// (ms), seconds apart u32, process u32, kiss code (4 bytes, zero unless a kiss), then the
// address, the other server and the other address (each a u8 length and its bytes), and the
// sentence (a u16 length and its bytes).
// Reply, version 3: as version 2, its flags' bit 1 saying that the time was authenticated
// (NTS), and the certificate's name and its issuer's (each a u8 length and its bytes) between
// the other address and the sentence.
//
// A service answers in the version the request was made in. An older service refuses a
// request of a later version as malformed ("unknown version 3") in a reply of version 1: the
// program then asks again a version lower, down to the first, whose sentence it reads
// (clock_service_reasons.h). Only a reply of version 3 can say that a time was secure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ntp/failure.h"

inline constexpr const char* kClockServicePipeName = R"(\\.\pipe\Quorvane.Tickwell.Clock)";
// The service's name in the service control manager.
inline constexpr const wchar_t* kClockServiceName = L"TickwellClock";
// The first version, which every program and service reads; a program asks in the latest.
inline constexpr std::uint16_t kClockServiceFirstVersion = 1;
// The first to carry secure time.
inline constexpr std::uint16_t kClockServiceSecureVersion = 3;
inline constexpr std::uint16_t kClockServiceProtocolVersion = 3;
// A host name as DNS allows it; an IPv6 address in brackets is far shorter.
inline constexpr std::size_t kClockServiceMaxHostLength = 253;
inline constexpr std::size_t kClockServiceRequestHeaderSize = 14;
inline constexpr std::size_t kClockServiceMaxRequestSize =
    kClockServiceRequestHeaderSize + kClockServiceMaxHostLength + 1;
inline constexpr std::size_t kClockServiceMaxReasonLength = 512;
inline constexpr std::size_t kClockServiceReplyHeaderSize = 27;  // of version 1
// Of version 2, before its texts; an address or a server's name holds a host name at most,
// and a certificate's name is cut to as much.
inline constexpr std::size_t kClockServiceFailureHeaderSize = 48;
inline constexpr std::size_t kClockServiceMaxNameLength = kClockServiceMaxHostLength;
inline constexpr std::size_t kClockServiceMaxReplySize = kClockServiceFailureHeaderSize +
                                                         5 * (1 + kClockServiceMaxNameLength) + 2 +
                                                         kClockServiceMaxReasonLength;

struct ClockServiceRequest {
    std::string host;  // a name, a dotted IPv4 address, or an IPv6 address (bare or in brackets)
    std::int32_t offsetSeconds = 0;  // the user's fixed offset: the clock runs this far ahead
    bool nts = false;                // asked by secure time (NTS), with the service's own keys

    bool operator==(const ClockServiceRequest&) const = default;
};

enum class ClockServiceStatus : std::uint16_t {
    kSynchronised = 0,  // the clock was set; offset, delay and stratum are the measurement
    kRefused = 1,       // the administrator's policy does not allow it; failure says why
    kFailed = 2,        // the server did not answer, or Windows refused the set; failure says why
    kMalformed = 3,     // the request could not be read; failure's account names the check
};

struct ClockServiceReply {
    ClockServiceStatus status = ClockServiceStatus::kFailed;
    // Why it did not synchronise; none when it did.
    Failure failure;
    // The service's sentence for the failure, which programs of the first version show and
    // the event log tells; empty on success.
    std::string reason;
    bool unconfirmed = false;  // a synchronisation whose large step no other server confirmed
    double offset = 0.0;
    double delay = 0.0;
    std::int32_t stratum = 0;
    bool secure = false;  // the server's time was authenticated (NTS); only in version 3

    bool ok() const { return status == ClockServiceStatus::kSynchronised; }
    bool operator==(const ClockServiceReply&) const = default;
};

// A request read, or the check it failed ("too short", "unknown version 2", ...).
struct ParsedClockServiceRequest {
    std::optional<ClockServiceRequest> request;
    std::string error;
    // The version to answer in: the request's, when the service speaks it, else the first.
    std::uint16_t replyVersion = kClockServiceFirstVersion;
};

// Empty when host is a name, a dotted IPv4 address or an IPv6 address (bare or in
// brackets) as far as its characters and brackets tell, else the check it failed. The
// service asks no other host, and the program adds no other server.
std::string HostError(const std::string& host);

// kClockServicePipeName for the wide calls of Windows.
std::wstring ClockServicePipeNameWide();

// A reply that did not synchronise, for the failure met asking host, with its sentence.
ClockServiceReply UnsuccessfulReply(ClockServiceStatus status, Failure failure,
                                    const std::string& host = {});

// The reply to a request that could not be read, naming the check it failed.
ClockServiceReply MalformedReply(std::string check);

std::vector<std::uint8_t> EncodeClockServiceRequest(
    const ClockServiceRequest& request, std::uint16_t version = kClockServiceProtocolVersion);
ParsedClockServiceRequest ParseClockServiceRequest(std::span<const std::uint8_t> bytes);

// The texts are cut to their limits.
std::vector<std::uint8_t> EncodeClockServiceReply(const ClockServiceReply& reply,
                                                  std::uint16_t version);
// Empty when the bytes are no reply of a version this program reads. A failure of a kind it
// does not know reads as kOther, with the service's sentence.
std::optional<ClockServiceReply> ParseClockServiceReply(std::span<const std::uint8_t> bytes);
// The reply of an older service to a request of a version it does not speak: ask again a
// version lower.
bool RefusesVersion(const ClockServiceReply& reply, std::uint16_t version);
// Asks in the latest version, and a version lower each time the service refuses the one asked.
ClockServiceReply AskNewestFirst(const std::function<ClockServiceReply(std::uint16_t)>& ask);
