#include "ntp/sntp_client.h"

#include <array>
#include <chrono>
#include <random>

#include "ntp/sntp_packet.h"
#include "ntp/udp_socket.h"

namespace {

std::uint32_t RandomBits() {
    std::random_device device;
    return device();
}

std::string StepFailure(const char* step, int code) {
    return std::string(step) + ": " + net::ErrorText(code) + " (" + std::to_string(code) + ")";
}

}  // namespace

SntpClient::SntpClient(TimeSource& clock, std::uint32_t timeoutMs, QueryInterrupter* interrupter)
    : clock_(clock), timeoutMs_(timeoutMs), interrupter_(interrupter) {}

bool SntpClient::Fail(int code, std::string reason) {
    failure_ = {code, std::move(reason)};
    net::SetLastError(code);
    return false;
}

bool SntpClient::Query(const char* host, SntpResult* result, int port) {
    failure_ = {};
    UdpSocket socket;
    if (!socket.Create()) {
        return Fail(net::LastError(), StepFailure("socket", net::LastError()));
    }
    if (IsInterrupted(interrupter_)) {
        return Fail(kErrorInterrupted, "query interrupted");
    }
    if (!socket.Connect(host, port)) {
        const int code = net::LastError();
        return Fail(code, StepFailure("connect", code));
    }

    const NtpTime sent = sntp::WithRandomLowBits(clock_.Now(), RandomBits());
    const sntp::Packet request = sntp::BuildRequest(sent);
    if (socket.Send(request.data(), request.size()) < 0) {
        const int code = net::LastError();
        return Fail(code, StepFailure("send", code));
    }

    using Steady = std::chrono::steady_clock;
    const auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs_);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
        if (left <= 0) {
            return Fail(net::kErrorTimedOut,
                        "no reply within " + std::to_string(timeoutMs_) + " ms");
        }
        // In short slices when the query can be interrupted, to notice that soon.
        const bool sliced = interrupter_ != nullptr && left > QueryInterrupter::kCheckIntervalMs;
        const net::WaitResult waited = socket.WaitReadable(
            sliced ? QueryInterrupter::kCheckIntervalMs : static_cast<std::uint32_t>(left));
        if (IsInterrupted(interrupter_)) {
            return Fail(kErrorInterrupted, "query interrupted");
        }
        if (waited == net::WaitResult::kTimedOut) {
            continue;
        }
        if (waited == net::WaitResult::kFailed) {
            return Fail(net::kErrorTimedOut, "waiting for the reply failed");
        }
        NtpTime destination = clock_.Now();
        std::array<std::uint8_t, sntp::kMaxReplySize> reply{};
        net::Arrival arrival;
        const long received = socket.Receive(reply.data(), reply.size(), &arrival);
        if (received < 0) {
            const int code = net::LastError();
            return Fail(code, StepFailure("recv", code));
        }
        const sntp::ReplyVerdict verdict =
            sntp::CheckReply(reply.data(), static_cast<std::size_t>(received), sent);
        if (verdict.check == sntp::ReplyCheck::kNotOurs) {
            continue;  // a stray or forged datagram: keep waiting for the genuine reply
        }
        if (verdict.check != sntp::ReplyCheck::kAccepted) {
            return Fail(kErrorRejectedReply, verdict.reason);
        }
        if (arrival.known) {
            destination = clock_.FromSystemReading(arrival.utc);
        }
        const sntp::ReplyFields& fields = verdict.fields;
        const sntp::OffsetAndDelay measured = sntp::ComputeOffsetAndDelay(
            fields.originate, fields.receive, fields.transmit, destination);
        result->leap = fields.leap;
        result->stratum = fields.stratum;
        result->originate = fields.originate;
        result->receive = fields.receive;
        result->transmit = fields.transmit;
        result->destination = destination;
        result->delay = measured.delay;
        result->offset = measured.offset;
        return true;
    }
}
