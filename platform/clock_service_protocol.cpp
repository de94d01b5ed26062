#include "platform/clock_service_protocol.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr char kRequestMagic[4] = {'T', 'W', 'C', 'Q'};
constexpr char kReplyMagic[4] = {'T', 'W', 'C', 'A'};
constexpr std::uint16_t kSynchroniseKind = 1;

static_assert(kClockServiceRequestHeaderSize == 4 + 2 + 2 + 4 + 2);
static_assert(kClockServiceReplyHeaderSize == 4 + 2 + 2 + 8 + 8 + 1 + 2);

// Byte by byte: GCC 12 at -O2 warns falsely about vector::insert of the few bytes.
class Writer {
  public:
    explicit Writer(std::size_t capacity) { bytes_.reserve(capacity); }

    void Magic(const char (&magic)[4]) {
        for (const char c : magic) {
            bytes_.push_back(static_cast<std::uint8_t>(c));
        }
    }
    void U8(std::uint8_t value) { bytes_.push_back(value); }
    void Unsigned(std::uint64_t value, int size) {
        for (int i = 0; i < size; ++i) {
            bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        }
    }
    void Text(const std::string& text, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) {
            bytes_.push_back(static_cast<std::uint8_t>(text[i]));
        }
    }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

  private:
    std::vector<std::uint8_t> bytes_;
};

// Reads fields in order; the caller has checked that the bytes are long enough.
class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool Magic(const char (&magic)[4]) {
        const bool same = std::memcmp(bytes_.data() + at_, magic, 4) == 0;
        at_ += 4;
        return same;
    }
    std::uint64_t Unsigned(int size) {
        std::uint64_t value = 0;
        for (int i = 0; i < size; ++i) {
            value |= std::uint64_t{bytes_[at_++]} << (8 * i);
        }
        return value;
    }
    std::string Text(std::size_t length) {
        const auto* begin = reinterpret_cast<const char*>(bytes_.data() + at_);
        at_ += length;
        return std::string(begin, length);
    }
    std::size_t Remaining() const { return bytes_.size() - at_; }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == ':' || c == '[' || c == ']';
}

}  // namespace

std::string HostError(const std::string& host) {
    for (const char c : host) {
        if (!IsHostCharacter(c)) {
            char text[64];
            std::snprintf(text, sizeof text, "host has a character that is not allowed (0x%02x)",
                          static_cast<unsigned char>(c));
            return text;
        }
    }
    const bool bracketed = host.size() >= 2 && host.front() == '[' && host.back() == ']';
    const std::string_view inside =
        bracketed ? std::string_view(host).substr(1, host.size() - 2) : std::string_view(host);
    if (inside.find_first_of("[]") != std::string_view::npos) {
        return "host has brackets that do not enclose the whole host";
    }
    if (bracketed && inside.empty()) {
        return "host has nothing in its brackets";
    }
    return {};
}

std::vector<std::uint8_t> EncodeClockServiceRequest(const ClockServiceRequest& request) {
    Writer out(kClockServiceRequestHeaderSize + request.host.size());
    out.Magic(kRequestMagic);
    out.Unsigned(kClockServiceProtocolVersion, 2);
    out.Unsigned(kSynchroniseKind, 2);
    out.Unsigned(static_cast<std::uint32_t>(request.offsetSeconds), 4);
    // A host too long for the length field is sent as it is and refused by the service.
    out.Unsigned(request.host.size(), 2);
    out.Text(request.host, request.host.size());
    return out.Take();
}

