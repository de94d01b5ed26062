// One request to one address of a server and the wait for its reply. Each exchange has its
// own socket, connected to that address, and its own unguessable transmit stamp: a reply
// counts only when it arrives on that socket and echoes that stamp.
#pragma once

#include <string>

#include "ntp/endpoint.h"
#include "ntp/request_seal.h"
#include "ntp/sntp_client.h"
#include "ntp/udp_socket.h"

class SntpExchange {
  public:
    enum class State { kWaiting, kAnswered, kFailed };

    // With a seal, the request is sealed and a reply counts only when the seal opens it.
    explicit SntpExchange(const net::Endpoint& peer, RequestSeal* seal = nullptr)
        : peer_(peer), seal_(seal) {}

    // Opens the socket and sends the request; a socket error fails the exchange at once.
    State Start(TimeSource& clock);
    // Reads one datagram once the socket is readable. A datagram that does not echo this
    // exchange's stamp is dropped and the exchange goes on waiting; on kAnswered the result
    // holds the reply's measurement.
    State ReadReply(TimeSource& clock, SntpResult* result);

    State state() const { return state_; }
    const net::Endpoint& peer() const { return peer_; }
    const Failure& failure() const { return failure_; }
    // A reply claimed to answer this sealed request without proof; the exchange waited on.
    bool forgeryPassedOver() const { return forgeryPassedOver_; }
    net::SocketHandle handle() const { return socket_.handle(); }

  private:
    State Fail(FailureKind kind, int code, std::string account);

    net::Endpoint peer_;
    RequestSeal* seal_;
    bool forgeryPassedOver_ = false;
    UdpSocket socket_;
    NtpTime sent_;
    State state_ = State::kWaiting;
    Failure failure_;
};
