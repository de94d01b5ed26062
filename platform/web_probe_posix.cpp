#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/web_probe.h"

namespace {

using Steady = std::chrono::steady_clock;

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// Waits for the events until the deadline, in short slices so that an interruption is
// noticed soon; false on time-out, error or interruption.
bool WaitFor(int fd, short events, Steady::time_point deadline, QueryInterrupter* interrupter) {
    for (;;) {
        if (IsInterrupted(interrupter)) {
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
        if (left <= 0) {
            return false;
        }
        const long long slice =
            left < QueryInterrupter::kCheckIntervalMs ? left : QueryInterrupter::kCheckIntervalMs;
        pollfd entry{fd, events, 0};
        const int rc = ::poll(&entry, 1, static_cast<int>(slice));
        if (rc > 0) {
            return (entry.revents & events) != 0;
        }
        if (rc < 0 && errno != EINTR) {
            return false;
        }
    }
}

}  // namespace

ProbeResult PlatformWebProbe::Probe(QueryInterrupter* interrupter) {
    const Steady::time_point deadline = Steady::now() + std::chrono::milliseconds(kTimeoutMs);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(kProbeHost, "80", &hints, &found) != 0 || found == nullptr) {
        return ProbeResult::kUrlFailed;
    }
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    ::freeaddrinfo(found);

    const Descriptor socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket.get() < 0) {
        return ProbeResult::kSessionFailed;
    }
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
        return ProbeResult::kUrlFailed;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (!WaitFor(socket.get(), POLLOUT, deadline, interrupter) ||
        ::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        return ProbeResult::kUrlFailed;
    }

    const std::string request = std::string("GET / HTTP/1.1\r\nHost: ") + kProbeHost +
                                "\r\nUser-Agent: " + kAgent +
                                "\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n";
    if (::send(socket.get(), request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size())) {
        return ProbeResult::kUrlFailed;
    }
    // Any HTTP answer means the page could be opened, as for WinINet.
    char status[5] = {};
    std::size_t received = 0;
    while (received < sizeof status) {
        if (!WaitFor(socket.get(), POLLIN, deadline, interrupter)) {
            return ProbeResult::kUrlFailed;
        }
        const ssize_t n = ::recv(socket.get(), status + received, sizeof status - received, 0);
        if (n <= 0) {
            return ProbeResult::kUrlFailed;
        }
        received += static_cast<std::size_t>(n);
    }
    return std::memcmp(status, "HTTP/", sizeof status) == 0 ? ProbeResult::kOpened
                                                            : ProbeResult::kUrlFailed;
}
