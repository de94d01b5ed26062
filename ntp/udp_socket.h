// A connected UDP socket that closes its handle exactly once.
#pragma once

#include <cstdint>

#include "ntp/socket_api.h"

class UdpSocket {
  public:
    UdpSocket() = default;
    ~UdpSocket() { Close(); }

    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;

    bool Create();
    // Resolves the host (dotted IPv4 or name, first IPv4 address) and fixes the peer.
    bool Connect(const char* host, int port);
    long Send(const void* data, std::size_t length);
    long Receive(void* buffer, std::size_t capacity, net::Arrival* arrival = nullptr);
    net::WaitResult WaitReadable(std::uint32_t timeoutMs);
    // Keeps the thread's last error as it was.
    void Close();

    bool valid() const { return handle_ != net::kInvalidSocket; }
    net::SocketHandle handle() const { return handle_; }

  private:
    net::SocketHandle handle_ = net::kInvalidSocket;
};
