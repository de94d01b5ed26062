#include "platform/clock_service_protocol.h"

#include "platform/clock_service_reasons.h"

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
static_assert(kClockServiceFailureHeaderSize == 4 + 2 + 2 + 8 + 8 + 1 + 1 + 2 + 4 * 4 + 4);
// Every version's reply up to the stratum.
constexpr std::size_t kCommonHeaderSize = 4 + 2 + 2 + 8 + 8 + 1;
constexpr std::uint8_t kUnconfirmedFlag = 1;
constexpr std::uint8_t kSecureFlag = 2;
constexpr std::uint8_t kNtsRequestFlag = 1;
constexpr std::uint16_t kHighestStatus = static_cast<std::uint16_t>(ClockServiceStatus::kMalformed);

bool SpeaksVersion(std::uint64_t version) {
    return version >= kClockServiceFirstVersion && version <= kClockServiceProtocolVersion;
}

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
    // Its length in size bytes first, then the text, cut to limit.
    void Counted(const std::string& text, int size, std::size_t limit) {
        const std::size_t length = std::min(text.size(), limit);
        Unsigned(length, size);
        Text(text, length);
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
    // A text after its length in size bytes; empty when it is longer than limit or than the
    // bytes left.
    std::optional<std::string> Counted(int size, std::size_t limit) {
        if (Remaining() < static_cast<std::size_t>(size)) {
            return std::nullopt;
        }
        const auto length = static_cast<std::size_t>(Unsigned(size));
        if (length > limit || length > Remaining()) {
            return std::nullopt;
        }
        return Text(length);
    }

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

std::vector<std::uint8_t> EncodeClockServiceRequest(const ClockServiceRequest& request,
                                                    std::uint16_t version) {
    Writer out(kClockServiceRequestHeaderSize + request.host.size());
    out.Magic(kRequestMagic);
    out.Unsigned(version, 2);
    out.Unsigned(kSynchroniseKind, 2);
    out.Unsigned(static_cast<std::uint32_t>(request.offsetSeconds), 4);
    // A host too long for the length field is sent as it is and refused by the service.
    out.Unsigned(request.host.size(), 2);
    out.Text(request.host, request.host.size());
    if (version >= kClockServiceSecureVersion) {
        out.U8(request.nts ? kNtsRequestFlag : 0);
    }
    return out.Take();
}

ParsedClockServiceRequest ParseClockServiceRequest(std::span<const std::uint8_t> bytes) {
    std::uint16_t replyVersion = kClockServiceFirstVersion;
    const auto refuse = [&replyVersion](std::string error) {
        return ParsedClockServiceRequest{std::nullopt, std::move(error), replyVersion};
    };
    if (bytes.size() < kClockServiceRequestHeaderSize) {
        return refuse("too short");
    }
    Reader in(bytes);
    if (!in.Magic(kRequestMagic)) {
        return refuse("not a request (wrong magic)");
    }
    const auto version = in.Unsigned(2);
    if (!SpeaksVersion(version)) {
        return refuse("unknown version " + std::to_string(version));
    }
    replyVersion = static_cast<std::uint16_t>(version);
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
    const std::size_t flagsLength = version >= kClockServiceSecureVersion ? 1 : 0;
    if (in.Remaining() < hostLength + flagsLength) {
        return refuse("flags missing");
    }
    if (in.Remaining() > hostLength + flagsLength) {
        return refuse(flagsLength ? "bytes after the flags" : "bytes after the host");
    }
    request.host = in.Text(hostLength);
    if (flagsLength) {
        const auto flags = in.Unsigned(1);
        if ((flags & ~std::uint64_t{kNtsRequestFlag}) != 0) {
            return refuse("unknown flags " + std::to_string(flags));
        }
        request.nts = flags == kNtsRequestFlag;
    }
    std::string error = HostError(request.host);
    if (!error.empty()) {
        return refuse(std::move(error));
    }
    return {std::move(request), {}, replyVersion};
}

namespace {

// The secure flag and the certificate's names.
bool CarriesSecureTime(std::uint64_t version) {
    return version >= kClockServiceSecureVersion;
}

// The failure after the stratum, of version 2 or later: flags, kind, detail and texts.
void WriteFailure(const ClockServiceReply& reply, std::uint16_t version, Writer* out) {
    const Failure& failure = reply.failure;
    const bool secure = reply.secure && CarriesSecureTime(version);
    out->U8((reply.unconfirmed ? kUnconfirmedFlag : 0) | (secure ? kSecureFlag : 0));
    out->Unsigned(static_cast<std::uint16_t>(failure.kind), 2);
    out->Unsigned(failure.error, 4);
    out->Unsigned(failure.timeoutMs, 4);
    out->Unsigned(failure.secondsApart, 4);
    out->Unsigned(failure.process, 4);
    const std::string kiss = failure.kiss ? failure.kiss->text() : std::string(4, '\0');
    out->Text(kiss, KissCode::kLength);
    for (const std::string* name :
         {&failure.address, &failure.otherServer, &failure.otherAddress}) {
        out->Counted(*name, 1, kClockServiceMaxNameLength);
    }
    if (CarriesSecureTime(version)) {
        out->Counted(failure.certificateName, 1, kClockServiceMaxNameLength);
        out->Counted(failure.certificateIssuer, 1, kClockServiceMaxNameLength);
    }
    out->Counted(reply.reason, 2, kClockServiceMaxReasonLength);
}

// False when the bytes hold no failure of the version (2 or later) that fits the reply's status.
bool ReadFailure(Reader& in, std::uint64_t version, ClockServiceReply* reply) {
    if (in.Remaining() < kClockServiceFailureHeaderSize - kCommonHeaderSize) {
        return false;
    }
    const auto flags = in.Unsigned(1);
    const auto kind = in.Unsigned(2);
    Failure& failure = reply->failure;
    failure.error = static_cast<std::uint32_t>(in.Unsigned(4));
    failure.timeoutMs = static_cast<std::uint32_t>(in.Unsigned(4));
    failure.secondsApart = static_cast<std::uint32_t>(in.Unsigned(4));
    failure.process = static_cast<std::uint32_t>(in.Unsigned(4));
    const std::string kiss = in.Text(KissCode::kLength);
    const std::uint64_t knownFlags =
        kUnconfirmedFlag | (CarriesSecureTime(version) ? kSecureFlag : 0);
    const bool synchronised = reply->status == ClockServiceStatus::kSynchronised;
    // Only a time taken can have been authenticated.
    if ((flags & ~knownFlags) != 0 || (kind == 0) != synchronised ||
        ((flags & kSecureFlag) != 0 && !synchronised)) {
        return false;
    }
    reply->unconfirmed = (flags & kUnconfirmedFlag) != 0;
    reply->secure = (flags & kSecureFlag) != 0;
    // A newer service's kind: its sentence says what the program cannot.
    failure.kind = kind > static_cast<std::uint16_t>(kLastFailureKind)
                       ? FailureKind::kOther
                       : static_cast<FailureKind>(kind);
    if (failure.kind == FailureKind::kKissOfDeath) {
        failure.kiss = KissCode::FromText(kiss);
        if (!failure.kiss) {
            return false;
        }
    } else if (kiss != std::string(KissCode::kLength, '\0')) {
        return false;
    }
    std::vector<std::string*> names = {&failure.address, &failure.otherServer,
                                       &failure.otherAddress};
    if (CarriesSecureTime(version)) {
        names.push_back(&failure.certificateName);
        names.push_back(&failure.certificateIssuer);
    }
    for (std::string* name : names) {
        std::optional<std::string> text = in.Counted(1, kClockServiceMaxNameLength);
        if (!text) {
            return false;
        }
        *name = std::move(*text);
    }
    std::optional<std::string> reason = in.Counted(2, kClockServiceMaxReasonLength);
    if (!reason || in.Remaining() != 0) {
        return false;
    }
    reply->reason = std::move(*reason);
    failure.account = reply->reason;
    return true;
}

// Version 1's reason: the sentence, or on success whether the step went unconfirmed.
constexpr const char* kUnconfirmedReason = "not confirmed by a second server";

bool ReadReason(Reader& in, ClockServiceReply* reply) {
    std::optional<std::string> reason = in.Counted(2, kClockServiceMaxReasonLength);
    if (!reason || in.Remaining() != 0) {
        return false;
    }
    if (reply->ok()) {
        // Programs before it ignore a synchronised reply's reason.
        reply->unconfirmed = *reason == kUnconfirmedReason;
        return true;
    }
    reply->reason = std::move(*reason);
    reply->failure = reply->status == ClockServiceStatus::kMalformed
                         ? MalformedReply(reply->reason).failure
                         : ReadServiceReason(reply->reason);
    return true;
}

}  // namespace

std::vector<std::uint8_t> EncodeClockServiceReply(const ClockServiceReply& reply,
                                                  std::uint16_t version) {
    Writer out(kClockServiceMaxReplySize);
    out.Magic(kReplyMagic);
    out.Unsigned(version, 2);
    out.Unsigned(static_cast<std::uint16_t>(reply.status), 2);
    out.Unsigned(std::bit_cast<std::uint64_t>(reply.offset), 8);
    out.Unsigned(std::bit_cast<std::uint64_t>(reply.delay), 8);
    out.U8(static_cast<std::uint8_t>(std::clamp(reply.stratum, 0, 255)));
    if (version == kClockServiceFirstVersion) {
        const std::string reason =
            reply.ok() ? (reply.unconfirmed ? kUnconfirmedReason : "") : reply.reason;
        out.Counted(reason, 2, kClockServiceMaxReasonLength);
    } else {
        WriteFailure(reply, version, &out);
    }
    return out.Take();
}

std::optional<ClockServiceReply> ParseClockServiceReply(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kClockServiceReplyHeaderSize) {
        return std::nullopt;
    }
    Reader in(bytes);
    const bool magic = in.Magic(kReplyMagic);
    const auto version = in.Unsigned(2);
    const auto status = in.Unsigned(2);
    if (!magic || !SpeaksVersion(version) || status > kHighestStatus) {
        return std::nullopt;
    }
    ClockServiceReply reply;
    reply.status = static_cast<ClockServiceStatus>(status);
    reply.offset = std::bit_cast<double>(in.Unsigned(8));
    reply.delay = std::bit_cast<double>(in.Unsigned(8));
    reply.stratum = static_cast<std::int32_t>(in.Unsigned(1));
    if (!std::isfinite(reply.offset) || !std::isfinite(reply.delay)) {
        return std::nullopt;
    }
    const bool read = version == kClockServiceFirstVersion ? ReadReason(in, &reply)
                                                           : ReadFailure(in, version, &reply);
    if (!read) {
        return std::nullopt;
    }
    return reply;
}

