#include "service/ignored_policy_notice.h"

#include <gtest/gtest.h>

namespace {

IgnoredPolicyValue Ignored(const char* name, const char* found) {
    return {PolicyScope::kMachineMandatory, name, IgnoredPolicyValue::Reason::kOutOfRange, found};
}

// Request after request reads the same policy: a value is told when it appears, again only
// after it was put right and came back, and a changed value is a new one.
TEST(IgnoredPolicyNoticeTest, TellsEachIgnoredValueWhenItAppears) {
    const IgnoredPolicyValue limit = Ignored("nMaxUserOffset", "7200");
    const IgnoredPolicyValue higher = Ignored("nMaxUserOffset", "9000");
    const IgnoredPolicyValue server = Ignored("ApprovedServers\\2", "a b");
    struct Read {
        std::vector<IgnoredPolicyValue> ignored;
        std::vector<IgnoredPolicyValue> told;
    };
    const Read reads[] = {
        {{}, {}},       {{limit}, {limit}},           {{limit}, {}}, {{limit, server}, {server}},
        {{server}, {}}, {{higher, server}, {higher}}, {{}, {}},      {{server}, {server}},
    };
    IgnoredPolicyNotice notice;
    for (std::size_t i = 0; i < std::size(reads); ++i) {
        EXPECT_EQ(reads[i].told, notice.NewlyIgnored(reads[i].ignored)) << "read " << i;
    }
}

}  // namespace
