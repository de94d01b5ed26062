// The thin layer over Winsock and POSIX sockets: UDP over IPv4, with errors as numbers so
// the code above it reads the same on both platforms. Addresses are in host byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ntp/ntp_time.h"

namespace net {

using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};

// Winsock's numbers, used on every platform for the failures the callers tell apart.
inline constexpr int kErrorTimedOut = 10060;      // WSAETIMEDOUT
inline constexpr int kErrorHostNotFound = 11001;  // WSAHOST_NOT_FOUND
inline constexpr int kErrorTryAgain = 11002;      // WSATRY_AGAIN
inline constexpr int kErrorNoRecovery = 11003;    // WSANO_RECOVERY

inline constexpr std::uint32_t kLoopbackAddress = 0x7F000001;

struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

// The calling thread's last socket error (WSAGetLastError or errno).
int LastError();
void SetLastError(int code);
std::string ErrorText(int code);

SocketHandle OpenUdp();
SocketHandle OpenTcp();
// Leaves the last error as it was before the call.
void Close(SocketHandle socket);

// A dotted address or a host name; IPv4, first address. Returns 0 or the error code,
// which is also left as the last error.
int ResolveIpv4(const char* host, std::uint32_t* address);

bool Connect(SocketHandle socket, Endpoint peer);
bool Bind(SocketHandle socket, Endpoint local);
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
long SendTo(SocketHandle socket, const void* data, std::size_t length, Endpoint peer);
long ReceiveFrom(SocketHandle socket, void* buffer, std::size_t capacity, Endpoint* peer);

enum class WaitResult { kReadable, kTimedOut, kFailed };
WaitResult WaitReadable(SocketHandle socket, std::uint32_t timeoutMs);

}  // namespace net
