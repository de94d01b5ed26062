// A socket address of either family, held apart from any platform's sockaddr so the code
// above the socket layer reads the same on Winsock and POSIX.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace net {

enum class Family : std::uint8_t { kIpv4, kIpv6 };

inline constexpr std::uint32_t kLoopbackAddress = 0x7F000001;

struct Endpoint {
    Endpoint() = default;
    // An IPv4 address in host byte order.
    Endpoint(std::uint32_t ipv4, std::uint16_t portNumber);
    static Endpoint Ipv6(const std::array<std::uint8_t, 16>& address, std::uint16_t portNumber,
                         std::uint32_t scope = 0);
    static Endpoint Ipv6Loopback(std::uint16_t portNumber);

    // The same address on another port.
    Endpoint WithPort(std::uint16_t portNumber) const;

    Family family = Family::kIpv4;
    // Network byte order; an IPv4 address fills the first four bytes.
    std::array<std::uint8_t, 16> bytes{};
    std::uint16_t port = 0;
    std::uint32_t scopeId = 0;  // an IPv6 link-local address's interface
};

bool operator==(const Endpoint& a, const Endpoint& b);

// The address alone, without the port: dotted IPv4, or IPv6 in its canonical short form
// (lower case, the longest run of zero groups as "::") with "%scope" when it has one.
std::string AddressText(const Endpoint& endpoint);

// A host as a user writes it: "[2001:db8::1]" names the literal inside the brackets and
// nothing else; other text is a name or a bare literal, handed to the resolver as it is.
struct HostText {
    std::string host;
    bool literalOnly = false;
};
HostText ReadHostText(std::string_view text);

}  // namespace net
