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

bool UdpSocket::Create(net::Family family) {
    Close();
    handle_ = net::OpenUdp(family);
    return valid();
}

bool UdpSocket::Connect(const net::Endpoint& peer) {
    return net::Connect(handle_, peer);
}

long UdpSocket::Send(const void* data, std::size_t length) {
    return net::Send(handle_, data, length);
}

long UdpSocket::Receive(void* buffer, std::size_t capacity, net::Arrival* arrival) {
    return net::Receive(handle_, buffer, capacity, arrival);
}

void UdpSocket::Close() {
    if (valid()) {
        net::Close(std::exchange(handle_, net::kInvalidSocket));
    }
}
