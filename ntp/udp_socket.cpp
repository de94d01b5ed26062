#include "ntp/udp_socket.h"

#include <utility>

UdpSocket::UdpSocket(UdpSocket&& other) noexcept
    : handle_(std::exchange(other.handle_, net::kInvalidSocket)) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, net::kInvalidSocket);
    }
    return *this;
}

bool UdpSocket::Create() {
    Close();
    handle_ = net::OpenUdp();
    return valid();
}

bool UdpSocket::Connect(const char* host, int port) {
    std::uint32_t address = 0;
    if (net::ResolveIpv4(host, &address) != 0) {
        return false;
    }
    return net::Connect(handle_, {address, static_cast<std::uint16_t>(port)});
}

long UdpSocket::Send(const void* data, std::size_t length) {
    return net::Send(handle_, data, length);
}

long UdpSocket::Receive(void* buffer, std::size_t capacity, net::Arrival* arrival) {
    return net::Receive(handle_, buffer, capacity, arrival);
}

net::WaitResult UdpSocket::WaitReadable(std::uint32_t timeoutMs) {
    return net::WaitReadable(handle_, timeoutMs);
}

void UdpSocket::Close() {
    if (valid()) {
        net::Close(std::exchange(handle_, net::kInvalidSocket));
    }
}
