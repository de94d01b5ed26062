#include "config/settings.h"

#include <gtest/gtest.h>

#include "tests/support/calendar.h"

#include "config/default_servers.h"
#include "tests/support/memory_profile_store.h"
#include "tests/support/set_option.h"

namespace {

class SettingsTest : public testing::Test {
  protected:
    void Store(const char* name, std::int32_t value) {
        store_.PutInt(Settings::kOptionsSection, name, value);
    }
    std::optional<MemoryProfileStore::Value> Stored(const char* name) {
        return store_.value(Settings::kOptionsSection, name);
    }
    void Load() {
        store_.clearWrites();
        settings_.Load(record_);
    }

    MemoryProfileStore store_;
    Settings settings_{store_};
    SyncRecord record_;
};

TEST_F(SettingsTest, ConstructionValues) {
    EXPECT_TRUE((UserOptions{0, 1, 1, 0, 14, 61, 20}) == settings_.Options());
    EXPECT_EQ(0, settings_.firstStart);
    EXPECT_EQ(0, settings_.startingServer);
    EXPECT_EQ(0, settings_.clockService);
    EXPECT_EQ(0, settings_.servers.Size());
}

TEST_F(SettingsTest, EmptyStoreLoadsDefaultsAndWritesTheDefaultCatalogue) {
    record_.connectStatus = "something";
    record_.syncDate.wYear = 2000;
    Load();
    EXPECT_TRUE((UserOptions{0, 1, 1, 0, 14, 61, 20}) == settings_.Options());
    EXPECT_EQ(1, settings_.firstStart);
    EXPECT_EQ(0, settings_.startingServer);
    EXPECT_EQ(1, settings_.notify);
    EXPECT_EQ(0, record_.syncDate.wYear);
    EXPECT_EQ(0, record_.timeBefore.wHour);
    EXPECT_EQ("", record_.connectStatus);
    EXPECT_EQ(SyncRecord::MissingStatus::kNotStored, record_.missingStatus);
    EXPECT_EQ(19, settings_.servers.Size());
    EXPECT_EQ(MemoryProfileStore::Value(19), store_.value("Servers", "Servers_Counter"));
    EXPECT_TRUE(store_.value("Servers", "Servers 18"));
    EXPECT_FALSE(store_.HasSection(Settings::kOptionsSection));  // loading writes no option
}

TEST_F(SettingsTest, LoadReadsTheRecordThenTheOptionsInOrder) {
    Store("nOldHour", 9);
    Store("nOldMinute", 5);
    Store("nOldSecond", 3);
    Store("nOldMilliseconds", 7);
    Store("nNewMilliseconds", 250);
    Store("nSynYear", 2003);
    Store("nSynMonth", 3);
    Store("nSynDay", 7);
    store_.PutString(Settings::kOptionsSection, "sConnectStatus", "Success synchro: x");
    Store("nOffset", -90);
    Store("nMaxDiff", 0);
    Load();
    EXPECT_EQ(9, record_.timeBefore.wHour);
    EXPECT_EQ(7, record_.timeBefore.wMilliseconds);
    EXPECT_EQ(250, record_.timeAfter.wMilliseconds);
    EXPECT_EQ(0, record_.timeAfter.wYear);
    EXPECT_EQ(2003, record_.syncDate.wYear);
    EXPECT_EQ(7, record_.syncDate.wDay);
    EXPECT_EQ(0, record_.syncDate.wHour);
    EXPECT_EQ("Success synchro: x", record_.connectStatus);
    EXPECT_EQ(-90, settings_.Options().offsetSeconds);
    EXPECT_EQ(0, settings_.Options().maxDiffMinutes);
}

TEST_F(SettingsTest, LoadCorrections) {
    Store("nSynPeriod", 1);
    Store("bExitAfter", 1);
    Store("nTimeOut", 3);
    Load();
    EXPECT_EQ(0, settings_.Options().exitAfter);  // hourly never ends the program by itself
    EXPECT_EQ(MemoryProfileStore::Value(1), Stored("bExitAfter"));  // only in memory
    EXPECT_EQ(5, settings_.Options().timeOutSeconds);

    for (const std::int32_t stored : {0, -7, 4}) {
        Store("nTimeOut", stored);
        Load();
        EXPECT_EQ(5, settings_.Options().timeOutSeconds) << stored;
    }
    Store("nTimeOut", 5);
    Store("nSynPeriod", 7);  // not validated: behaves as only manual elsewhere
    Load();
    EXPECT_EQ(5, settings_.Options().timeOutSeconds);
    EXPECT_EQ(7, settings_.Options().period);
    EXPECT_EQ(1, settings_.Options().exitAfter);
    Store("nSynPeriod", 2);
    Load();
    EXPECT_EQ(0, settings_.Options().exitAfter);

    // Unknown ways to set the clock read as automatic.
    for (const auto& [stored, loaded] : {std::pair{2, 2}, {1, 1}, {0, 0}, {3, 0}, {-1, 0}}) {
        Store("nClockService", stored);
        Load();
        EXPECT_EQ(loaded, settings_.clockService) << stored;
    }
}

TEST_F(SettingsTest, StartingServerMustNameAnEntry) {
    for (const std::int32_t stored : {-1, 19, 20}) {
        Store("nStartingServ", stored);
        settings_.servers.With([&](ServerCatalogue& catalogue) { catalogue.Clear(); });
        Load();
        EXPECT_EQ(0, settings_.startingServer) << stored;
    }
    Store("nStartingServ", 18);
    settings_.servers.With([&](ServerCatalogue& catalogue) { catalogue.Clear(); });
    Load();
    EXPECT_EQ(18, settings_.startingServer);
}

TEST_F(SettingsTest, ValuesOfTheWrongTypeReadAsAbsent) {
    store_.PutString(Settings::kOptionsSection, "nMaxDays", "30");
    Store("sConnectStatus", 5);
    store_.PutString("Servers", "Servers_Counter", "3");
    Load();
    EXPECT_EQ(14, settings_.Options().maxDays);
    EXPECT_EQ("", record_.connectStatus);
    EXPECT_EQ(SyncRecord::MissingStatus::kNotStored, record_.missingStatus);
    EXPECT_EQ(19, settings_.servers.Size());
}

TEST_F(SettingsTest, SaveWritesTheTwelveOptionsInOrderThenTheUsersChoices) {
    SetOption(settings_, &UserOptions::offsetSeconds, -90);
    settings_.Save();
    const std::vector<std::string> expected = {
        "Options/nSynPeriod",    "Options/bShowIcon",     "Options/bExitAfter",
        "Options/nOffset",       "Options/nMaxDays",      "Options/nTimeOut",
        "Options/nMaxDiff",      "Options/nStartingServ", "Options/bFirstStart",
        "Options/nClockService", "Options/bNotify",       "Options/bOnlyNts",
        "Options/sUserChoices"};
    EXPECT_EQ(expected, store_.writes());
    EXPECT_EQ(MemoryProfileStore::Value(-90), Stored("nOffset"));
    EXPECT_EQ(MemoryProfileStore::Value(0), Stored("bFirstStart"));  // as constructed
}

TEST_F(SettingsTest, TheNotificationsSwitchIsStoredAtOnceWithTheUsersChoices) {
    for (const bool on : {false, true}) {
        store_.clearWrites();
        settings_.StoreNotify(on);
        EXPECT_EQ((std::vector<std::string>{"Options/bNotify", "Options/sUserChoices"}),
                  store_.writes());
        EXPECT_EQ(MemoryProfileStore::Value(std::string("bNotify")), Stored("sUserChoices"));
        EXPECT_EQ(MemoryProfileStore::Value(on ? 1 : 0), Stored("bNotify"));
        EXPECT_EQ(on ? 1 : 0, settings_.notify);
    }
}

TEST_F(SettingsTest, EveryValueLandsUnderItsOwnName) {
    // Distinct values, so that any two swapped would show.
    const std::pair<const char*, std::int32_t> options[] = {
        {"nSynPeriod", 2},  {"bShowIcon", 0},     {"bExitAfter", 0}, {"nOffset", -333},
        {"nMaxDays", 44},   {"nTimeOut", 77},     {"nMaxDiff", 555}, {"nStartingServ", 6},
        {"bFirstStart", 1}, {"nClockService", 2}, {"bNotify", 0}};
    settings_.Publish({2, 0, 0, -333, 44, 555, 77});
    settings_.startingServer = 6;
    settings_.firstStart = 1;
    settings_.clockService = 2;
    settings_.notify = 0;
    settings_.Save();
    for (const auto& [name, value] : options) {
        EXPECT_EQ(MemoryProfileStore::Value(value), Stored(name)) << name;
    }
    Settings later(store_);  // and each reads back from where it went
    later.Load(record_);
    EXPECT_TRUE(settings_.Options() == later.Options());
    EXPECT_EQ(6, later.startingServer);
    EXPECT_EQ(1, later.firstStart);
    EXPECT_EQ(2, later.clockService);
    EXPECT_EQ(0, later.notify);

    SYSTEMTIME before = Calendar(2001, 1, 1, 1, 2, 3);
    before.wMilliseconds = 4;
    SYSTEMTIME after = Calendar(2001, 1, 1, 5, 6, 7);
    after.wMilliseconds = 8;
    record_ = {before, after, Calendar(2009, 10, 11), "status"};
    settings_.SaveSyncRecord(record_);
    const std::pair<const char*, std::int32_t> record[] = {
        {"nOldHour", 1},    {"nOldMinute", 2}, {"nOldSecond", 3}, {"nOldMilliseconds", 4},
        {"nNewHour", 5},    {"nNewMinute", 6}, {"nNewSecond", 7}, {"nNewMilliseconds", 8},
        {"nSynYear", 2009}, {"nSynMonth", 10}, {"nSynDay", 11}};
    for (const auto& [name, value] : record) {
        EXPECT_EQ(MemoryProfileStore::Value(value), Stored(name)) << name;
    }
}

TEST_F(SettingsTest, TheFirstStartsDefaultsKeepTheFirstSynchronisationQuiet) {
    settings_.WriteFirstDefaults();
    EXPECT_EQ(MemoryProfileStore::Value(1), Stored("bFirstStart"));
    EXPECT_EQ(MemoryProfileStore::Value(19), store_.value("Servers", "Servers_Counter"));
    Settings later(store_);
    SyncRecord record;
    later.Load(record);
    EXPECT_EQ(1, later.firstStart);
}

TEST_F(SettingsTest, SaveAfterASynchronisationStoresTheClearedFirstStartFlag) {
    Load();
    EXPECT_EQ(1, settings_.firstStart);
    settings_.firstStart = 0;  // as a successful run leaves it
    settings_.Save();
    EXPECT_EQ(MemoryProfileStore::Value(0), Stored("bFirstStart"));
}

TEST_F(SettingsTest, SyncRecordIsStoredInOrderAndReadBack) {
    record_.timeBefore.wHour = 9;
    record_.timeBefore.wMilliseconds = 7;
    record_.timeAfter.wSecond = 59;
    record_.syncDate = Calendar(2003, 3, 7, 14, 5);
    record_.connectStatus = "Success synchro: Mar. 07, 2003. Net delay: 0.123 sec.";
    settings_.SaveSyncRecord(record_);
    const std::vector<std::string> expected = {
        "Options/nOldHour", "Options/nOldMinute", "Options/nOldSecond", "Options/nOldMilliseconds",
        "Options/nNewHour", "Options/nNewMinute", "Options/nNewSecond", "Options/nNewMilliseconds",
        "Options/nSynYear", "Options/nSynMonth",  "Options/nSynDay",    "Options/sConnectStatus"};
    EXPECT_EQ(expected, store_.writes());

    SyncRecord loaded;
    Settings other(store_);
    other.Load(loaded);
    EXPECT_EQ(9, loaded.timeBefore.wHour);
    EXPECT_EQ(7, loaded.timeBefore.wMilliseconds);
    EXPECT_EQ(59, loaded.timeAfter.wSecond);
    EXPECT_EQ(2003, loaded.syncDate.wYear);
    EXPECT_EQ(0, loaded.syncDate.wHour);  // only the date is stored
    EXPECT_EQ(record_.connectStatus, loaded.connectStatus);
}

TEST_F(SettingsTest, RestoreDefaultsLeavesFirstStartClockServiceServerCatalogueAndStore) {
    Load();
    settings_.Publish({1, 0, 0, 30, 0, 5, 99});
    settings_.clockService = 1;
    settings_.startingServer = 4;
    settings_.firstStart = 0;
    settings_.servers.With([&](ServerCatalogue& catalogue) { catalogue.RemoveAt(0, 3); });
    store_.clearWrites();
    settings_.RestoreDefaults();
    EXPECT_TRUE((UserOptions{0, 1, 1, 0, 14, 61, 20}) == settings_.Options());
    EXPECT_EQ(1, settings_.clockService);  // Options does not show it
    EXPECT_EQ(4, settings_.startingServer);
    EXPECT_EQ(0, settings_.firstStart);
    EXPECT_EQ(16, settings_.servers.Size());
    EXPECT_TRUE(store_.writes().empty());
}

TEST_F(SettingsTest, StoreWriteFailuresAreIgnored) {
    store_.failWrites(true);
    settings_.Save();
    settings_.ResetServers();
    EXPECT_EQ(19, settings_.servers.Size());
    Load();
    EXPECT_EQ(19, settings_.servers.Size());  // nothing was stored: the default table again
    EXPECT_FALSE(store_.HasSection("Servers"));
}

}  // namespace
