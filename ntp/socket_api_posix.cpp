#include "ntp/socket_api.h"

#include <cerrno>
#include <fcntl.h>
#include <cstring>

#include <array>
#include <chrono>
#include <vector>

#include "ntp/socket_system.h"

namespace net {

int Native(SocketHandle socket) {
    return static_cast<int>(socket);
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

int LastError() {
    return errno;
}

void SetLastError(int code) {
    errno = code;
}

namespace {

std::string ErrorWords(int code) {
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

}  // namespace

std::string ErrorText(int code) {
    return ErrorWords(code) + " (error " + std::to_string(code) + ")";
}

SocketHandle OpenUdp(Family family) {
    const int fd =
        ::socket(family == Family::kIpv6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return kInvalidSocket;
    }
    // The kernel stamps each datagram as it arrives, free of the reader's wake-up latency.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    return static_cast<SocketHandle>(fd);
}

SocketHandle OpenTcp(Family family) {
    const int fd =
        ::socket(family == Family::kIpv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0) {
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    return fd < 0 ? kInvalidSocket : static_cast<SocketHandle>(fd);
}

bool ConnectWithin(SocketHandle socket, const Endpoint& peer, std::uint32_t timeoutMs) {
    const int fd = Native(socket);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        return false;
    }
    SocketAddress address = ToSockaddr(peer);
    int error = ::connect(fd, address.get(), address.length) == 0 ? 0 : errno;
    if (error == EINPROGRESS) {
        pollfd entry{fd, POLLOUT, 0};
        const int rc = ::poll(&entry, 1, static_cast<int>(timeoutMs));
        socklen_t length = sizeof error;
        if (rc == 0) {
            error = kErrorTimedOut;
        } else if (rc < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
            error = errno;
        }
    }
    ::fcntl(fd, F_SETFL, flags);
    errno = error;
    return error == 0;
}

bool Listen(SocketHandle socket) {
    return ::listen(Native(socket), SOMAXCONN) == 0;
}

SocketHandle Accept(SocketHandle socket) {
    const int fd = ::accept4(Native(socket), nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? kInvalidSocket : static_cast<SocketHandle>(fd);
}

void Close(SocketHandle socket) {
    const int saved = errno;
    ::close(Native(socket));
    errno = saved;
}

long Send(SocketHandle socket, const void* data, std::size_t length) {
    return ::send(Native(socket), data, length, MSG_NOSIGNAL);
}

long Receive(SocketHandle socket, void* buffer, std::size_t capacity, Arrival* arrival) {
    iovec data{buffer, capacity};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const long received = ::recvmsg(Native(socket), &message, 0);
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

long SendTo(SocketHandle socket, const void* data, std::size_t length, const Endpoint& peer) {
    SocketAddress address = ToSockaddr(peer);
    return ::sendto(Native(socket), data, length, MSG_NOSIGNAL, address.get(), address.length);
}

long ReceiveFrom(SocketHandle socket, void* buffer, std::size_t capacity, Endpoint* peer) {
    SocketAddress address;
    address.length = sizeof address.storage;
    const long received =
        ::recvfrom(Native(socket), buffer, capacity, 0, address.get(), &address.length);
    if (received >= 0 && peer != nullptr) {
        FromSockaddr(address.get(), peer);
    }
    return received;
}

WaitResult WaitAnyReadable(const std::vector<SocketHandle>& sockets, std::uint32_t timeoutMs,
                           std::size_t* ready) {
    // poll, not select: a descriptor above FD_SETSIZE must not overrun an fd_set.
    std::vector<pollfd> entries;
    for (const SocketHandle socket : sockets) {
        entries.push_back({Native(socket), POLLIN, 0});
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int rc =
            ::poll(entries.data(), entries.size(), left > 0 ? static_cast<int>(left) : 0);
        if (rc > 0) {
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (entries[i].revents != 0) {
                    *ready = i;
                    break;
                }
            }
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
