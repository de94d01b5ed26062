#include "nts/ke_records.h"

#include <algorithm>

#include "nts/big_endian.h"

namespace nts {

namespace {

constexpr std::uint16_t kCritical = 0x8000;
constexpr std::size_t kRecordHeader = 4;

enum RecordType : std::uint16_t {
    kEndOfMessage = 0,
    kNextProtocol = 1,
    kError = 2,
    kWarning = 3,
    kAead = 4,
    kNewCookie = 5,
    kServer = 6,
    kPort = 7,
};

constexpr std::uint16_t kProtocolNtpV4 = 0;
constexpr std::uint16_t kAeadAesSivCmac256 = 15;
// A cookie is the server's business, but one longer than this would not fit in a request.
constexpr std::size_t kMaxCookieLength = 1024;
constexpr std::size_t kMaxServerNameLength = 255;

void AppendRecord(Bytes& out, std::uint16_t type, std::initializer_list<std::uint16_t> body) {
    AppendU16(out, type);
    AppendU16(out, static_cast<std::uint16_t>(body.size() * 2));
    for (const std::uint16_t value : body) {
        AppendU16(out, value);
    }
}

// A list of 16-bit values naming exactly the one the client asked for.
bool IsOnly(ByteView body, std::uint16_t value) {
    return body.size() == 2 && U16(body.data()) == value;
}

// A host name or an address as text: printable ASCII without blanks.
bool IsHostText(ByteView body) {
    return !body.empty() && body.size() <= kMaxServerNameLength &&
           std::all_of(body.begin(), body.end(), [](std::uint8_t c) { return c > ' ' && c < 127; });
}

}  // namespace

Bytes EncodeKeRequest() {
    Bytes request;
    AppendRecord(request, kCritical | kNextProtocol, {kProtocolNtpV4});
    AppendRecord(request, kAead, {kAeadAesSivCmac256});
    AppendRecord(request, kCritical | kEndOfMessage, {});
    return request;
}

KeAnswerReader::State KeAnswerReader::Add(ByteView received) {
    if (state_ != State::kIncomplete) {
        return state_;
    }
    received_ += received.size();
    pending_.insert(pending_.end(), received.begin(), received.end());
    std::size_t at = 0;
    while (state_ == State::kIncomplete && pending_.size() - at >= kRecordHeader) {
        const std::uint16_t typeField = U16(&pending_[at]);
        const std::size_t length = U16(&pending_[at + 2]);
        if (pending_.size() - at - kRecordHeader < length) {
            break;
        }
        const ByteView body(&pending_[at + kRecordHeader], length);
        at += kRecordHeader + length;
        const std::uint16_t type = typeField & ~kCritical;
        if (type == kEndOfMessage) {
            // The answer ends here. What follows is never read, whether it came in the same
            // piece or would come in a later one: where TLS cuts the records must not matter.
            if (length != 0) {
                Fail(FailureKind::kNtsKeMalformed, "data after the end of the message");
            } else {
                Complete();
            }
            break;
        }
        ReadRecord(type, (typeField & kCritical) != 0, body);
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
    // Counted only while the end is still to come, for the same reason.
    if (state_ == State::kIncomplete && received_ > kMaxAnswerLength) {
        Fail(FailureKind::kNtsKeMalformed, "an answer longer than any key exchange's");
    }
    return state_;
}

KeAnswerReader::State KeAnswerReader::Closed() {
    if (state_ == State::kIncomplete) {
        Fail(FailureKind::kNtsKeMalformed, "the answer ended before its end of message");
    }
    return state_;
}

bool KeAnswerReader::ReadRecord(std::uint16_t type, bool critical, ByteView body) {
    switch (type) {
        case kNextProtocol:
            if (nextProtocolSeen_ || !IsOnly(body, kProtocolNtpV4)) {
                return Fail(FailureKind::kNtsKeMalformed, "no agreement on NTPv4");
            }
            nextProtocolSeen_ = true;
            return true;
        case kError:
            if (body.size() != 2) {
                return Fail(FailureKind::kNtsKeMalformed, "an error record of the wrong size");
            }
            Fail(FailureKind::kNtsKeRefused,
                 "the key exchange refused us (error " + std::to_string(U16(body.data())) + ")");
            failure_.error = U16(body.data());
            return false;
        case kWarning:
            // No warning is defined yet, so none can be understood and acted on.
            return Fail(FailureKind::kNtsKeMalformed,
                        body.size() == 2
                            ? "an unknown warning (" + std::to_string(U16(body.data())) + ")"
                            : "a warning record of the wrong size");
        case kAead:
            if (aeadSeen_ || !IsOnly(body, kAeadAesSivCmac256)) {
                return Fail(FailureKind::kNtsKeMalformed, "no agreement on AES-SIV-CMAC-256");
            }
            aeadSeen_ = true;
            return true;
        case kNewCookie:
            if (body.empty() || body.size() > kMaxCookieLength) {
                return Fail(FailureKind::kNtsKeMalformed, "a cookie of an impossible size");
            }
            if (answer_.cookies.size() < kMaxCookies) {
                answer_.cookies.emplace_back(body.begin(), body.end());
            }
            return true;
        case kServer:
            if (serverSeen_ || !IsHostText(body)) {
                return Fail(FailureKind::kNtsKeMalformed, "a server record that names no host");
            }
            serverSeen_ = true;
            answer_.server.assign(body.begin(), body.end());
            return true;
        case kPort:
            if (portSeen_ || body.size() != 2 || U16(body.data()) == 0) {
                return Fail(FailureKind::kNtsKeMalformed, "a port record that names no port");
            }
            portSeen_ = true;
            answer_.port = U16(body.data());
            return true;
        default:
            if (critical) {
                return Fail(FailureKind::kNtsKeMalformed,
                            "an unknown critical record (type " + std::to_string(type) + ")");
            }
            return true;
    }
}

bool KeAnswerReader::Complete() {
    if (!nextProtocolSeen_) {
        return Fail(FailureKind::kNtsKeMalformed, "no agreement on NTPv4");
    }
    if (!aeadSeen_) {
        return Fail(FailureKind::kNtsKeMalformed, "no agreement on AES-SIV-CMAC-256");
    }
    if (answer_.cookies.empty()) {
        return Fail(FailureKind::kNtsNoCookies, "no cookies");
    }
    state_ = State::kComplete;
    return true;
}

bool KeAnswerReader::Fail(FailureKind kind, std::string account) {
    failure_ = FailureOf(kind);
    failure_.account = std::move(account);
    state_ = State::kFailed;
    answer_ = {};
    return false;
}

}  // namespace nts
