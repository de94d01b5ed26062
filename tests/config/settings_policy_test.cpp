// The settings under the administrator's policies: what the program uses, what it stores,
// and what counts as the user's choice.
#include <gtest/gtest.h>

#include "config/settings.h"

#include "config/default_servers.h"
#include "tests/support/fake_policy_source.h"
#include "tests/support/memory_profile_store.h"

namespace {

constexpr PolicyScope kMM = PolicyScope::kMachineMandatory;
constexpr PolicyScope kUM = PolicyScope::kUserMandatory;
constexpr PolicyScope kMR = PolicyScope::kMachineRecommended;

class SettingsPolicyTest : public testing::Test {
  protected:
    std::optional<MemoryProfileStore::Value> Stored(const char* name) const {
        return store_.value(Settings::kOptionsSection, name);
    }
    bool Wrote(const std::string& value) const {
        const std::vector<std::string>& writes = store_.writes();
        return std::find(writes.begin(), writes.end(), value) != writes.end();
    }
    // A later start of the program under the policies as they are.
    void Restart() {
        settings_ = std::make_unique<Settings>(store_);
        settings_->ApplyPolicies(policies_.All());
        SyncRecord record;
        settings_->Load(record);
    }
    void Choose(UserOptions options, OptionEdits edits) { settings_->Choose(options, edits); }
    std::string Titles() const {
        std::string titles;
        const ServerCatalogue catalogue = settings_->servers.Copy();
        for (int i = 0; i < catalogue.Size(); ++i) {
            titles += catalogue.At(i).title + " ";
        }
        return titles;
    }

