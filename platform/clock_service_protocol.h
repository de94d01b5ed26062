// What a user's program asks the Tickwell Clock service, and what the service answers.
// Any local process may write to the service's pipe, so a request is small, versioned and
// parsed strictly: a malformed one is refused with the reason, never guessed at. The service
// never accepts a time, only the server to ask and the user's fixed offset.
//
// Request (little-endian): "TWCQ", version u16, kind u16 (1: synchronise), offset i32
// (seconds), host length u16, then that many bytes of host (no terminator).
// Reply: "TWCA", version u16, status u16, offset f64, delay f64 (IEEE 754 bits as u64),
// stratum u8, reason length u16, then that many bytes of reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

inline constexpr const char* kClockServicePipeName = R"(\\.\pipe\Quorvane.Tickwell.Clock)";
// The service's name in the service control manager.
inline constexpr const wchar_t* kClockServiceName = L"TickwellClock";
inline constexpr std::uint16_t kClockServiceProtocolVersion = 1;
// A host name as DNS allows it; an IPv6 address in brackets is far shorter.
inline constexpr std::size_t kClockServiceMaxHostLength = 253;
inline constexpr std::size_t kClockServiceRequestHeaderSize = 14;
inline constexpr std::size_t kClockServiceMaxRequestSize =
    kClockServiceRequestHeaderSize + kClockServiceMaxHostLength;
inline constexpr std::size_t kClockServiceMaxReasonLength = 512;
inline constexpr std::size_t kClockServiceReplyHeaderSize = 27;
inline constexpr std::size_t kClockServiceMaxReplySize =
    kClockServiceReplyHeaderSize + kClockServiceMaxReasonLength;

struct ClockServiceRequest {
    std::string host;  // a name, a dotted IPv4 address, or an IPv6 address (bare or in brackets)
    std::int32_t offsetSeconds = 0;  // the user's fixed offset: the clock runs this far ahead

    bool operator==(const ClockServiceRequest&) const = default;
};

enum class ClockServiceStatus : std::uint16_t {
    kSynchronised = 0,  // the clock was set; offset, delay and stratum are the measurement
    kRefused = 1,       // the administrator's policy does not allow it; reason says why
    kFailed = 2,        // the server did not answer, or Windows refused the set; reason says why
    kMalformed = 3,     // the request could not be read; reason names the check
};

// A synchronised reply's reason when the service made a large step that no other approved
// server confirmed. Programs before it ignore a synchronised reply's reason.
inline constexpr const char* kClockServiceUnconfirmed = "not confirmed by a second server";

struct ClockServiceReply {
    ClockServiceStatus status = ClockServiceStatus::kFailed;
    std::string reason;  // on success empty, or kClockServiceUnconfirmed
    double offset = 0.0;
    double delay = 0.0;
    std::int32_t stratum = 0;

    bool operator==(const ClockServiceReply&) const = default;
};

// Why the service did not synchronise. On the wire the kind travels as the reply's reason,
// in the words every version of the service has sent, so that a program of any version reads
// it: a program words the kinds it knows and shows any other reason as it came.
enum class ClockServiceFailure {
    kOther,  // detail is the whole reason: a malformed request's check, or an unknown reason
    kNetworkStart,
    kNoAnswer,      // detail: "<host>: <the SNTP client's account>"
    kClockRefused,  // code: the error Windows gave
    kConversionFailed,
    kAbandoned,
    kServerNotApproved,
    kOffsetAboveLimit,
    kDisagreement,  // another approved server disagreed: detail "<host> (<address>)", code the
                    // difference in whole seconds
    kKissOfDeath,   // the server sent a kiss code: detail the code's four characters, which
                    // a program's scheduled runs obey as if the server had told them
};

struct ClockServiceReason {
    ClockServiceFailure failure = ClockServiceFailure::kOther;
    std::uint32_t code = 0;
    std::string detail;

    bool operator==(const ClockServiceReason&) const = default;
};

std::string EncodeClockServiceReason(const ClockServiceReason& reason);
ClockServiceReason ParseClockServiceReason(const std::string& reason);

// A request read, or the check it failed ("too short", "unknown version 2", ...).
struct ParsedClockServiceRequest {
    std::optional<ClockServiceRequest> request;
    std::string error;
};

// Empty when host is a name, a dotted IPv4 address or an IPv6 address (bare or in
// brackets) as far as its characters and brackets tell, else the check it failed. The
// service asks no other host, and the program adds no other server.
std::string HostError(const std::string& host);

// kClockServicePipeName for the wide calls of Windows.
std::wstring ClockServicePipeNameWide();

// A reply that did not synchronise, for the reason given.
ClockServiceReply UnsuccessfulReply(ClockServiceStatus status, std::string reason);

std::vector<std::uint8_t> EncodeClockServiceRequest(const ClockServiceRequest& request);
ParsedClockServiceRequest ParseClockServiceRequest(std::span<const std::uint8_t> bytes);

// The reason is cut to kClockServiceMaxReasonLength bytes.
std::vector<std::uint8_t> EncodeClockServiceReply(const ClockServiceReply& reply);
// Empty when the bytes are no reply of this version.
std::optional<ClockServiceReply> ParseClockServiceReply(std::span<const std::uint8_t> bytes);
