// A connected UDP socket that closes its handle exactly once.
#pragma once

#include <cstddef>

#include "ntp/socket_api.h"

class UdpSocket {
  public:
    UdpSocket() = default;
    ~UdpSocket() { Close(); }

    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;

    bool Create(net::Family family);
    // Fixes the peer: only its datagrams are received, and an ICMP refusal reaches Receive.
    bool Connect(const net::Endpoint& peer);
    long Send(const void* data, std::size_t length);
    long Receive(void* buffer, std::size_t capacity, net::Arrival* arrival = nullptr);
    // Keeps the thread's last error as it was.
    void Close();

    bool valid() const { return handle_ != net::kInvalidSocket; }
    net::SocketHandle handle() const { return handle_; }

  private:
    net::SocketHandle handle_ = net::kInvalidSocket;
};