    MemoryProfileStore store_;
    FakePolicySource policies_;
    std::unique_ptr<Settings> settings_ = std::make_unique<Settings>(store_);
};

TEST_F(SettingsPolicyTest, WhatTheProgramWroteGivesWayToARecommendationTheUsersChoiceDoesNot) {
    policies_.Set(kMR, "nMaxDays", 5u).Set(kMM, "nSynPeriod", 1u);
    settings_->ApplyPolicies(policies_.All());
    settings_->WriteFirstDefaults();
    EXPECT_EQ(5, settings_->Options().maxDays);
    EXPECT_EQ(Settings::kHourly, settings_->Options().period);
    EXPECT_FALSE(Stored("nSynPeriod"));                            // nothing governed is written
    EXPECT_EQ(MemoryProfileStore::Value(14), Stored("nMaxDays"));  // nor a recommendation
    EXPECT_EQ(MemoryProfileStore::Value(std::string()), Stored("sUserChoices"));

    UserOptions options = settings_->Options();
    options.maxDays = 30;
    options.period = Settings::kOnlyManual;  // a governed field cannot be chosen
    Choose(options, {{"nMaxDays", "nSynPeriod"}, {}});
    EXPECT_EQ(30, settings_->Options().maxDays);
    EXPECT_EQ(Settings::kHourly, settings_->Options().period);
    EXPECT_FALSE(Stored("nSynPeriod"));
    EXPECT_EQ(MemoryProfileStore::Value(std::string("nMaxDays")), Stored("sUserChoices"));
    Restart();
    EXPECT_EQ(30, settings_->Options().maxDays);

    options = settings_->Options();
    options.maxDays = settings_->Policy().unchosen.nMaxDays;
    Choose(options, {{}, {"nMaxDays"}});
    EXPECT_EQ(5, settings_->Options().maxDays);
    EXPECT_EQ(OptionSource::kMachineRecommended,
              settings_->Policy().SourceOf(&StoredOptions::nMaxDays));
    EXPECT_EQ(MemoryProfileStore::Value(14), Stored("nMaxDays"));  // the default, not the policy's
    Restart();
    EXPECT_EQ(5, settings_->Options().maxDays);
}

TEST_F(SettingsPolicyTest, OkStoresWhatTheDialogShowsButNeitherARecommendationNorTheSwitch) {
    policies_.Set(kMR, "nMaxDays", 5u);
    store_.PutInt(Settings::kOptionsSection, "nSynPeriod", 7);
    store_.PutInt(Settings::kOptionsSection, "bExitAfter", 1);
    store_.PutInt(Settings::kOptionsSection, "bNotify", 0);
    Restart();
    UserOptions shown = settings_->Options();
    shown.period = Settings::kOnlyManual;  // how the dialog shows a period it does not know
    shown.exitAfter = false;
    Choose(shown, {});
    EXPECT_EQ(MemoryProfileStore::Value(2), Stored("nSynPeriod"));
    EXPECT_EQ(MemoryProfileStore::Value(0), Stored("bExitAfter"));
    EXPECT_EQ(MemoryProfileStore::Value(0), Stored("bNotify"));
    EXPECT_EQ(MemoryProfileStore::Value(14), Stored("nMaxDays"));
    EXPECT_EQ(5, settings_->Options().maxDays);
}

TEST_F(SettingsPolicyTest, AnOlderProfilesValuesOtherThanTheDefaultsCountAsTheUsersChoices) {
    policies_.Set(kMR, "nMaxDays", 5u).Set(kMR, "nTimeOut", 60u);
    store_.PutInt(Settings::kOptionsSection, "nMaxDays", 30);
    store_.PutInt(Settings::kOptionsSection, "nTimeOut", 20);
    Restart();
    EXPECT_EQ(30, settings_->Options().maxDays);
    EXPECT_EQ(60, settings_->Options().timeOutSeconds);  // as the program wrote it: a default

    store_.PutString(Settings::kOptionsSection, "sUserChoices", "");
    Restart();
    EXPECT_EQ(5, settings_->Options().maxDays);
    EXPECT_EQ(60, settings_->Options().timeOutSeconds);
}

TEST_F(SettingsPolicyTest, AChangeOfPolicyCountsAtOnceAndLeavesTheUsersValueStored) {
    store_.PutInt(Settings::kOptionsSection, "nMaxDays", 30);
    store_.PutInt(Settings::kOptionsSection, "bExitAfter", 1);
    Restart();
    policies_.Set(kUM, "nMaxDays", 7u).Set(kMM, "nSynPeriod", 2u);
    const PolicyChange change = settings_->ApplyPolicies(policies_.All());
    EXPECT_TRUE(change.outcome);
    EXPECT_FALSE(change.catalogue);
    EXPECT_EQ(7, settings_->Options().maxDays);
    EXPECT_FALSE(settings_->Options().exitAfter);  // only manual never ends by itself
    store_.clearWrites();
    settings_->Save();
    EXPECT_FALSE(Wrote("Options/nMaxDays"));
    EXPECT_EQ(MemoryProfileStore::Value(30), Stored("nMaxDays"));
    EXPECT_EQ(MemoryProfileStore::Value(1), Stored("bExitAfter"));

    EXPECT_FALSE(settings_->ApplyPolicies(policies_.All()).outcome);  // nothing new
    policies_.Clear(kUM);
    policies_.Clear(kMM);
    EXPECT_TRUE(settings_->ApplyPolicies(policies_.All()).outcome);
    EXPECT_EQ(30, settings_->Options().maxDays);
    EXPECT_TRUE(settings_->Options().exitAfter);
}

TEST_F(SettingsPolicyTest, TheNotificationsSwitchFollowsAMandatoryPolicyAndStoresNothing) {
    policies_.Set(kMM, "bNotify", 0u);
    Restart();
    EXPECT_FALSE(settings_->notify);
    store_.clearWrites();
    settings_->StoreNotify(true);
    EXPECT_FALSE(settings_->notify);
    EXPECT_TRUE(store_.writes().empty());
}

TEST_F(SettingsPolicyTest, AMandatoryListStoresOnlyTheUsersOwnServersWhereItAllowsThem) {
    policies_.SetList(kMM, kServersList,
                      {PolicyValue::Text("a.corp\tCorp A"), PolicyValue::Text("b.corp")});
    Restart();
    EXPECT_EQ("Corp A b.corp ", Titles());
    store_.clearWrites();
    settings_->SaveServers(true);
    EXPECT_TRUE(store_.writes().empty());  // the list keeps the user's servers out

    policies_.Set(kMM, kAllowUserServersValue, 1u);
    settings_->ApplyPolicies(policies_.All());
    settings_->servers.With([](ServerCatalogue& catalogue) {
        catalogue.Add(ServerEntry("Mine", "mine.example", ServerEntry::kUserAdded));
    });
    settings_->SaveServers(true);
    EXPECT_EQ(MemoryProfileStore::Value(20), store_.value("Servers", "Servers_Counter"));
    EXPECT_EQ(MemoryProfileStore::Value(std::string("Mine\nmine.example\n1 0.000")),
              store_.value("Servers", "Servers 19"));
    Restart();
    EXPECT_EQ("Corp A b.corp Mine ", Titles());

    policies_.Clear(kMM);
    const PolicyChange gone = settings_->ApplyPolicies(policies_.All());
    ASSERT_TRUE(gone.catalogue);
    EXPECT_EQ(20, gone.catalogue->Size());  // the user's own catalogue again
    EXPECT_EQ("Mine", gone.catalogue->At(19).title);
}

TEST_F(SettingsPolicyTest, ARecommendedListBecomesTheUsersOnlyWhenTheUserChangesIt) {
    Restart();
    policies_.SetList(kMR, kServersList,
                      {PolicyValue::Text("a.corp"), PolicyValue::Text("b.corp")});
    settings_->startingServer = 0;
    const PolicyChange change = settings_->ApplyPolicies(policies_.All());
    ASSERT_TRUE(change.catalogue);
    EXPECT_EQ(2, change.catalogue->Size());
    EXPECT_EQ(0, change.chosen);
    settings_->servers.With([&](ServerCatalogue& catalogue) {
        catalogue.Clear();
        catalogue.Append(*change.catalogue);
    });
    store_.clearWrites();
    settings_->SaveServers(false);  // another server chosen: nothing of the catalogue changed
    EXPECT_TRUE(store_.writes().empty());

    settings_->servers.With([](ServerCatalogue& catalogue) { catalogue.RemoveAt(0); });
    settings_->SaveServers(true);
    EXPECT_EQ(MemoryProfileStore::Value(std::string("b.corp\nb.corp\n0 0.000")),
              store_.value("Servers", "Servers 0"));
    EXPECT_EQ(MemoryProfileStore::Value(std::string("Servers")), Stored("sUserChoices"));
    EXPECT_EQ(ServerEntry::kBuiltIn, settings_->servers.Copy().At(0).userAdded);

    policies_.SetList(kMR, kServersList, {PolicyValue::Text("c.corp")});
    EXPECT_FALSE(settings_->ApplyPolicies(policies_.All()).catalogue);  // the user's stands
}

TEST_F(SettingsPolicyTest, ANewCatalogueKeepsTheChosenServerWhereItHasIt) {
    Restart();
    const ServerCatalogue builtIn = settings_->servers.Copy();
    settings_->startingServer = 3;
    policies_.SetList(kUM, kServersList,
                      {PolicyValue::Text("a.corp"), PolicyValue::Text(builtIn.At(3).address)});
    const PolicyChange change = settings_->ApplyPolicies(policies_.All());
    ASSERT_TRUE(change.catalogue);
    EXPECT_EQ(1, change.chosen);
}

}  // namespace

