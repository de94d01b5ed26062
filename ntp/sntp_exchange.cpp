#include "ntp/sntp_exchange.h"

#include <array>
#include <vector>
#include <random>

#include "ntp/sntp_packet.h"

namespace {

std::uint32_t RandomBits() {
    std::random_device device;
    return device();
}

std::string StepFailure(const char* step, int code) {
    return std::string(step) + ": " + net::ErrorText(code);
}

}  // namespace

SntpExchange::State SntpExchange::Fail(FailureKind kind, int code, std::string account) {
    failure_.kind = kind;
    failure_.error = static_cast<std::uint32_t>(code);
    failure_.account = std::move(account);
    socket_.Close();
    state_ = State::kFailed;
    return state_;
}

SntpExchange::State SntpExchange::Start(TimeSource& clock) {
    if (!socket_.Create(peer_.family)) {
        return Fail(FailureKind::kSocketError, net::LastError(),
                    StepFailure("socket", net::LastError()));
    }
    if (!socket_.Connect(peer_)) {
        return Fail(FailureKind::kSocketError, net::LastError(),
                    StepFailure("connect", net::LastError()));
    }
    sent_ = sntp::WithRandomLowBits(clock.Now(), RandomBits());
    const sntp::Packet request = sntp::BuildRequest(sent_);
    const std::vector<std::uint8_t> datagram =
        seal_ != nullptr ? seal_->Seal(request)
                         : std::vector<std::uint8_t>(request.begin(), request.end());
    if (socket_.Send(datagram.data(), datagram.size()) < 0) {
        return Fail(FailureKind::kSocketError, net::LastError(),
                    StepFailure("send", net::LastError()));
    }
    return state_;
}

SntpExchange::State SntpExchange::ReadReply(TimeSource& clock, SntpResult* result) {
    NtpTime destination = clock.Now();
    std::array<std::uint8_t, RequestSeal::kMaxReplySize> reply{};
    const std::size_t capacity = seal_ != nullptr ? reply.size() : sntp::kMaxReplySize;
    net::Arrival arrival;
    const long received = socket_.Receive(reply.data(), capacity, &arrival);
    if (received < 0) {
        return Fail(FailureKind::kSocketError, net::LastError(),
                    StepFailure("recv", net::LastError()));
    }
    const auto length = static_cast<std::size_t>(received);
    const sntp::ReplyVerdict verdict = sntp::CheckReply(reply.data(), length, sent_);
    if (!verdict.answersRequest) {
        return state_;  // a stray or forged datagram: keep waiting for the genuine reply
    }
    if (seal_ != nullptr) {
        const RequestSeal::Verdict sealed = seal_->Open(reply.data(), length);
        if (sealed == RequestSeal::Verdict::kOtherRequest) {
            return state_;
        }
        // A server that cannot read the cookie says so unauthenticated, with the request's
        // identifier; any other reply without proof is passed over, whatever it claims.
        const bool newKeysAsked =
            verdict.failure.kiss && verdict.failure.kiss->meaning() == KissCode::Meaning::kNewKeys;
        if (sealed == RequestSeal::Verdict::kNotAuthenticated && !newKeysAsked) {
            forgeryPassedOver_ = true;
            return state_;
        }
    }
    if (verdict.failure.failed()) {
        Fail(verdict.failure.kind, SntpClient::kErrorRejectedReply, verdict.failure.account);
        failure_.kiss = verdict.failure.kiss;
        return state_;
    }
    if (arrival.known) {
        destination = clock.FromSystemReading(arrival.utc);
    }
    const sntp::ReplyFields& fields = verdict.fields;
    const sntp::OffsetAndDelay measured =
        sntp::ComputeOffsetAndDelay(fields.originate, fields.receive, fields.transmit, destination);
    result->leap = fields.leap;
    result->stratum = fields.stratum;
    result->originate = fields.originate;
    result->receive = fields.receive;
    result->transmit = fields.transmit;
    result->destination = destination;
    result->delay = measured.delay;
    result->offset = measured.offset;
    result->address = net::AddressText(peer_);
    socket_.Close();
    state_ = State::kAnswered;
    return state_;
}
