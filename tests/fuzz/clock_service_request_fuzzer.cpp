// Feeds arbitrary pipe messages to the service's request parser and the program's reply
// parser. A message either accepts must say nothing it did not check: a request's host within
// the limits and of the allowed characters, and a reply of a version after the first of a kind
// this program knows, the same bytes again when encoded, so nothing was ignored. The same bytes
// as a sentence of the first version must read back to themselves: a sentence's kind holds all
// it came with.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/clock_service_protocol.h"
#include "platform/clock_service_reasons.h"

namespace {

void SameBytes(const std::vector<std::uint8_t>& again, const std::uint8_t* data, std::size_t size) {
    if (again.size() != size || std::memcmp(again.data(), data, size) != 0) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reason(reinterpret_cast<const char*>(data), size);
    if (ServiceReasonText(ReadServiceReason(reason), "host") != reason) {
        std::abort();
    }
    const std::span<const std::uint8_t> bytes(data, size);
    const std::optional<ClockServiceReply> reply = ParseClockServiceReply(bytes);
    // Every version after the first carries the kind; each must hold all its bytes said.
    if (reply && size >= 6 && data[4] > kClockServiceFirstVersion &&
        reply->failure.kind != FailureKind::kOther) {
        SameBytes(EncodeClockServiceReply(*reply, data[4]), data, size);
    }
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
    SameBytes(EncodeClockServiceRequest(*parsed.request, parsed.replyVersion), data, size);
    return 0;
}
