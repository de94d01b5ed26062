// A man in the middle for tests: a UDP relay on a loopback port that forwards each request to
// a real server and hands the server's reply to the test, which says what the client gets
// instead (nothing, the reply changed, or several datagrams in order).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "ntp/socket_api.h"

class UdpRelay {
  public:
    using Datagram = std::vector<std::uint8_t>;
    // Called on the relay's thread for each request the server answered.
    using Tamper = std::function<std::vector<Datagram>(const Datagram& request, Datagram reply)>;

    UdpRelay(net::Endpoint server, Tamper tamper);
    ~UdpRelay();
    UdpRelay(const UdpRelay&) = delete;
    UdpRelay& operator=(const UdpRelay&) = delete;

    std::uint16_t port() const { return local_.port; }
    int exchanges() const { return exchanges_; }

  private:
    void Serve();

    net::Endpoint server_;
    Tamper tamper_;
    net::SocketHandle socket_ = net::kInvalidSocket;
    net::Endpoint local_;
    std::atomic<int> exchanges_{0};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
