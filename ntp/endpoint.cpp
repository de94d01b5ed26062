#include "ntp/endpoint.h"

#include <cstdio>

namespace net {

Endpoint::Endpoint(std::uint32_t ipv4, std::uint16_t portNumber) : port(portNumber) {
    bytes[0] = static_cast<std::uint8_t>(ipv4 >> 24);
    bytes[1] = static_cast<std::uint8_t>(ipv4 >> 16);
    bytes[2] = static_cast<std::uint8_t>(ipv4 >> 8);
    bytes[3] = static_cast<std::uint8_t>(ipv4);
}

Endpoint Endpoint::Ipv6(const std::array<std::uint8_t, 16>& address, std::uint16_t portNumber,
                        std::uint32_t scope) {
    Endpoint endpoint;
    endpoint.family = Family::kIpv6;
    endpoint.bytes = address;
    endpoint.port = portNumber;
    endpoint.scopeId = scope;
    return endpoint;
}

Endpoint Endpoint::Ipv6Loopback(std::uint16_t portNumber) {
    std::array<std::uint8_t, 16> loopback{};
    loopback[15] = 1;
    return Ipv6(loopback, portNumber);
}

Endpoint Endpoint::WithPort(std::uint16_t portNumber) const {
    Endpoint moved = *this;
    moved.port = portNumber;
    return moved;
}

bool operator==(const Endpoint& a, const Endpoint& b) {
    return a.family == b.family && a.bytes == b.bytes && a.port == b.port && a.scopeId == b.scopeId;
}

std::string AddressText(const Endpoint& endpoint) {
    const std::array<std::uint8_t, 16>& b = endpoint.bytes;
    char text[64];
    if (endpoint.family == Family::kIpv4) {
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
        return text;
    }
    std::array<unsigned, 8> groups{};
    for (std::size_t i = 0; i < groups.size(); ++i) {
        groups[i] = static_cast<unsigned>(b[2 * i] << 8 | b[2 * i + 1]);
    }
    // An IPv4 address mapped into IPv6 keeps its dotted form, as every resolver prints it.
    const bool mapped = groups[0] == 0 && groups[1] == 0 && groups[2] == 0 && groups[3] == 0 &&
                        groups[4] == 0 && groups[5] == 0xFFFF;
    const std::size_t hexGroups = mapped ? 6 : 8;
    // The longest run of two or more zero groups is shortened, the first of equal runs.
    std::size_t runStart = hexGroups;
    std::size_t runLength = 1;
    for (std::size_t i = 0; i < hexGroups;) {
        std::size_t j = i;
        while (j < hexGroups && groups[j] == 0) {
            ++j;
        }
        if (j - i > runLength) {
            runStart = i;
            runLength = j - i;
        }
        i = j == i ? i + 1 : j;
    }
    std::string result;
    for (std::size_t i = 0; i < hexGroups; ++i) {
        if (i == runStart) {
            result += "::";
            i += runLength - 1;
            continue;
        }
        if (!result.empty() && result.back() != ':') {
            result += ':';
        }
        std::snprintf(text, sizeof text, "%x", groups[i]);
        result += text;
    }
    if (mapped) {
        if (result.back() != ':') {
            result += ':';
        }
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[12], b[13], b[14], b[15]);
        result += text;
    }
    if (endpoint.scopeId != 0) {
        result += '%' + std::to_string(endpoint.scopeId);
    }
    return result;
}

HostText ReadHostText(std::string_view text) {
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
        return {std::string(text.substr(1, text.size() - 2)), true};
    }
    return {std::string(text), false};
}

}  // namespace net
