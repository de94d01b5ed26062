#include "service/ignored_policy_notice.h"

#include <algorithm>

std::vector<IgnoredPolicyValue> IgnoredPolicyNotice::NewlyIgnored(
    const std::vector<IgnoredPolicyValue>& ignored) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<IgnoredPolicyValue> fresh;
    for (const IgnoredPolicyValue& value : ignored) {
        if (std::find(told_.begin(), told_.end(), value) == told_.end()) {
            fresh.push_back(value);
        }
    }
    told_ = ignored;
    return fresh;
}
