// An SNTP server for tests that answers on a loopback address (IPv4 or IPv6) and can be told
// to misbehave in the ways a real or hostile server might.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "ntp/ntp_time.h"
#include "ntp/socket_api.h"

enum class Fault {
    kNone,
    kSilent,             // never answers
    kShort,              // answers with only shortLength bytes
    kWrongMode,          // mode 3 instead of 4
    kBadVersion,         // version 0
    kKissOfDeath,        // stratum 0 with kissCode as reference id
    kStratumTooHigh,     // stratum 16
    kUnsynchronised,     // leap indicator 3
    kZeroTransmit,       // transmit timestamp 0
    kRootDistance,       // root dispersion of 16 s
    kForgedOriginate,    // only a reply with the wrong originate timestamp
    kForgedThenGenuine,  // a forged reply first, then the genuine one
    kOtherPort,          // the genuine reply, but sent from another port
};

class FaultSntpServer;

struct FaultConfig {
    Fault fault = Fault::kNone;
    double clockOffsetSeconds = 0;  // the server's clock against this machine's
    std::uint32_t holdMs = 0;       // between receive and transmit stamps
    std::uint32_t pathDelayMs = 0;  // before receiving, as if the request travelled that long
    std::vector<std::uint32_t> pathDelaysMs = {};  // for the first requests, in order, instead
    int stratum = 2;
    std::string kissCode = "RATE";
    std::size_t shortLength = 20;
    int answerOnceRequests = 0;  // hold all replies until this many requests are in
    int silentAfter = 0;         // answers only this many requests, when positive
    Clock* clock = nullptr;      // the server's time source, instead of this machine's clock
    // For the forged faults: the forged reply echoes the last request that server received,
    // as a reply meant for another of the client's sockets would, instead of a guess.
    const FaultSntpServer* echoStampOf = nullptr;
};

class FaultSntpServer {
  public:
    explicit FaultSntpServer(FaultConfig config = {},
                             net::Endpoint bindTo = {net::kLoopbackAddress, 0});
    ~FaultSntpServer();
    FaultSntpServer(const FaultSntpServer&) = delete;
    FaultSntpServer& operator=(const FaultSntpServer&) = delete;

    std::uint16_t port() const { return local_.port; }
    // The bound address as text, ready to query: "127.0.0.1" or "::1".
    std::string address() const;
    int requests() const { return requests_; }
    // When each request arrived, in order.
    std::vector<std::chrono::steady_clock::time_point> RequestTimes() const;
    // The transmit stamp of the last request received.
    NtpTime LastRequestStamp() const;
    void Reconfigure(FaultConfig config);

  private:
    void Serve();
    struct Request {
        std::array<std::uint8_t, 512> bytes;
        std::size_t length;
        net::Endpoint client;
        NtpTime received;
    };
    void Answer(const Request& request, const FaultConfig& config);

    net::SocketHandle socket_ = net::kInvalidSocket;
    net::SocketHandle otherSocket_ = net::kInvalidSocket;
    net::Endpoint local_;
    std::mutex configMutex_;
    FaultConfig config_;
    std::atomic<int> requests_{0};
    mutable std::mutex seenMutex_;
    std::vector<std::chrono::steady_clock::time_point> requestTimes_;
    NtpTime lastRequestStamp_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
