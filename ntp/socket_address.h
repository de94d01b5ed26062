// Conversions between an Endpoint and the system's socket address, written once for Winsock
// and POSIX, whose socket address types agree. Only the socket layer's own source files
// include it, through socket_system.h, which brings the system's headers first.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "ntp/endpoint.h"

namespace net {

// A socket address of either family, sized for the system calls.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;  // an int on Winsock

    sockaddr* get() { return reinterpret_cast<sockaddr*>(&storage); }
};

inline SocketAddress ToSockaddr(const Endpoint& endpoint) {
    SocketAddress address;
    if (endpoint.family == Family::kIpv6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address.storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(endpoint.port);
        std::memcpy(&in6->sin6_addr, endpoint.bytes.data(), 16);
        in6->sin6_scope_id = endpoint.scopeId;
        address.length = sizeof(sockaddr_in6);
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&address.storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(endpoint.port);
        std::memcpy(&in4->sin_addr, endpoint.bytes.data(), 4);
        address.length = sizeof(sockaddr_in);
    }
    return address;
}

// False for a family other than IPv4 and IPv6.
inline bool FromSockaddr(const sockaddr* address, Endpoint* endpoint) {
    if (address->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        std::array<std::uint8_t, 16> bytes{};
        std::memcpy(bytes.data(), &in6->sin6_addr, 16);
        *endpoint = Endpoint::Ipv6(bytes, ntohs(in6->sin6_port), in6->sin6_scope_id);
        return true;
    }
    if (address->sa_family == AF_INET) {
        const auto* in4 = reinterpret_cast<const sockaddr_in*>(address);
        *endpoint = Endpoint(ntohl(in4->sin_addr.s_addr), ntohs(in4->sin_port));
        return true;
    }
    return false;
}

}  // namespace net
