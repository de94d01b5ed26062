#include "app/managed_settings.h"

#include <gtest/gtest.h>

#include "tests/support/fake_policy_source.h"

namespace {

constexpr PolicyScope kMM = PolicyScope::kMachineMandatory;
constexpr PolicyScope kUR = PolicyScope::kUserRecommended;

ManagedSettings Managed(FakePolicySource& source) {
    return ManagedSettings(ResolvePolicies(source.All(), {}, {}));
}

TEST(ManagedSettingsTest, OnlyAMandatoryValueLocksItsControlAndShowsTheLine) {
    struct Case {
        const char* what;
        std::optional<PolicyScope> scope;
        std::uint32_t value;
        bool managed;
        std::string tip;
    };
    const Case cases[] = {
        {"no policy", std::nullopt, 0, false, ""},
        {"mandatory", kMM, 30, true, "Set by your organization (policy nMaxDays)."},
        {"recommended", kUR, 30, false,
         "Recommended by your organization (policy nMaxDays); you may change it."},
        {"out of range: no policy at all", kMM, 46, false, ""},
    };
    for (const Case& c : cases) {
        FakePolicySource source;
        if (c.scope) {
            source.Set(*c.scope, "nMaxDays", c.value);
        }
        const ManagedSettings managed = Managed(source);
        EXPECT_EQ(c.managed, managed.OptionsManaged()) << c.what;
        EXPECT_EQ(c.managed, managed.Locked(&StoredOptions::nMaxDays)) << c.what;
        EXPECT_EQ(c.tip, managed.Tip(&StoredOptions::nMaxDays)) << c.what;
        EXPECT_FALSE(managed.Locked(&StoredOptions::nTimeOut)) << c.what;
        EXPECT_EQ("", managed.Tip(&StoredOptions::nTimeOut)) << c.what;
    }
}

TEST(ManagedSettingsTest, TheChooserIsLockedByAMandatoryListThatKeepsTheUsersServersOut) {
    const ServerEntry policyEntry("p", "p.corp", ServerEntry::kFromPolicy);
    const ServerEntry mine("m", "m.example", ServerEntry::kUserAdded);
    struct Case {
        const char* what;
        PolicyScope scope;
        std::optional<std::uint32_t> allow;
        bool managed;
        bool editable;
        bool deletesPolicyEntry;
        bool deletesMine;
    };
    const Case cases[] = {
        {"mandatory", kMM, std::nullopt, true, false, false, false},
        {"mandatory, not allowed", kMM, 0, true, false, false, false},
        {"mandatory, allowed", kMM, 1, true, true, false, true},
        {"recommended", kUR, std::nullopt, false, true, true, true},
    };
    for (const Case& c : cases) {
        FakePolicySource source;
        source.SetList(c.scope, kServersList, {PolicyValue::Text("p.corp")});
        if (c.allow) {
            source.Set(c.scope, kAllowUserServersValue, *c.allow);
        }
        const ManagedSettings managed = Managed(source);
        EXPECT_EQ(c.managed, managed.CatalogueManaged()) << c.what;
        EXPECT_EQ(c.editable, managed.CatalogueEditable()) << c.what;
        EXPECT_EQ(c.deletesPolicyEntry, managed.MayDelete(policyEntry)) << c.what;
        EXPECT_EQ(c.deletesMine, managed.MayDelete(mine)) << c.what;
        EXPECT_NE(std::string::npos, managed.CatalogueTip().find("policy Servers")) << c.what;
    }
    EXPECT_EQ("", ManagedSettings().CatalogueTip());
    EXPECT_TRUE(ManagedSettings().MayDelete(mine));
}

}  // namespace
