#include "config/clock_policy.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "tests/support/fake_policy_source.h"

namespace {

constexpr std::optional<FailureKind> kAllowed;
constexpr std::optional<FailureKind> kNotApproved = FailureKind::kServerNotApproved;
constexpr std::optional<FailureKind> kAboveLimit = FailureKind::kOffsetAboveLimit;

TEST(ClockPolicyTest, OnlyApprovedServersAndOffsetsUpToTheLimit) {
    const ClockPolicy policy{
        {"pool.ntp.org", "192.0.2.1", "2001:db8::1", "[2001:db8::2]"}, 120, false, {}};
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
        const ClockPolicy policy{{"pool.ntp.org"}, limit, false, {}};
        EXPECT_FALSE(policy.Refusal({"pool.ntp.org", 0})) << limit;
        EXPECT_EQ(kAboveLimit, policy.Refusal({"pool.ntp.org", 1})) << limit;
        EXPECT_EQ(kAboveLimit, policy.Refusal({"pool.ntp.org", -1})) << limit;
    }
    EXPECT_EQ(kNotApproved, ClockPolicy{}.Refusal({"pool.ntp.org", 0}));  // approves nothing
}

TEST(ClockPolicyTest, WhereSecureTimeIsRequiredOnlyARequestForItIsServed) {
    constexpr std::optional<FailureKind> kNtsRequired = FailureKind::kNtsRequired;
    struct Case {
        bool requireNts;
        ClockServiceRequest request;
        std::optional<FailureKind> refusal;
    };
    for (const Case& c : {
             Case{false, {"pool.ntp.org", 0, false}, kAllowed},
             Case{false, {"pool.ntp.org", 0, true}, kAllowed},
             Case{true, {"pool.ntp.org", 0, true}, kAllowed},
             Case{true, {"pool.ntp.org", 0, false}, kNtsRequired},
             Case{true, {"time.example", 0, false}, kNotApproved},  // the server first
             Case{true, {"pool.ntp.org", 61, false}, kNtsRequired},
             Case{true, {"pool.ntp.org", 61, true}, kAboveLimit},
         }) {
        const ClockPolicy policy{{"pool.ntp.org"}, 60, c.requireNts, {}};
        EXPECT_EQ(c.refusal, policy.Refusal(c.request))
            << c.requireNts << " " << c.request.host << " " << c.request.nts;
    }
}

TEST(ClockPolicyTest, ThePolicyKeyWinsOverTheOlderKeyWhereItSetsAValidValue) {
    using Reason = IgnoredPolicyValue::Reason;
    struct Case {
        const char* what;
        std::optional<PolicyValue> limit;
        std::optional<std::vector<PolicyValue>> approved;
        ClockPolicy expected;
    };
    const ClockPolicy older{{"old.example"}, 30, false, {}};
    const auto ignored = [](const char* name, Reason reason, const char* found) {
        return IgnoredPolicyValue{PolicyScope::kMachineMandatory, name, reason, found};
    };
    const Case cases[] = {
        {"no policy", std::nullopt, std::nullopt, older},
        {"a limit", PolicyValue::Dword(3600), std::nullopt, {{"old.example"}, 3600, false, {}}},
        {"none allowed", PolicyValue::Dword(0), std::nullopt, {{"old.example"}, 0, false, {}}},
        {"beyond an hour",
         PolicyValue::Dword(3601),
         std::nullopt,
         {{"old.example"}, 30, false, {ignored("nMaxUserOffset", Reason::kOutOfRange, "3601")}}},
        {"a text",
         PolicyValue::Text("60"),
         std::nullopt,
         {{"old.example"}, 30, false, {ignored("nMaxUserOffset", Reason::kWrongType, "")}}},
        {"approved servers",
         std::nullopt,
         std::vector{PolicyValue::Text("a.corp"), PolicyValue::Text("192.0.2.7")},
         {{"a.corp", "192.0.2.7"}, 30, false, {}}},
        {"an empty list approves none",
         std::nullopt,
         std::vector<PolicyValue>{},
         {{}, 30, false, {}}},
        {"an entry that names no host",
         std::nullopt,
         std::vector{PolicyValue::Text("a corp"), PolicyValue::Other(),
                     PolicyValue::Text("b.corp")},
         {{"b.corp"},
          30,
          false,
          {ignored("ApprovedServers\\1", Reason::kNoHost, "a corp"),
           ignored("ApprovedServers\\2", Reason::kWrongType, "")}}},
    };
    for (const Case& c : cases) {
        FakePolicySource source;
        if (c.limit) {
            source.Set(PolicyScope::kMachineMandatory, "NMAXUSEROFFSET", *c.limit);
        }
        if (c.approved) {
            source.SetList(PolicyScope::kMachineMandatory, kApprovedServersList, *c.approved);
        }
        // Only the machine's mandatory key counts.
        source.Set(PolicyScope::kUserMandatory, kMaxUserOffsetValue, 600u);
        source.SetList(PolicyScope::kMachineRecommended, kApprovedServersList,
                       {PolicyValue::Text("r.corp")});
        const ClockPolicy policy =
            WithPolicyKey(older, source.Read(PolicyScope::kMachineMandatory));
        EXPECT_EQ(c.expected.approvedServers, policy.approvedServers) << c.what;
        EXPECT_EQ(c.expected.maxUserOffsetSeconds, policy.maxUserOffsetSeconds) << c.what;
        EXPECT_EQ(c.expected.ignored, policy.ignored) << c.what;
    }
}

// Read as the offset limit is: only 0 and 1 count, anything else is told and the older
// key's value stands.
TEST(ClockPolicyTest, ThePolicyKeysRequireNtsIsZeroOrOne) {
    using Reason = IgnoredPolicyValue::Reason;
    struct Case {
        bool olderRequires;
        std::optional<PolicyValue> value;
        bool required;
        std::optional<Reason> ignored;
        const char* found;
    };
    const Case cases[] = {
        {false, std::nullopt, false, std::nullopt, ""},
        {true, std::nullopt, true, std::nullopt, ""},
        {false, PolicyValue::Dword(1), true, std::nullopt, ""},
        {true, PolicyValue::Dword(0), false, std::nullopt, ""},
        {false, PolicyValue::Dword(2), false, Reason::kOutOfRange, "2"},
        {true, PolicyValue::Dword(4294967295u), true, Reason::kOutOfRange, "4294967295"},
        {false, PolicyValue::Text("1"), false, Reason::kWrongType, ""},
    };
    for (const Case& c : cases) {
        FakePolicySource source;
        if (c.value) {
            source.Set(PolicyScope::kMachineMandatory, kRequireNtsValue, *c.value);
        }
        source.Set(PolicyScope::kMachineRecommended, kRequireNtsValue, 1u);
        const ClockPolicy older{{"old.example"}, 30, c.olderRequires, {}};
        const ClockPolicy policy =
            WithPolicyKey(older, source.Read(PolicyScope::kMachineMandatory));
        const std::string what = std::to_string(c.olderRequires) + " " + c.found;
        EXPECT_EQ(c.required, policy.requireNts) << what;
        std::vector<IgnoredPolicyValue> ignored;
        if (c.ignored) {
            ignored.push_back(
                {PolicyScope::kMachineMandatory, kRequireNtsValue, *c.ignored, c.found});
        }
        EXPECT_EQ(ignored, policy.ignored) << what;
        EXPECT_EQ(30, policy.maxUserOffsetSeconds) << what;
    }
}

}  // namespace
