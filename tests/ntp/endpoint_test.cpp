#include "ntp/endpoint.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>

namespace {

TEST(EndpointTest, WritesAddressesInTheirShortForm) {
    const auto v6 = [](std::initializer_list<std::uint16_t> groups, std::uint32_t scope = 0) {
        std::array<std::uint8_t, 16> bytes{};
        std::size_t i = 0;
        for (const std::uint16_t group : groups) {
            bytes[i++] = static_cast<std::uint8_t>(group >> 8);
            bytes[i++] = static_cast<std::uint8_t>(group);
        }
        return net::Endpoint::Ipv6(bytes, 123, scope);
    };
    const std::pair<net::Endpoint, const char*> cases[] = {
        {{0xC0000201, 123}, "192.0.2.1"},
        {{0, 0}, "0.0.0.0"},
        {net::Endpoint::Ipv6Loopback(123), "::1"},
        {v6({0, 0, 0, 0, 0, 0, 0, 0}), "::"},
        {v6({0x2001, 0xdb8, 0, 0, 0, 0, 0, 1}), "2001:db8::1"},
        {v6({0x2001, 0xdb8, 0, 1, 0, 0, 0, 1}), "2001:db8:0:1::1"},    // one zero group stays
        {v6({0x2001, 0xdb8, 0, 0, 1, 0, 0, 1}), "2001:db8::1:0:0:1"},  // the first of equal runs
        {v6({0x2001, 0, 0, 1, 0, 0, 0, 0}), "2001:0:0:1::"},           // the longer run
        {v6({0x20AB, 0x0C, 0, 0, 0, 0, 0xFFFF, 0x0A}), "20ab:c::ffff:a"},
        {v6({0, 0, 0, 0, 0, 0xFFFF, 0xC000, 0x0201}), "::ffff:192.0.2.1"},
        {v6({0xFE80, 0, 0, 0, 0, 0, 0, 1}, 3), "fe80::1%3"},
    };
    for (const auto& [endpoint, text] : cases) {
        EXPECT_EQ(text, net::AddressText(endpoint));
    }
}

}  // namespace
