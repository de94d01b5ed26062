#include "config/clock_policy.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr std::optional<FailureKind> kAllowed;
constexpr std::optional<FailureKind> kNotApproved = FailureKind::kServerNotApproved;
constexpr std::optional<FailureKind> kAboveLimit = FailureKind::kOffsetAboveLimit;

TEST(ClockPolicyTest, OnlyApprovedServersAndOffsetsUpToTheLimit) {
    const ClockPolicy policy{{"pool.ntp.org", "192.0.2.1", "2001:db8::1", "[2001:db8::2]"}, 120};
    struct Case {
        const char* host;
        std::int32_t offset;
        std::optional<FailureKind> refusal;
    };
    const std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    for (const Case& c : {
             Case{"pool.ntp.org", 0, kAllowed},       Case{"POOL.Ntp.ORG", 0, kAllowed},
             Case{"192.0.2.1", 0, kAllowed},          Case{"2001:db8::1", 0, kAllowed},
             Case{"[2001:db8::1]", 0, kAllowed},      Case{"2001:DB8::2", 0, kAllowed},
             Case{"[2001:db8::2]", 0, kAllowed},      Case{"pool.ntp.org.example", 0, kNotApproved},
             Case{"ntp.org", 0, kNotApproved},        Case{"192.0.2.10", 0, kNotApproved},
             Case{"192.0.2", 0, kNotApproved},        Case{"2001:db8::3", 0, kNotApproved},
             Case{"[pool.ntp.org", 0, kNotApproved},  Case{"pool.ntp.org", 120, kAllowed},
             Case{"pool.ntp.org", -120, kAllowed},    Case{"pool.ntp.org", 121, kAboveLimit},
             Case{"pool.ntp.org", -121, kAboveLimit}, Case{"pool.ntp.org", lowest, kAboveLimit},
             Case{"time.example", 121, kNotApproved},  // the server is checked first
         }) {
        EXPECT_EQ(c.refusal, policy.Refusal({c.host, c.offset})) << c.host << " " << c.offset;
    }
}

TEST(ClockPolicyTest, WithoutALimitOnlyTheServersTimeItselfIsAllowed) {
    for (const std::int32_t limit : {0, -5, std::numeric_limits<std::int32_t>::min()}) {
        const ClockPolicy policy{{"pool.ntp.org"}, limit};
        EXPECT_FALSE(policy.Refusal({"pool.ntp.org", 0})) << limit;
        EXPECT_EQ(kAboveLimit, policy.Refusal({"pool.ntp.org", 1})) << limit;
        EXPECT_EQ(kAboveLimit, policy.Refusal({"pool.ntp.org", -1})) << limit;
    }
    EXPECT_EQ(kNotApproved, ClockPolicy{}.Refusal({"pool.ntp.org", 0}));  // approves nothing
}

}  // namespace
