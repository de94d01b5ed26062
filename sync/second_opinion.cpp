#include "sync/second_opinion.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "config/clock_policy.h"

bool NeedsSecondOpinion(double offset) {
    return std::fabs(offset) > kSecondOpinionThresholdSeconds;
}

SecondOpinionVerdict JudgeSecondOpinion(const OffsetMeasurement& first,
                                        const std::optional<OffsetMeasurement>& second) {
    if (!second) {
        return SecondOpinionVerdict::kUnconfirmed;
    }
    const double tolerance = kSecondOpinionToleranceSeconds + first.delay + second->delay;
    return std::fabs(first.offset - second->offset) <= tolerance ? SecondOpinionVerdict::kAgrees
                                                                 : SecondOpinionVerdict::kDisagrees;
}

std::uint32_t WholeSecondsApart(double offset, double otherOffset) {
    const double apart = std::round(std::fabs(offset - otherOffset));
    return static_cast<std::uint32_t>(
        std::min(apart, double{std::numeric_limits<std::uint32_t>::max()}));
}

std::vector<std::size_t> SecondOpinionCandidates(const std::vector<std::string>& hosts,
                                                 const std::string& currentHost,
                                                 std::size_t current) {
    std::vector<std::size_t> chosen;
    const std::size_t count = hosts.size();
    const std::size_t start = current < count ? current + 1 : 0;
    for (std::size_t step = 0; step < count && chosen.size() < kSecondOpinionTries; ++step) {
        const std::size_t index = (start + step) % count;
        const std::string& host = hosts[index];
        const bool repeated = host.empty() || SameServerHost(host, currentHost) ||
                              std::any_of(chosen.begin(), chosen.end(), [&](std::size_t other) {
                                  return SameServerHost(hosts[other], host);
                              });
        if (!repeated) {
            chosen.push_back(index);
        }
    }
    return chosen;
}