namespace {

TEST(SettingsSecureServersTest, OnlySecureGainsTheSecureGroupOnceAndNeverUnderAServersList) {
    const struct {
        const char* name;
        bool list;
        int added;
        int stored;  // the counter a later start reads
    } cases[] = {
        {"the built-in table", false, 5, 24},
        {"a mandatory list", true, 0, 19},
    };
    for (const auto& c : cases) {
        MemoryProfileStore store;
        FakePolicySource policies;
        if (c.list) {
            policies.SetList(kMM, kServersList, {PolicyValue::Text("a.corp")});
        }
        const auto start = [&] {
            auto settings = std::make_unique<Settings>(store);
            settings->ApplyPolicies(policies.All());
            SyncRecord record;
            settings->Load(record);
            return settings;
        };
        const std::unique_ptr<Settings> settings = start();
        EXPECT_EQ(c.added, settings->AddSecureServersWhenNone()) << c.name;
        EXPECT_EQ(0, settings->AddSecureServersWhenNone()) << c.name;  // never twice
        EXPECT_EQ(MemoryProfileStore::Value(c.stored), store.value("Servers", "Servers_Counter"))
            << c.name;
        const ServerCatalogue later = start()->servers.Copy();
        EXPECT_EQ(c.added > 0, HasSecureEntry(later)) << c.name;
        if (c.added > 0) {
            EXPECT_EQ(kSecureServers[0].address, later.At(19).address) << c.name;
        }
    }
}

}  // namespace
