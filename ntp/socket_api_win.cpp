#include "ntp/socket_api.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <array>
#include <cstring>
#include <vector>

#include "ntp/socket_address.h"
#include "ntp/system_error_text_win.h"

namespace net {
namespace {

SOCKET Sock(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

int Length(std::size_t length) {
    return length > 0x7fffffff ? 0x7fffffff : static_cast<int>(length);
}

}  // namespace

int LastError() {
    return ::WSAGetLastError();
}

void SetLastError(int code) {
    ::WSASetLastError(code);
}

std::string ErrorText(int code) {
    const std::string text = SystemErrorText(static_cast<DWORD>(code));
    return text.empty() ? "error " + std::to_string(code) : text;
}

SocketHandle OpenUdp(Family family) {
    const SOCKET socket = ::socket(family == Family::kIpv6 ? AF_INET6 : AF_INET, SOCK_DGRAM, 0);
    return socket == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(socket);
}

SocketHandle OpenTcp() {
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, 0);
    return socket == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(socket);
}

bool Listen(SocketHandle socket) {
    return ::listen(Sock(socket), SOMAXCONN) == 0;
}

SocketHandle Accept(SocketHandle socket) {
    const SOCKET accepted = ::accept(Sock(socket), nullptr, nullptr);
    return accepted == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(accepted);
}

void Close(SocketHandle socket) {
    const int saved = ::WSAGetLastError();
    ::closesocket(Sock(socket));
    ::WSASetLastError(saved);
}

int Resolve(const std::string& host, std::uint16_t port, std::vector<Endpoint>* found) {
    const HostText text = ReadHostText(host);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = text.literalOnly ? AI_NUMERICHOST : 0;
    addrinfo* list = nullptr;
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
        const int code = rc != 0 ? rc : kErrorHostNotFound;
        ::WSASetLastError(code);
        return code;
    }
    return 0;
}

bool Connect(SocketHandle socket, const Endpoint& peer) {
    SocketAddress address = ToSockaddr(peer);
    return ::connect(Sock(socket), address.get(), address.length) == 0;
}

bool Bind(SocketHandle socket, const Endpoint& local) {
    SocketAddress address = ToSockaddr(local);
    return ::bind(Sock(socket), address.get(), address.length) == 0;
}

bool LocalEndpoint(SocketHandle socket, Endpoint* local) {
    SocketAddress address;
    address.length = sizeof address.storage;
    return ::getsockname(Sock(socket), address.get(), &address.length) == 0 &&
           FromSockaddr(address.get(), local);
}

long Send(SocketHandle socket, const void* data, std::size_t length) {
    return ::send(Sock(socket), static_cast<const char*>(data), Length(length), 0);
}

long Receive(SocketHandle socket, void* buffer, std::size_t capacity, Arrival*) {
    const int received = ::recv(Sock(socket), static_cast<char*>(buffer), Length(capacity), 0);
    // Winsock reports a datagram longer than the buffer as an error after filling the
    // buffer; POSIX truncates silently. Both are read as the truncated datagram.
    if (received == SOCKET_ERROR && ::WSAGetLastError() == WSAEMSGSIZE) {
        return Length(capacity);
    }
    return received;
}

long SendTo(SocketHandle socket, const void* data, std::size_t length, const Endpoint& peer) {
    SocketAddress address = ToSockaddr(peer);
    return ::sendto(Sock(socket), static_cast<const char*>(data), Length(length), 0, address.get(),
                    address.length);
}

long ReceiveFrom(SocketHandle socket, void* buffer, std::size_t capacity, Endpoint* peer) {
    SocketAddress address;
    address.length = sizeof address.storage;
    int received = ::recvfrom(Sock(socket), static_cast<char*>(buffer), Length(capacity), 0,
                              address.get(), &address.length);
    if (received == SOCKET_ERROR && ::WSAGetLastError() == WSAEMSGSIZE) {
        received = Length(capacity);
    }
    if (received >= 0 && peer != nullptr) {
        FromSockaddr(address.get(), peer);
    }
    return received;
}

WaitResult WaitReadable(SocketHandle socket, std::uint32_t timeoutMs) {
    std::size_t ready = 0;
    return WaitAnyReadable({socket}, timeoutMs, &ready);
}

WaitResult WaitAnyReadable(const std::vector<SocketHandle>& sockets, std::uint32_t timeoutMs,
                           std::size_t* ready) {
    static_assert(kMaxWaitSockets <= FD_SETSIZE);
    if (sockets.size() > kMaxWaitSockets) {
        ::WSASetLastError(WSAEINVAL);
        return WaitResult::kFailed;
    }
    fd_set readable;
    FD_ZERO(&readable);
    for (const SocketHandle socket : sockets) {
        FD_SET(Sock(socket), &readable);
    }
    timeval timeout{};
    timeout.tv_sec = static_cast<long>(timeoutMs / 1000);
    timeout.tv_usec = static_cast<long>((timeoutMs % 1000) * 1000);
    const int rc = ::select(0, &readable, nullptr, nullptr, &timeout);
    if (rc == SOCKET_ERROR) {
        return WaitResult::kFailed;
    }
    if (rc == 0) {
        return WaitResult::kTimedOut;
    }
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        if (FD_ISSET(Sock(sockets[i]), &readable)) {
            *ready = i;
            break;
        }
    }
    return WaitResult::kReadable;
}

}  // namespace net