ParsedClockServiceRequest ParseClockServiceRequest(std::span<const std::uint8_t> bytes) {
    const auto refuse = [](std::string error) {
        return ParsedClockServiceRequest{std::nullopt, std::move(error)};
    };
    if (bytes.size() < kClockServiceRequestHeaderSize) {
        return refuse("too short");
    }
    Reader in(bytes);
    if (!in.Magic(kRequestMagic)) {
        return refuse("not a request (wrong magic)");
    }
    const auto version = in.Unsigned(2);
    if (version != kClockServiceProtocolVersion) {
        return refuse("unknown version " + std::to_string(version));
    }
    const auto kind = in.Unsigned(2);
    if (kind != kSynchroniseKind) {
        return refuse("unknown kind " + std::to_string(kind));
    }
    ClockServiceRequest request;
    request.offsetSeconds = static_cast<std::int32_t>(static_cast<std::uint32_t>(in.Unsigned(4)));
    const auto hostLength = static_cast<std::size_t>(in.Unsigned(2));
    if (hostLength == 0) {
        return refuse("empty host");
    }
    if (hostLength > kClockServiceMaxHostLength) {
        return refuse("host longer than " + std::to_string(kClockServiceMaxHostLength) + " bytes");
    }
    if (in.Remaining() < hostLength) {
        return refuse("host cut short");
    }
    if (in.Remaining() > hostLength) {
        return refuse("bytes after the host");
    }
    request.host = in.Text(hostLength);
    std::string error = HostError(request.host);
    if (!error.empty()) {
        return refuse(std::move(error));
    }
    return {std::move(request), {}};
}

std::vector<std::uint8_t> EncodeClockServiceReply(const ClockServiceReply& reply) {
    const std::size_t reasonLength = std::min(reply.reason.size(), kClockServiceMaxReasonLength);
    Writer out(kClockServiceReplyHeaderSize + reasonLength);
    out.Magic(kReplyMagic);
    out.Unsigned(kClockServiceProtocolVersion, 2);
    out.Unsigned(static_cast<std::uint16_t>(reply.status), 2);
    out.Unsigned(std::bit_cast<std::uint64_t>(reply.offset), 8);
    out.Unsigned(std::bit_cast<std::uint64_t>(reply.delay), 8);
    out.U8(static_cast<std::uint8_t>(std::clamp(reply.stratum, 0, 255)));
    out.Unsigned(reasonLength, 2);
    out.Text(reply.reason, reasonLength);
    return out.Take();
}

std::optional<ClockServiceReply> ParseClockServiceReply(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kClockServiceReplyHeaderSize) {
        return std::nullopt;
    }
    Reader in(bytes);
    if (!in.Magic(kReplyMagic) || in.Unsigned(2) != kClockServiceProtocolVersion) {
        return std::nullopt;
    }
    const auto status = in.Unsigned(2);
    if (status > static_cast<std::uint16_t>(ClockServiceStatus::kMalformed)) {
        return std::nullopt;
    }
    ClockServiceReply reply;
    reply.status = static_cast<ClockServiceStatus>(status);
    reply.offset = std::bit_cast<double>(in.Unsigned(8));
    reply.delay = std::bit_cast<double>(in.Unsigned(8));
    reply.stratum = static_cast<std::int32_t>(in.Unsigned(1));
    const auto reasonLength = static_cast<std::size_t>(in.Unsigned(2));
    if (!std::isfinite(reply.offset) || !std::isfinite(reply.delay) ||
        reasonLength > kClockServiceMaxReasonLength || in.Remaining() != reasonLength) {
        return std::nullopt;
    }
    reply.reason = in.Text(reasonLength);
    return reply;
}

std::wstring ClockServicePipeNameWide() {
    const std::string name = kClockServicePipeName;  // plain ASCII
    return std::wstring(name.begin(), name.end());
}

ClockServiceReply UnsuccessfulReply(ClockServiceStatus status, std::string reason) {
    ClockServiceReply reply;
    reply.status = status;
    reply.reason = std::move(reason);
    return reply;
}

