#include "ntp/socket_api.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace net {
namespace {

SOCKET Sock(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

sockaddr_in ToSockaddr(Endpoint endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    address.sin_addr.s_addr = htonl(endpoint.address);
    return address;
}

Endpoint FromSockaddr(const sockaddr_in& address) {
    return {ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
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
    char text[256] = {};
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    std::string result(text, length);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == ' ' || result.back() == '.')) {
        result.pop_back();
    }
    return result.empty() ? "error " + std::to_string(code) : result;
}

SocketHandle OpenUdp() {
    const SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, 0);
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

int ResolveIpv4(const char* host, std::uint32_t* address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host, nullptr, &hints, &found);
    if (rc != 0 || found == nullptr) {
        const int code = rc != 0 ? rc : kErrorHostNotFound;
        ::WSASetLastError(code);
        return code;
    }
    *address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return 0;
}

bool Connect(SocketHandle socket, Endpoint peer) {
    const sockaddr_in address = ToSockaddr(peer);
    return ::connect(Sock(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
           0;
}

bool Bind(SocketHandle socket, Endpoint local) {
    const sockaddr_in address = ToSockaddr(local);
    return ::bind(Sock(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool LocalEndpoint(SocketHandle socket, Endpoint* local) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(Sock(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return false;
    }
    *local = FromSockaddr(address);
    return true;
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

long SendTo(SocketHandle socket, const void* data, std::size_t length, Endpoint peer) {
    const sockaddr_in address = ToSockaddr(peer);
    return ::sendto(Sock(socket), static_cast<const char*>(data), Length(length), 0,
                    reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

long ReceiveFrom(SocketHandle socket, void* buffer, std::size_t capacity, Endpoint* peer) {
    sockaddr_in address{};
    int length = sizeof address;
    int received = ::recvfrom(Sock(socket), static_cast<char*>(buffer), Length(capacity), 0,
                              reinterpret_cast<sockaddr*>(&address), &length);
    if (received == SOCKET_ERROR && ::WSAGetLastError() == WSAEMSGSIZE) {
        received = Length(capacity);
    }
    if (received >= 0 && peer != nullptr) {
        *peer = FromSockaddr(address);
    }
    return received;
}

WaitResult WaitReadable(SocketHandle socket, std::uint32_t timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Sock(socket), &readable);
    timeval timeout{};
    timeout.tv_sec = static_cast<long>(timeoutMs / 1000);
    timeout.tv_usec = static_cast<long>((timeoutMs % 1000) * 1000);
    const int rc = ::select(0, &readable, nullptr, nullptr, &timeout);
    if (rc == SOCKET_ERROR) {
        return WaitResult::kFailed;
    }
    return rc > 0 ? WaitResult::kReadable : WaitResult::kTimedOut;
}

}  // namespace net