bool RefusesVersion(const ClockServiceReply& reply, std::uint16_t version) {
    return version != kClockServiceFirstVersion && reply.status == ClockServiceStatus::kMalformed &&
           reply.reason == "unknown version " + std::to_string(version);
}

ClockServiceReply AskNewestFirst(const std::function<ClockServiceReply(std::uint16_t)>& ask) {
    std::uint16_t version = kClockServiceProtocolVersion;
    ClockServiceReply reply = ask(version);
    while (RefusesVersion(reply, version)) {
        reply = ask(--version);
    }
    return reply;
}

std::wstring ClockServicePipeNameWide() {
    const std::string name = kClockServicePipeName;  // plain ASCII
    return std::wstring(name.begin(), name.end());
}

ClockServiceReply UnsuccessfulReply(ClockServiceStatus status, Failure failure,
                                    const std::string& host) {
    ClockServiceReply reply;
    reply.status = status;
    reply.reason = ServiceReasonText(failure, host);
    reply.failure = std::move(failure);
    return reply;
}

ClockServiceReply MalformedReply(std::string check) {
    Failure failure = FailureOf(FailureKind::kMalformedRequest);
    failure.account = std::move(check);
    return UnsuccessfulReply(ClockServiceStatus::kMalformed, std::move(failure));
}
