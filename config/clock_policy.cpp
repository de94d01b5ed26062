#include "config/clock_policy.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

// The form two spellings of one server share: lower case, an IPv6 address without brackets.
std::string Comparable(const std::string& host) {
    const bool bracketed = host.size() >= 2 && host.front() == '[' && host.back() == ']';
    std::string comparable = bracketed ? host.substr(1, host.size() - 2) : host;
    for (char& c : comparable) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return comparable;
}

}  // namespace

bool SameServerHost(const std::string& a, const std::string& b) {
    return Comparable(a) == Comparable(b);
}

std::optional<FailureKind> ClockPolicy::Refusal(const ClockServiceRequest& request) const {
    const std::string wanted = Comparable(request.host);
    const bool approved =
        std::any_of(approvedServers.begin(), approvedServers.end(),
                    [&wanted](const std::string& server) { return Comparable(server) == wanted; });
    if (!approved) {
        return FailureKind::kServerNotApproved;
    }
    // 64 bits: the magnitude of the most negative offset does not fit in 32. A negative
    // limit, which no administrator means, allows no offset rather than refusing every request.
    const std::int64_t limit = std::max<std::int64_t>(maxUserOffsetSeconds, 0);
    if (std::llabs(std::int64_t{request.offsetSeconds}) > limit) {
        return FailureKind::kOffsetAboveLimit;
    }
    return std::nullopt;
}
