#include "ntp/sntp_client.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "ntp/sntp_exchange.h"

namespace {

using Steady = std::chrono::steady_clock;

// Every address asked may be waited on at once.
static_assert(SntpClient::kMaxAddresses <= net::kMaxWaitSockets);

std::uint32_t MsUntil(Steady::time_point then, Steady::time_point now) {
    return static_cast<std::uint32_t>(std::max<std::int64_t>(
        0, std::chrono::ceil<std::chrono::milliseconds>(then - now).count()));
}

// The sockets of the exchanges still waiting for their reply, and where each exchange is.
struct Waiting {
    std::vector<net::SocketHandle> sockets;
    std::vector<std::size_t> exchanges;
};

Waiting StillWaiting(const std::vector<SntpExchange>& exchanges) {
    Waiting waiting;
    for (std::size_t i = 0; i < exchanges.size(); ++i) {
        if (exchanges[i].state() == SntpExchange::State::kWaiting) {
            waiting.sockets.push_back(exchanges[i].handle());
            waiting.exchanges.push_back(i);
        }
    }
    return waiting;
}

}  // namespace

SntpClient::SntpClient(TimeSource& clock, std::uint32_t timeoutMs, QueryInterrupter* interrupter)
    : clock_(clock), timeoutMs_(timeoutMs), interrupter_(interrupter) {}

bool SntpClient::Fail(FailureKind kind, int code, std::string account) {
    failure_.kind = kind;
    failure_.error = static_cast<std::uint32_t>(code);
    failure_.account = std::move(account);
    net::SetLastError(code);
    return false;
}

bool SntpClient::FailEveryAddress(const Failure& last, const std::string& lastAddress,
                                  std::size_t addresses) {
    failure_ = last;
    failure_.address = lastAddress;
    if (addresses == 1) {
        return Fail(last.kind, static_cast<int>(last.error), last.account);
    }
    return Fail(last.kind, static_cast<int>(last.error),
                last.account + " (from " + lastAddress + ", the last of " +
                    std::to_string(addresses) + " addresses)");
}

bool SntpClient::FailTimedOut(std::size_t asked, std::size_t addresses,
                              const std::string& lastAddress) {
    failure_.address = lastAddress;
    failure_.timeoutMs = timeoutMs_;
    std::string reason = "no reply within " + std::to_string(timeoutMs_) + " ms";
    if (addresses > 1) {
        reason +=
            " (" + std::to_string(asked) + " of " + std::to_string(addresses) + " addresses asked)";
    }
    return Fail(FailureKind::kNoAnswer, net::kErrorTimedOut, reason);
}

bool SntpClient::Query(const char* host, SntpResult* result, int port) {
    failure_ = {};
    if (IsInterrupted(interrupter_)) {
        return Fail(FailureKind::kAbandoned, kErrorInterrupted, "query interrupted");
    }
    std::vector<net::Endpoint> peers;
    if (net::Resolve(host, static_cast<std::uint16_t>(port), &peers) != 0) {
        const int code = net::LastError();
        return Fail(FailureKind::kUnresolved, code, "connect: " + net::ErrorText(code));
    }
    peers.resize(std::min(peers.size(), seal_ != nullptr ? std::size_t{1} : kMaxAddresses));
    // Resolving a name can take a while.
    if (IsInterrupted(interrupter_)) {
        return Fail(FailureKind::kAbandoned, kErrorInterrupted, "query interrupted");
    }

    std::vector<SntpExchange> exchanges;
    exchanges.reserve(peers.size());
    const auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs_);
    auto nextStart = Steady::now();
    for (;;) {
        auto now = Steady::now();
        Waiting waiting = StillWaiting(exchanges);
        while (exchanges.size() < peers.size() && (exchanges.empty() || now < deadline) &&
               (now >= nextStart || waiting.sockets.empty())) {
            exchanges.emplace_back(peers[exchanges.size()], seal_);
            exchanges.back().Start(clock_);
            now = Steady::now();
            nextStart = now + std::chrono::milliseconds(kNextAddressAfterMs);
            waiting = StillWaiting(exchanges);
        }
        if (waiting.sockets.empty() && exchanges.size() == peers.size()) {
            return FailEveryAddress(exchanges.back().failure(),
                                    net::AddressText(exchanges.back().peer()), peers.size());
        }
        if (now >= deadline) {
            if (exchanges.back().forgeryPassedOver()) {
                failure_.address = net::AddressText(exchanges.back().peer());
                return Fail(FailureKind::kNtsNotAuthenticated, kErrorRejectedReply,
                            "only replies without proof arrived");
            }
            return FailTimedOut(exchanges.size(), peers.size(),
                                net::AddressText(exchanges.back().peer()));
        }

        std::uint32_t waitMs = MsUntil(deadline, now);
        if (exchanges.size() < peers.size()) {
            waitMs = std::min(waitMs, MsUntil(nextStart, now));
        }
        // In short slices when the query can be interrupted, to notice that soon.
        if (interrupter_ != nullptr) {
            waitMs = std::min(waitMs, QueryInterrupter::kCheckIntervalMs);
        }
        std::size_t ready = 0;
        const net::WaitResult waited = net::WaitAnyReadable(waiting.sockets, waitMs, &ready);
        if (IsInterrupted(interrupter_)) {
            return Fail(FailureKind::kAbandoned, kErrorInterrupted, "query interrupted");
        }
        if (waited == net::WaitResult::kTimedOut) {
            continue;
        }
        if (waited == net::WaitResult::kFailed) {
            failure_.timeoutMs = timeoutMs_;
            return Fail(FailureKind::kNoAnswer, net::kErrorTimedOut,
                        "waiting for the reply failed");
        }
        if (exchanges[waiting.exchanges[ready]].ReadReply(clock_, result) ==
            SntpExchange::State::kAnswered) {
            return true;
        }
    }
}
