// The socket calls that read the same on Winsock and POSIX, written once.
#include <string>
#include <vector>

#include "ntp/socket_system.h"

namespace net {

int Resolve(const std::string& host, std::uint16_t port, std::vector<Endpoint>* found) {
    const HostText text = ReadHostText(host);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = text.literalOnly ? AI_NUMERICHOST : 0;
    addrinfo* list = nullptr;
    SetLastError(0);
    const int rc = ::getaddrinfo(text.host.c_str(), nullptr, &hints, &list);
    found->clear();
    if (rc == 0) {
        for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
            Endpoint endpoint;
            if (FromSockaddr(entry->ai_addr, &endpoint)) {
                found->push_back(endpoint.WithPort(port));
            }
        }
        ::freeaddrinfo(list);
    }
    if (found->empty()) {
        const int code = rc != 0 ? ResolverError(rc) : kErrorHostNotFound;
        SetLastError(code);
        return code;
    }
    return 0;
}

bool Connect(SocketHandle socket, const Endpoint& peer) {
    SocketAddress address = ToSockaddr(peer);
    return ::connect(Native(socket), address.get(), address.length) == 0;
}

bool Bind(SocketHandle socket, const Endpoint& local) {
    SocketAddress address = ToSockaddr(local);
    return ::bind(Native(socket), address.get(), address.length) == 0;
}

bool LocalEndpoint(SocketHandle socket, Endpoint* local) {
    SocketAddress address;
    address.length = sizeof address.storage;
    return ::getsockname(Native(socket), address.get(), &address.length) == 0 &&
           FromSockaddr(address.get(), local);
}

WaitResult WaitReadable(SocketHandle socket, std::uint32_t timeoutMs) {
    std::size_t ready = 0;
    return WaitAnyReadable({socket}, timeoutMs, &ready);
}

}  // namespace net