namespace {

// The reasons' words on the wire, as the first version of the service sent them.
struct ReasonWords {
    ClockServiceFailure failure;
    const char* words;
};
constexpr ReasonWords kReasonWords[] = {
    {ClockServiceFailure::kNetworkStart, "the network could not be started"},
    {ClockServiceFailure::kConversionFailed, "time conversion error"},
    {ClockServiceFailure::kAbandoned, "the correction was abandoned"},
    {ClockServiceFailure::kServerNotApproved, "server not approved by the administrator"},
    {ClockServiceFailure::kOffsetAboveLimit, "offset above the administrator's limit"},
};
constexpr const char* kNoAnswerWords = "no answer from ";
constexpr const char* kClockRefusedWords = "Windows refused to set the clock (error ";
constexpr const char* kDisagreementWords = "second server ";
constexpr const char* kDisagreementMiddle = " disagrees by ";
constexpr const char* kDisagreementEnd = " s";
// Before it, a kiss code came as "no answer from ..." with the SNTP client's account.
constexpr const char* kKissWords = "the server sent the kiss code ";
constexpr std::size_t kKissCodeLength = 4;

// Four printable ASCII characters, as a kiss code is read from the reply.
bool IsKissCode(const std::string& code) {
    return code.size() == kKissCodeLength &&
           std::all_of(code.begin(), code.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

// The decimal digits of a code exactly as the service writes them, so that a reason reads
// back to the same bytes.
std::optional<std::uint32_t> CanonicalCode(const std::string& digits) {
    const bool canonical = !digits.empty() && digits.size() <= 10 &&
                           (digits.size() == 1 || digits[0] != '0') &&
                           digits.find_first_not_of("0123456789") == std::string::npos;
    if (!canonical) {
        return std::nullopt;
    }
    const unsigned long long code = std::stoull(digits);
    if (code > 0xFFFFFFFFull) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(code);
}

std::optional<ClockServiceReason> ParseDisagreement(const std::string& reason) {
    const std::string start = kDisagreementWords;
    const std::string middle = kDisagreementMiddle;
    const std::string end = kDisagreementEnd;
    if (reason.compare(0, start.size(), start) != 0 || reason.size() < start.size() + end.size() ||
        reason.compare(reason.size() - end.size(), end.size(), end) != 0) {
        return std::nullopt;
    }
    const std::size_t at = reason.rfind(middle);
    if (at == std::string::npos || at <= start.size() ||
        at + middle.size() > reason.size() - end.size()) {
        return std::nullopt;
    }
    const std::string digits =
        reason.substr(at + middle.size(), reason.size() - end.size() - at - middle.size());
    const std::optional<std::uint32_t> code = CanonicalCode(digits);
    if (!code) {
        return std::nullopt;
    }
    return ClockServiceReason{ClockServiceFailure::kDisagreement, *code,
                              reason.substr(start.size(), at - start.size())};
}

}  // namespace

std::string EncodeClockServiceReason(const ClockServiceReason& reason) {
    switch (reason.failure) {
        case ClockServiceFailure::kOther:
            return reason.detail;
        case ClockServiceFailure::kNoAnswer:
            return kNoAnswerWords + reason.detail;
        case ClockServiceFailure::kClockRefused:
            return kClockRefusedWords + std::to_string(reason.code) + ")";
        case ClockServiceFailure::kDisagreement:
            return kDisagreementWords + reason.detail + kDisagreementMiddle +
                   std::to_string(reason.code) + kDisagreementEnd;
        case ClockServiceFailure::kKissOfDeath:
            return kKissWords + reason.detail;
        default:
            break;
    }
    for (const ReasonWords& words : kReasonWords) {
        if (words.failure == reason.failure) {
            return words.words;
        }
    }
    return reason.detail;
}

ClockServiceReason ParseClockServiceReason(const std::string& reason) {
    for (const ReasonWords& words : kReasonWords) {
        if (reason == words.words) {
            return {words.failure, 0, {}};
        }
    }
    const std::string noAnswer = kNoAnswerWords;
    if (reason.size() > noAnswer.size() && reason.compare(0, noAnswer.size(), noAnswer) == 0) {
        return {ClockServiceFailure::kNoAnswer, 0, reason.substr(noAnswer.size())};
    }
    const std::string refused = kClockRefusedWords;
    if (reason.size() > refused.size() + 1 && reason.compare(0, refused.size(), refused) == 0 &&
        reason.back() == ')') {
        const std::string digits =
            reason.substr(refused.size(), reason.size() - refused.size() - 1);
        if (const std::optional<std::uint32_t> code = CanonicalCode(digits)) {
            return {ClockServiceFailure::kClockRefused, *code, {}};
        }
    }
    if (std::optional<ClockServiceReason> disagreement = ParseDisagreement(reason)) {
        return std::move(*disagreement);
    }
    const std::string kiss = kKissWords;
    if (reason.compare(0, kiss.size(), kiss) == 0 && IsKissCode(reason.substr(kiss.size()))) {
        return {ClockServiceFailure::kKissOfDeath, 0, reason.substr(kiss.size())};
    }
    return {ClockServiceFailure::kOther, 0, reason};
}
