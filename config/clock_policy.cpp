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

// The policy key's REG_DWORD within range; empty, and told in ignored, when it is set as
// something else.
std::optional<std::int32_t> ReadRangedDword(const PolicyKeyContents& machinePolicy,
                                            const char* name,
                                            std::vector<IgnoredPolicyValue>* ignored) {
    const OptionRange range = ClockPolicyRange(name);
    constexpr PolicyScope kScope = PolicyScope::kMachineMandatory;
    const auto found = machinePolicy.values.find(name);
    if (found == machinePolicy.values.end()) {
        return std::nullopt;
    }
    const PolicyValue& value = found->second;
    if (value.type != PolicyValue::Type::kDword) {
        ignored->push_back({kScope, name, IgnoredPolicyValue::Reason::kWrongType, {}});
        return std::nullopt;
    }
    // Compared unsigned: a DWORD above INT32_MAX is out of every range, not negative.
    if (value.dword < static_cast<std::uint32_t>(std::max(range.low, 0)) ||
        value.dword > static_cast<std::uint32_t>(range.high)) {
        ignored->push_back(
            {kScope, name, IgnoredPolicyValue::Reason::kOutOfRange, std::to_string(value.dword)});
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value.dword);
}

}  // namespace

OptionRange ClockPolicyRange(const std::string& valueName) {
    return valueName == kRequireNtsValue ? kRequireNtsPolicyRange : kMaxUserOffsetPolicyRange;
}

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
    if (requireNts && !request.nts) {
        return FailureKind::kNtsRequired;
    }
    // 64 bits: the magnitude of the most negative offset does not fit in 32. A negative
    // limit, which no administrator means, allows no offset rather than refusing every request.
    const std::int64_t limit = std::max<std::int64_t>(maxUserOffsetSeconds, 0);
    if (std::llabs(std::int64_t{request.offsetSeconds}) > limit) {
        return FailureKind::kOffsetAboveLimit;
    }
    return std::nullopt;
}

ClockPolicy WithPolicyKey(ClockPolicy older, const PolicyKeyContents& machinePolicy) {
    constexpr PolicyScope kScope = PolicyScope::kMachineMandatory;
    ClockPolicy policy = std::move(older);
    if (const auto limit = ReadRangedDword(machinePolicy, kMaxUserOffsetValue, &policy.ignored)) {
        policy.maxUserOffsetSeconds = *limit;
    }
    if (const auto require = ReadRangedDword(machinePolicy, kRequireNtsValue, &policy.ignored)) {
        policy.requireNts = *require == 1;
    }
    const auto list = machinePolicy.lists.find(kApprovedServersList);
    if (list == machinePolicy.lists.end()) {
        return policy;
    }
    policy.approvedServers.clear();
    for (const auto& [number, value] : list->second) {
        const std::string name = std::string(kApprovedServersList) + "\\" + std::to_string(number);
        if (value.type != PolicyValue::Type::kText) {
            policy.ignored.push_back({kScope, name, IgnoredPolicyValue::Reason::kWrongType, {}});
        } else if (value.text.empty() || !HostError(value.text).empty()) {
            policy.ignored.push_back(
                {kScope, name, IgnoredPolicyValue::Reason::kNoHost, value.text});
        } else {
            policy.approvedServers.push_back(value.text);
        }
    }
    return policy;
}
