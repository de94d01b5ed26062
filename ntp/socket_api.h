// The thin layer over Winsock and POSIX sockets: UDP over IPv4 and IPv6, with errors as
// numbers so the code above it reads the same on both platforms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ntp/endpoint.h"
#include "ntp/ntp_time.h"

namespace net {

using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};

// Winsock's numbers, used on every platform for the failures the callers tell apart.
inline constexpr int kErrorTimedOut = 10060;      // WSAETIMEDOUT
inline constexpr int kErrorHostNotFound = 11001;  // WSAHOST_NOT_FOUND
inline constexpr int kErrorTryAgain = 11002;      // WSATRY_AGAIN
inline constexpr int kErrorNoRecovery = 11003;    // WSANO_RECOVERY

// The calling thread's last socket error (WSAGetLastError or errno).
int LastError();
void SetLastError(int code);
// The system's words for a socket error, with its code: "Connection refused (error 111)".
std::string ErrorText(int code);

SocketHandle OpenUdp(Family family = Family::kIpv4);
SocketHandle OpenTcp(Family family = Family::kIpv4);
// Leaves the last error as it was before the call.
void Close(SocketHandle socket);

// Every address of a host (a name, a dotted IPv4 or an IPv6 literal, bare or in brackets),
// of both families, in the resolver's order of preference, each with the given port.
// Returns 0 or the error code, which is also left as the last error.
int Resolve(const std::string& host, std::uint16_t port, std::vector<Endpoint>* found);

bool Connect(SocketHandle socket, const Endpoint& peer);
// A TCP connection that gives up after timeoutMs (last error kErrorTimedOut) instead of the
// system's minutes; the socket blocks again afterwards.
bool ConnectWithin(SocketHandle socket, const Endpoint& peer, std::uint32_t timeoutMs);
bool Bind(SocketHandle socket, const Endpoint& local);
bool LocalEndpoint(SocketHandle socket, Endpoint* local);
bool Listen(SocketHandle socket);
SocketHandle Accept(SocketHandle socket);

// When the datagram reached the socket by the system clock, where the kernel records it.
struct Arrival {
    bool known = false;
    NtpTime utc;
};

// Byte counts, or -1 with the last error set. A datagram longer than the buffer is cut to
// the buffer's length on every platform.
long Send(SocketHandle socket, const void* data, std::size_t length);
long Receive(SocketHandle socket, void* buffer, std::size_t capacity, Arrival* arrival = nullptr);
long SendTo(SocketHandle socket, const void* data, std::size_t length, const Endpoint& peer);
long ReceiveFrom(SocketHandle socket, void* buffer, std::size_t capacity, Endpoint* peer);

enum class WaitResult { kReadable, kTimedOut, kFailed };
WaitResult WaitReadable(SocketHandle socket, std::uint32_t timeoutMs);
// The most sockets one wait takes: what Winsock's select holds by default.
inline constexpr std::size_t kMaxWaitSockets = 64;
// Waits until any of the sockets is readable (or has an error to report); *ready is then the
// index of the first such one.
WaitResult WaitAnyReadable(const std::vector<SocketHandle>& sockets, std::uint32_t timeoutMs,
                           std::size_t* ready);

}  // namespace net
