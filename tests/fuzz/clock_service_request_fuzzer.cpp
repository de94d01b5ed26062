// Feeds arbitrary pipe messages to the service's request parser. A message it accepts must
// say nothing it did not check: a host within the limits and of the allowed characters, and
// the same bytes again when encoded, so nothing after the host was ignored. The same bytes
// as a reply's reason must read back to themselves: a reason's kind holds all it came with.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/clock_service_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reason(reinterpret_cast<const char*>(data), size);
    if (EncodeClockServiceReason(ParseClockServiceReason(reason)) != reason) {
        std::abort();
    }
    const std::span<const std::uint8_t> bytes(data, size);
    const ParsedClockServiceRequest parsed = ParseClockServiceRequest(bytes);
    if (parsed.request.has_value() == !parsed.error.empty()) {
        std::abort();
    }
    if (!parsed.request) {
        return 0;
    }
    const std::string& host = parsed.request->host;
    if (host.empty() || host.size() > kClockServiceMaxHostLength ||
        host.find_first_not_of(
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-:[]") !=
            std::string::npos) {
        std::abort();
    }
    const std::vector<std::uint8_t> again = EncodeClockServiceRequest(*parsed.request);
    if (again.size() != size || std::memcmp(again.data(), data, size) != 0) {
        std::abort();
    }
    return 0;
}
