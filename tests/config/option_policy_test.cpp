#include "config/option_policy.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "config/default_servers.h"
#include "tests/support/fake_policy_source.h"

namespace {

constexpr PolicyScope kMM = PolicyScope::kMachineMandatory;
constexpr PolicyScope kUM = PolicyScope::kUserMandatory;
constexpr PolicyScope kMR = PolicyScope::kMachineRecommended;
constexpr PolicyScope kUR = PolicyScope::kUserRecommended;
using Reason = IgnoredPolicyValue::Reason;

struct Setting {
    PolicyScope scope;
    std::string name;
    PolicyValue value;
};

TEST(OptionPolicyTest, EveryRungOfThePrecedenceAndWhatIsIgnored) {
    struct Case {
        const char* what;
        std::vector<Setting> policies;
        bool chosen;  // the stored 20 days are the user's choice
        std::int32_t value;
        OptionSource source;
        std::int32_t unchosen;  // what Restore Default shows
        std::vector<IgnoredPolicyValue> ignored;
    };
    const auto days = [](PolicyScope scope, std::uint32_t value) {
        return Setting{scope, "nMaxDays", PolicyValue::Dword(value)};
    };
    const Case cases[] = {
        {"no policy: the store", {}, false, 20, OptionSource::kStored, 14, {}},
        {"the machine's mandatory policy over all",
         {days(kMM, 30), days(kUM, 40), days(kMR, 5), days(kUR, 6)},
         true,
         30,
         OptionSource::kMachineMandatory,
         30,
         {}},
        {"the user's mandatory policy over the user's choice",
         {days(kUM, 40), days(kMR, 5)},
         true,
         40,
         OptionSource::kUserMandatory,
         40,
         {}},
        {"the user's choice over recommendations",
         {days(kMR, 5), days(kUR, 6)},
         true,
         20,
         OptionSource::kUserChoice,
         5,
         {}},
        {"a value the program wrote gives way to the machine's recommendation",
         {days(kMR, 5), days(kUR, 6)},
         false,
         5,
         OptionSource::kMachineRecommended,
         5,
         {}},
        {"... and to the user's", {days(kUR, 6)}, false, 6, OptionSource::kUserRecommended, 6, {}},
        {"a mandatory value out of range gives way to the next rung",
         {days(kMM, 46), days(kUM, 0)},
         true,
         0,
         OptionSource::kUserMandatory,
         0,
         {{kMM, "nMaxDays", Reason::kOutOfRange, "46"}}},
        {"a text is no number",
         {{kMM, "nMaxDays", PolicyValue::Text("30")}},
         true,
         20,
         OptionSource::kUserChoice,
         14,
         {{kMM, "nMaxDays", Reason::kWrongType, ""}}},
        {"beyond 32 bits",
         {days(kMR, 0xFFFFFFFF)},
         false,
         20,
         OptionSource::kStored,
         14,
         {{kMR, "nMaxDays", Reason::kOutOfRange, "4294967295"}}},
        {"a damaged value is reported where it is outranked",
         {days(kMM, 30), days(kUR, 99)},
         false,
         30,
         OptionSource::kMachineMandatory,
         30,
         {{kUR, "nMaxDays", Reason::kOutOfRange, "99"}}},
        {"names without regard to case",
         {{kUM, "NMAXDAYS", PolicyValue::Dword(7)}},
         false,
         7,
         OptionSource::kUserMandatory,
         7,
         {}},
    };
    for (const Case& c : cases) {
        FakePolicySource source;
        for (const Setting& setting : c.policies) {
            source.Set(setting.scope, setting.name, setting.value);
        }
        StoredOptions stored;
        stored.nMaxDays = 20;
        UserChoices chosen;
        chosen.Set("nMaxDays", c.chosen);
        const PolicyOutcome outcome = ResolvePolicies(source.All(), stored, chosen);
        constexpr auto kField = &StoredOptions::nMaxDays;
        EXPECT_EQ(c.value, outcome.values.nMaxDays) << c.what;
        EXPECT_EQ(c.source, outcome.SourceOf(kField)) << c.what;
        EXPECT_EQ(c.unchosen, outcome.unchosen.nMaxDays) << c.what;
        EXPECT_EQ(IsMandatory(outcome.ScopeOf(kField).value_or(kMR)), outcome.Governed(kField))
            << c.what;
        EXPECT_EQ(c.ignored, outcome.ignored) << c.what;
    }
}

TEST(OptionPolicyTest, EachOptionReadsItsOwnNameWithinItsOwnRange) {
    FakePolicySource source;
    for (const OptionRow& row : kOptionRows) {
        if (row.policy) {
            source.Set(kMM, row.name, static_cast<std::uint32_t>(row.policy->high));
            source.Set(kMR, row.name, static_cast<std::uint32_t>(row.policy->high) + 1);
        } else {
            source.Set(kMM, row.name, 1u);  // no policy sets it, whatever the key holds
        }
    }
    const StoredOptions stored;
    const PolicyOutcome outcome = ResolvePolicies(source.All(), stored, {});
    std::size_t governed = 0;
    for (const OptionRow& row : kOptionRows) {
        const std::int32_t expected = row.policy ? row.policy->high : stored.*row.field;
        EXPECT_EQ(expected, outcome.values.*row.field) << row.name;
        EXPECT_EQ(row.policy.has_value(), outcome.Governed(row.field)) << row.name;
        governed += row.policy ? 1 : 0;
    }
    EXPECT_EQ(9u, governed);
    EXPECT_EQ(governed, outcome.ignored.size());  // each one past its range, in the other key
}

ServerCatalogue StoredCatalogue() {
    ServerCatalogue stored;
    for (const DefaultServer& row : kDefaultServers) {
        stored.Add(ServerEntry(row.title, row.address, ServerEntry::kBuiltIn));
    }
    stored.Add(ServerEntry("Mine", "mine.example", ServerEntry::kUserAdded));
    return stored;
}

std::string Hosts(const ServerCatalogue& catalogue) {
    std::string hosts;
    for (int i = 0; i < catalogue.Size(); ++i) {
        hosts += catalogue.At(i).title + "=" + catalogue.At(i).address + " ";
    }
    return hosts;
}

TEST(OptionPolicyTest, AServersListStandsForTheCatalogueWithAndWithoutTheUsersServers) {
    const PolicyValue corp = PolicyValue::Text("ntp1.corp.example\tCorp one");
    const PolicyValue plain = PolicyValue::Text(" ntp2.corp.example ");
    struct Case {
        const char* what;
        std::vector<std::pair<PolicyScope, std::vector<PolicyValue>>> lists;
        std::vector<Setting> values;
        bool catalogueChosen;
        std::optional<PolicyScope> scope;
        bool mayEdit;
        std::string applied;  // empty: the stored catalogue
        std::size_t ignored;
    };
    const std::string both = "Corp one=ntp1.corp.example ntp2.corp.example=ntp2.corp.example ";
    const auto allow = [](PolicyScope scope, std::uint32_t value) {
        return Setting{scope, kAllowUserServersValue, PolicyValue::Dword(value)};
    };
    const Case cases[] = {
        {"none", {}, {}, false, std::nullopt, true, "", 0},
        {"mandatory, the user's servers kept out",
         {{kMM, {corp, plain}}},
         {},
         true,
         kMM,
         false,
         both,
         0},
        {"mandatory, the user's servers allowed",
         {{kUM, {corp, plain}}},
         {allow(kUM, 1)},
         true,
         kUM,
         true,
         both + "Mine=mine.example ",
         0},
        {"allowed only by the key of the list",
         {{kMM, {corp}}},
         {allow(kUM, 1)},
         false,
         kMM,
         false,
         "Corp one=ntp1.corp.example ",
         0},
        {"allowed out of range",
         {{kMM, {corp}}},
         {allow(kMM, 2)},
         false,
         kMM,
         false,
         "Corp one=ntp1.corp.example ",
         1},
        {"recommended: the user may change it",
         {{kMR, {plain}}},
         {},
         false,
         kMR,
         true,
         "ntp2.corp.example=ntp2.corp.example ",
         0},
        {"recommended gives way to a catalogue the user chose",
         {{kMR, {plain}}, {kUR, {corp}}},
         {},
         true,
         std::nullopt,
         true,
         "",
         0},
        {"a list without a host stands for nothing",
         {{kMM, {PolicyValue::Text("ntp example"), PolicyValue::Dword(1), PolicyValue::Text("")}},
          {kUR, {corp}}},
         {},
         false,
         kUR,
         true,
         "Corp one=ntp1.corp.example ",
         3},
    };
    const ServerCatalogue stored = StoredCatalogue();
    for (const Case& c : cases) {
        FakePolicySource source;
        for (const auto& [scope, entries] : c.lists) {
            source.SetList(scope, kServersList, entries);
        }
        for (const Setting& setting : c.values) {
            source.Set(setting.scope, setting.name, setting.value);
        }
        UserChoices chosen;
        chosen.Set(UserChoices::kCatalogue, c.catalogueChosen);
        const ServersPolicy list = ResolvePolicies(source.All(), {}, chosen).servers;
        EXPECT_EQ(c.scope, list.scope) << c.what;
        EXPECT_EQ(c.scope && IsMandatory(*c.scope), list.Governed()) << c.what;
        EXPECT_EQ(c.mayEdit, list.UserMayEdit()) << c.what;
        EXPECT_EQ(c.applied.empty() ? Hosts(stored) : c.applied, Hosts(list.Applied(stored)))
            << c.what;
        EXPECT_EQ(c.ignored, ResolvePolicies(source.All(), {}, chosen).ignored.size()) << c.what;
        for (const ServerEntry& server : list.servers) {
            EXPECT_EQ(ServerEntry::kFromPolicy, server.userAdded) << c.what;
        }
    }
}

TEST(OptionPolicyTest, RestoringUnderAListBringsItBackBeforeTheUsersServers) {
    FakePolicySource source;
    source.SetList(kMR, kServersList, {PolicyValue::Text("a.corp"), PolicyValue::Text("b.corp")});
    const ServersPolicy list = ResolvePolicies(source.All(), {}, {}).servers;
    ServerCatalogue edited = list.Applied(StoredCatalogue());
    edited.RemoveAt(1);
    edited.Add(ServerEntry("Added", "added.example", ServerEntry::kUserAdded));
    list.RestoreDefaults(edited);
    EXPECT_EQ("a.corp=a.corp b.corp=b.corp Added=added.example ", Hosts(edited));

    ServerCatalogue builtIn = StoredCatalogue();
    ServersPolicy().RestoreDefaults(builtIn);  // without a list: the user's first, the table after
    EXPECT_EQ("Mine", builtIn.At(0).title);
    EXPECT_EQ(kDefaultServers[0].address, builtIn.At(1).address);
}

}  // namespace

namespace {

TEST(OptionPolicyTest, WhatIsAppliedIsListedWithItsKey) {
    FakePolicySource source;
    source.Set(kUM, "nTimeOut", 60u).Set(kMR, "nTimeOut", 90u).Set(kUR, "bNotify", 0u);
    source.SetList(kMM, kServersList,
                   {PolicyValue::Text("a.corp\tA"), PolicyValue::Text("b.corp")});
    source.Set(kMM, kAllowUserServersValue, 1u);
    StoredOptions stored;
    stored.bNotify = 1;
    UserChoices chosen;
    chosen.Set("bNotify", true);  // the user's choice outranks the recommendation
    const std::vector<AppliedPolicyValue> expected = {
        {kUM, "nTimeOut", "60"}, {kMM, "Servers", "a.corp b.corp"}, {kMM, "AllowUserServers", "1"}};
    EXPECT_EQ(expected, ResolvePolicies(source.All(), stored, chosen).Applied());
}

}  // namespace
