#include "ntp/socket_api.h"

#include <array>
#include <cstring>
#include <vector>

#include "ntp/socket_system.h"
#include "base/system_error_text_win.h"

namespace net {

SOCKET Native(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

// getaddrinfo's codes are Winsock's own.
int ResolverError(int code) {
    return code;
}

namespace {

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
    return ErrorTextWithCode(static_cast<DWORD>(code));
}

SocketHandle OpenUdp(Family family) {
    const SOCKET socket = ::socket(family == Family::kIpv6 ? AF_INET6 : AF_INET, SOCK_DGRAM, 0);
    return socket == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(socket);
}

SocketHandle OpenTcp(Family family) {
    const SOCKET socket = ::socket(family == Family::kIpv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    return socket == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(socket);
}

bool ConnectWithin(SocketHandle socket, const Endpoint& peer, std::uint32_t timeoutMs) {
    const SOCKET native = Native(socket);
    u_long nonBlocking = 1;
    if (::ioctlsocket(native, FIONBIO, &nonBlocking) != 0) {
        return false;
    }
    SocketAddress address = ToSockaddr(peer);
    int error = ::connect(native, address.get(), address.length) == 0 ? 0 : ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK) {
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(native, &writable);
        FD_SET(native, &failed);
        timeval timeout{};
        timeout.tv_sec = static_cast<long>(timeoutMs / 1000);
        timeout.tv_usec = static_cast<long>((timeoutMs % 1000) * 1000);
        // Winsock reports a refused connection in the exception set, not as writable.
        const int rc = ::select(0, nullptr, &writable, &failed, &timeout);
        int length = sizeof error;
        if (rc == 0) {
            error = kErrorTimedOut;
        } else if (rc == SOCKET_ERROR) {
            error = ::WSAGetLastError();
        } else if (::getsockopt(native, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                                &length) != 0) {
            error = ::WSAGetLastError();
        }
    }
    u_long blocking = 0;
    ::ioctlsocket(native, FIONBIO, &blocking);
    ::WSASetLastError(error);
    return error == 0;
}

bool Listen(SocketHandle socket) {
    return ::listen(Native(socket), SOMAXCONN) == 0;
}

SocketHandle Accept(SocketHandle socket) {
    const SOCKET accepted = ::accept(Native(socket), nullptr, nullptr);
    return accepted == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(accepted);
}

void Close(SocketHandle socket) {
    const int saved = ::WSAGetLastError();
    ::closesocket(Native(socket));
    ::WSASetLastError(saved);
}

long Send(SocketHandle socket, const void* data, std::size_t length) {
    return ::send(Native(socket), static_cast<const char*>(data), Length(length), 0);
}

long Receive(SocketHandle socket, void* buffer, std::size_t capacity, Arrival*) {
    const int received = ::recv(Native(socket), static_cast<char*>(buffer), Length(capacity), 0);
    // Winsock reports a datagram longer than the buffer as an error after filling the
    // buffer; POSIX truncates silently. Both are read as the truncated datagram.
    if (received == SOCKET_ERROR && ::WSAGetLastError() == WSAEMSGSIZE) {
        return Length(capacity);
    }
    return received;
}

long SendTo(SocketHandle socket, const void* data, std::size_t length, const Endpoint& peer) {
    SocketAddress address = ToSockaddr(peer);
    return ::sendto(Native(socket), static_cast<const char*>(data), Length(length), 0,
                    address.get(), address.length);
}

long ReceiveFrom(SocketHandle socket, void* buffer, std::size_t capacity, Endpoint* peer) {
    SocketAddress address;
    address.length = sizeof address.storage;
    int received = ::recvfrom(Native(socket), static_cast<char*>(buffer), Length(capacity), 0,
                              address.get(), &address.length);
    if (received == SOCKET_ERROR && ::WSAGetLastError() == WSAEMSGSIZE) {
        received = Length(capacity);
    }
    if (received >= 0 && peer != nullptr) {
        FromSockaddr(address.get(), peer);
    }
    return received;
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
        FD_SET(Native(socket), &readable);
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
        if (FD_ISSET(Native(sockets[i]), &readable)) {
            *ready = i;
            break;
        }
    }
    return WaitResult::kReadable;
}

}  // namespace net
