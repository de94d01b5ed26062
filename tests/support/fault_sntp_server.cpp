#include "tests/support/fault_sntp_server.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "ntp/sntp_packet.h"

namespace {

NtpTime ServerNow(const FaultConfig& config) {
    const NtpTime now = config.clock != nullptr ? config.clock->Now() : NtpTime::Now();
    return AddSeconds(now, config.clockOffsetSeconds);
}

void SleepMs(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void WriteUint32(std::uint8_t* bytes, std::uint32_t value) {
    bytes[0] = static_cast<std::uint8_t>(value >> 24);
    bytes[1] = static_cast<std::uint8_t>(value >> 16);
    bytes[2] = static_cast<std::uint8_t>(value >> 8);
    bytes[3] = static_cast<std::uint8_t>(value);
}

net::SocketHandle BoundSocket(const net::Endpoint& at) {
    const net::SocketHandle socket = net::OpenUdp(at.family);
    if (socket == net::kInvalidSocket || !net::Bind(socket, at)) {
        throw std::runtime_error("fault server: cannot bind: " + net::ErrorText(net::LastError()));
    }
    return socket;
}

}  // namespace

FaultSntpServer::FaultSntpServer(FaultConfig config, net::Endpoint bindTo)
    : config_(std::move(config)) {
    socket_ = BoundSocket(bindTo);
    otherSocket_ = BoundSocket(bindTo.WithPort(0));
    net::LocalEndpoint(socket_, &local_);
    thread_ = std::thread(&FaultSntpServer::Serve, this);
}

FaultSntpServer::~FaultSntpServer() {
    stopping_ = true;
    thread_.join();
    net::Close(socket_);
    net::Close(otherSocket_);
}

std::string FaultSntpServer::address() const {
    return net::AddressText(local_);
}

std::vector<std::chrono::steady_clock::time_point> FaultSntpServer::RequestTimes() const {
    std::lock_guard<std::mutex> lock(seenMutex_);
    return requestTimes_;
}

NtpTime FaultSntpServer::LastRequestStamp() const {
    std::lock_guard<std::mutex> lock(seenMutex_);
    return lastRequestStamp_;
}

void FaultSntpServer::Reconfigure(FaultConfig config) {
    std::lock_guard<std::mutex> lock(configMutex_);
    config_ = std::move(config);
}

void FaultSntpServer::Serve() {
    std::vector<Request> held;
    while (!stopping_) {
        if (net::WaitReadable(socket_, 50) != net::WaitResult::kReadable) {
            continue;
        }
        Request request{};
        const long length =
            net::ReceiveFrom(socket_, request.bytes.data(), request.bytes.size(), &request.client);
        if (length < 0) {
            continue;
        }
        request.length = static_cast<std::size_t>(length);
        {
            std::lock_guard<std::mutex> lock(seenMutex_);
            requestTimes_.push_back(std::chrono::steady_clock::now());
            if (request.length >= sntp::kHeaderSize) {
                lastRequestStamp_ = NtpTime::FromWire(&request.bytes[sntp::kTransmitOffset]);
            }
        }
        const int number = ++requests_;
        FaultConfig config;
        {
            std::lock_guard<std::mutex> lock(configMutex_);
            config = config_;
        }
        if (config.silentAfter > 0 && number > config.silentAfter) {
            continue;
        }
        const auto index = static_cast<std::size_t>(number - 1);
        SleepMs(index < config.pathDelaysMs.size() ? config.pathDelaysMs[index]
                                                   : config.pathDelayMs);
        request.received = ServerNow(config);
        held.push_back(request);
        if (static_cast<int>(held.size()) >= config.answerOnceRequests) {
            for (const Request& waiting : held) {
                Answer(waiting, config);
            }
            held.clear();
        }
    }
}

void FaultSntpServer::Answer(const Request& request, const FaultConfig& config) {
    if (config.fault == Fault::kSilent || request.length < sntp::kHeaderSize) {
        return;
    }
    SleepMs(config.holdMs);
    std::array<std::uint8_t, sntp::kHeaderSize> reply{};
    int leap = 0;
    int version = 4;
    int mode = sntp::kModeServer;
    int stratum = config.stratum;
    std::memcpy(&reply[sntp::kReferenceIdOffset], "LOCL", 4);
    WriteUint32(&reply[sntp::kRootDelayOffset], 0x00000100);  // about 4 ms
    WriteUint32(&reply[sntp::kRootDispersionOffset], 0x00000100);
    switch (config.fault) {
        case Fault::kWrongMode:
            mode = 3;
            break;
        case Fault::kBadVersion:
            version = 0;
            break;
        case Fault::kKissOfDeath:
            stratum = 0;
            std::memcpy(&reply[sntp::kReferenceIdOffset], config.kissCode.c_str(),
                        std::min<std::size_t>(4, config.kissCode.size()));
            break;
        case Fault::kStratumTooHigh:
            stratum = 16;
            break;
        case Fault::kUnsynchronised:
            leap = 3;
            break;
        case Fault::kRootDistance:
            WriteUint32(&reply[sntp::kRootDispersionOffset], 16u << 16);
            break;
        default:
            break;
    }
    reply[0] = static_cast<std::uint8_t>((leap << 6) | (version << 3) | mode);
    reply[1] = static_cast<std::uint8_t>(stratum);
    reply[2] = 6;                         // poll
    reply[3] = 0xEC;                      // precision, about 2^-20 s
    request.received.ToWire(&reply[16]);  // reference time
    std::memcpy(&reply[sntp::kOriginateOffset], &request.bytes[sntp::kTransmitOffset], 8);
    request.received.ToWire(&reply[sntp::kReceiveOffset]);
    if (config.fault != Fault::kZeroTransmit) {
        ServerNow(config).ToWire(&reply[sntp::kTransmitOffset]);
    }

    const std::size_t replyLength =
        config.fault == Fault::kShort ? config.shortLength : reply.size();
    if (config.fault == Fault::kForgedOriginate || config.fault == Fault::kForgedThenGenuine) {
        // A forger that cannot see the request guesses the originate; it also claims a
        // clock decades off, which must never reach the caller.
        std::array<std::uint8_t, sntp::kHeaderSize> forged = reply;
        if (config.echoStampOf != nullptr) {
            config.echoStampOf->LastRequestStamp().ToWire(&forged[sntp::kOriginateOffset]);
        } else {
            forged[sntp::kOriginateOffset + 7] ^= 0x01;
        }
        AddSeconds(request.received, -1.0e9).ToWire(&forged[sntp::kReceiveOffset]);
        AddSeconds(request.received, -1.0e9).ToWire(&forged[sntp::kTransmitOffset]);
        net::SendTo(socket_, forged.data(), forged.size(), request.client);
        if (config.fault == Fault::kForgedOriginate) {
            return;
        }
        SleepMs(20);
    }
    const net::SocketHandle from = config.fault == Fault::kOtherPort ? otherSocket_ : socket_;
    net::SendTo(from, reply.data(), replyLength, request.client);
}
