#include "ntp/socket_api.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include <chrono>

namespace net {
namespace {

int Fd(SocketHandle socket) {
    return static_cast<int>(socket);
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

int ResolverError(int eai) {
    switch (eai) {
        case EAI_AGAIN:
            return kErrorTryAgain;
        case EAI_NONAME:
#ifdef EAI_NODATA
        case EAI_NODATA:
#endif
            return kErrorHostNotFound;
        case EAI_SYSTEM:
            return errno != 0 ? errno : kErrorNoRecovery;
        default:
            return kErrorNoRecovery;
    }
}

}  // namespace

int LastError() {
    return errno;
}

void SetLastError(int code) {
    errno = code;
}

std::string ErrorText(int code) {
    switch (code) {
        case kErrorTimedOut:
            return "timed out";
        case kErrorHostNotFound:
            return "host not found";
        case kErrorTryAgain:
            return "name server not reachable, try again";
        case kErrorNoRecovery:
            return "name resolution failed";
        default:
            return std::strerror(code);
    }
}

SocketHandle OpenUdp() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return kInvalidSocket;
    }
    // The kernel stamps each datagram as it arrives, free of the reader's wake-up latency.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    return static_cast<SocketHandle>(fd);
}

SocketHandle OpenTcp() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0) {
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    return fd < 0 ? kInvalidSocket : static_cast<SocketHandle>(fd);
}

bool Listen(SocketHandle socket) {
    return ::listen(Fd(socket), SOMAXCONN) == 0;
}

SocketHandle Accept(SocketHandle socket) {
    const int fd = ::accept4(Fd(socket), nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? kInvalidSocket : static_cast<SocketHandle>(fd);
}

void Close(SocketHandle socket) {
    const int saved = errno;
    ::close(Fd(socket));
    errno = saved;
}

int ResolveIpv4(const char* host, std::uint32_t* address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    errno = 0;
    const int rc = ::getaddrinfo(host, nullptr, &hints, &found);
    if (rc != 0 || found == nullptr) {
        const int code = rc != 0 ? ResolverError(rc) : kErrorHostNotFound;
        errno = code;
        return code;
    }
    *address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return 0;
}

bool Connect(SocketHandle socket, Endpoint peer) {
    const sockaddr_in address = ToSockaddr(peer);
    return ::connect(Fd(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool Bind(SocketHandle socket, Endpoint local) {
    const sockaddr_in address = ToSockaddr(local);
    return ::bind(Fd(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool LocalEndpoint(SocketHandle socket, Endpoint* local) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return false;
    }
    *local = FromSockaddr(address);
    return true;
}

long Send(SocketHandle socket, const void* data, std::size_t length) {
    return ::send(Fd(socket), data, length, MSG_NOSIGNAL);
}

long Receive(SocketHandle socket, void* buffer, std::size_t capacity, Arrival* arrival) {
    iovec data{buffer, capacity};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const long received = ::recvmsg(Fd(socket), &message, 0);
    if (received < 0 || arrival == nullptr) {
        return received;
    }
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_TIMESTAMPNS) {
            timespec stamp{};
            std::memcpy(&stamp, CMSG_DATA(header), sizeof stamp);
            arrival->known = true;
            arrival->utc =
                NtpTime::FromUnixTime(stamp.tv_sec, static_cast<std::uint32_t>(stamp.tv_nsec));
        }
    }
    return received;
}

long SendTo(SocketHandle socket, const void* data, std::size_t length, Endpoint peer) {
    const sockaddr_in address = ToSockaddr(peer);
    return ::sendto(Fd(socket), data, length, MSG_NOSIGNAL,
                    reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

long ReceiveFrom(SocketHandle socket, void* buffer, std::size_t capacity, Endpoint* peer) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const long received =
        ::recvfrom(Fd(socket), buffer, capacity, 0, reinterpret_cast<sockaddr*>(&address), &length);
    if (received >= 0 && peer != nullptr) {
        *peer = FromSockaddr(address);
    }
    return received;
}

WaitResult WaitReadable(SocketHandle socket, std::uint32_t timeoutMs) {
    // poll, not select: a descriptor above FD_SETSIZE must not overrun an fd_set.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd entry{Fd(socket), POLLIN, 0};
        const int rc = ::poll(&entry, 1, left > 0 ? static_cast<int>(left) : 0);
        if (rc > 0) {
            return WaitResult::kReadable;
        }
        if (rc == 0) {
            return WaitResult::kTimedOut;
        }
        if (errno != EINTR) {
            return WaitResult::kFailed;
        }
    }
}

}  // namespace net
