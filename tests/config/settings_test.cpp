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
        store_.putInt(Settings::kOptionsSection, name, value);
    }
    std::optional<MemoryProfileStore::Value> Stored(const char* name) {
        return store_.value(Settings::kOptionsSection, name);
    }
    void Load() {
        store_.clearWrites();
        settings_.load(record_);
    }

    MemoryProfileStore store_;
    Settings settings_{store_};
    SyncRecord record_;
};

TEST_F(SettingsTest, ConstructionValues) {
    EXPECT_TRUE((UserOptions{0, 1, 1, 0, 14, 61, 20}) == settings_.userOptions());
    EXPECT_EQ(0, settings_.bFirstStart);
    EXPECT_EQ(0, settings_.nStartingServ);
    EXPECT_EQ(0, settings_.nClockService);
    EXPECT_EQ(0, settings_.servers.size());
}

TEST_F(SettingsTest, EmptyStoreLoadsDefaultsAndWritesTheDefaultCatalogue) {
    record_.connectStatus = "something";
    record_.syncDate.wYear = 2000;
    Load();
    EXPECT_TRUE((UserOptions{0, 1, 1, 0, 14, 61, 20}) == settings_.userOptions());
    EXPECT_EQ(1, settings_.bFirstStart);
    EXPECT_EQ(0, settings_.nStartingServ);
    EXPECT_EQ(1, settings_.bNotify);
    EXPECT_EQ(0, record_.syncDate.wYear);
    EXPECT_EQ(0, record_.timeBefore.wHour);
    EXPECT_EQ("", record_.connectStatus);
    EXPECT_EQ(SyncRecord::MissingStatus::kNotStored, record_.missingStatus);
    EXPECT_EQ(19, settings_.servers.size());
    EXPECT_EQ(MemoryProfileStore::Value(19), store_.value("Servers", "Servers_Counter"));
    EXPECT_TRUE(store_.value("Servers", "Servers 18"));
    EXPECT_FALSE(store_.hasSection(Settings::kOptionsSection));  // loading writes no option
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
    store_.putString(Settings::kOptionsSection, "sConnectStatus", "Success synchro: x");
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
    EXPECT_EQ(-90, settings_.userOptions().nOffset);
    EXPECT_EQ(0, settings_.userOptions().nMaxDiff);
}

TEST_F(SettingsTest, LoadCorrections) {
    Store("nSynPeriod", 1);
    Store("bExitAfter", 1);
    Store("nTimeOut", 3);
    Load();
    EXPECT_EQ(0, settings_.userOptions().bExitAfter);  // hourly never ends the program by itself
    EXPECT_EQ(MemoryProfileStore::Value(1), Stored("bExitAfter"));  // only in memory
    EXPECT_EQ(5, settings_.userOptions().nTimeOut);

    for (const std::int32_t stored : {0, -7, 4}) {
        Store("nTimeOut", stored);
        Load();
        EXPECT_EQ(5, settings_.userOptions().nTimeOut) << stored;
    }
    Store("nTimeOut", 5);
    Store("nSynPeriod", 7);  // not validated: behaves as only manual elsewhere
    Load();
    EXPECT_EQ(5, settings_.userOptions().nTimeOut);
    EXPECT_EQ(7, settings_.userOptions().nSynPeriod);
    EXPECT_EQ(1, settings_.userOptions().bExitAfter);
    Store("nSynPeriod", 2);
    Load();
    EXPECT_EQ(0, settings_.userOptions().bExitAfter);

    // Unknown ways to set the clock read as automatic.
    for (const auto& [stored, loaded] : {std::pair{2, 2}, {1, 1}, {0, 0}, {3, 0}, {-1, 0}}) {
        Store("nClockService", stored);
        Load();
        EXPECT_EQ(loaded, settings_.nClockService) << stored;
    }
}

TEST_F(SettingsTest, StartingServerMustNameAnEntry) {
    for (const std::int32_t stored : {-1, 19, 20}) {
        Store("nStartingServ", stored);
        settings_.servers.With([&](ServerCatalogue& catalogue) { catalogue.clear(); });
        Load();
        EXPECT_EQ(0, settings_.nStartingServ) << stored;
    }
    Store("nStartingServ", 18);
    settings_.servers.With([&](ServerCatalogue& catalogue) { catalogue.clear(); });
    Load();
    EXPECT_EQ(18, settings_.nStartingServ);
}

TEST_F(SettingsTest, ValuesOfTheWrongTypeReadAsAbsent) {
    store_.putString(Settings::kOptionsSection, "nMaxDays", "30");
    Store("sConnectStatus", 5);
    store_.putString("Servers", "Servers_Counter", "3");
    Load();
    EXPECT_EQ(14, settings_.userOptions().nMaxDays);
    EXPECT_EQ("", record_.connectStatus);
    EXPECT_EQ(SyncRecord::MissingStatus::kNotStored, record_.missingStatus);
    EXPECT_EQ(19, settings_.servers.size());
}

TEST_F(SettingsTest, SaveWritesTheElevenOptionsInOrder) {
    SetOption(settings_, &UserOptions::nOffset, -90);
    settings_.save();
    const std::vector<std::string> expected = {
        "Options/nSynPeriod",    "Options/bShowIcon",     "Options/bExitAfter",
        "Options/nOffset",       "Options/nMaxDays",      "Options/nTimeOut",
        "Options/nMaxDiff",      "Options/nStartingServ", "Options/bFirstStart",
        "Options/nClockService", "Options/bNotify"};
    EXPECT_EQ(expected, store_.writes());
    EXPECT_EQ(MemoryProfileStore::Value(-90), Stored("nOffset"));
    EXPECT_EQ(MemoryProfileStore::Value(0), Stored("bFirstStart"));  // as constructed
}

TEST_F(SettingsTest, TheNotificationsSwitchIsStoredAtOnceAndAlone) {
    for (const bool on : {false, true}) {
        store_.clearWrites();
        settings_.storeNotify(on);
        EXPECT_EQ(std::vector<std::string>{"Options/bNotify"}, store_.writes());
        EXPECT_EQ(MemoryProfileStore::Value(on ? 1 : 0), Stored("bNotify"));
        EXPECT_EQ(on ? 1 : 0, settings_.bNotify);
    }
}

TEST_F(SettingsTest, EveryValueLandsUnderItsOwnName) {
    // Distinct values, so that any two swapped would show.
    const std::pair<const char*, std::int32_t> options[] = {
        {"nSynPeriod", 2},  {"bShowIcon", 0},     {"bExitAfter", 0}, {"nOffset", -333},
        {"nMaxDays", 44},   {"nTimeOut", 77},     {"nMaxDiff", 555}, {"nStartingServ", 6},
        {"bFirstStart", 1}, {"nClockService", 2}, {"bNotify", 0}};
    settings_.publish({2, 0, 0, -333, 44, 555, 77});
    settings_.nStartingServ = 6;
    settings_.bFirstStart = 1;
    settings_.nClockService = 2;
    settings_.bNotify = 0;
    settings_.save();
    for (const auto& [name, value] : options) {
        EXPECT_EQ(MemoryProfileStore::Value(value), Stored(name)) << name;
    }
    Settings later(store_);  // and each reads back from where it went
    later.load(record_);
    EXPECT_TRUE(settings_.userOptions() == later.userOptions());
    EXPECT_EQ(6, later.nStartingServ);
    EXPECT_EQ(1, later.bFirstStart);
    EXPECT_EQ(2, later.nClockService);
    EXPECT_EQ(0, later.bNotify);

    SYSTEMTIME before = Calendar(2001, 1, 1, 1, 2, 3);
    before.wMilliseconds = 4;
    SYSTEMTIME after = Calendar(2001, 1, 1, 5, 6, 7);
    after.wMilliseconds = 8;
    record_ = {before, after, Calendar(2009, 10, 11), "status"};
    settings_.saveSyncRecord(record_);
    const std::pair<const char*, std::int32_t> record[] = {
        {"nOldHour", 1},    {"nOldMinute", 2}, {"nOldSecond", 3}, {"nOldMilliseconds", 4},
        {"nNewHour", 5},    {"nNewMinute", 6}, {"nNewSecond", 7}, {"nNewMilliseconds", 8},
        {"nSynYear", 2009}, {"nSynMonth", 10}, {"nSynDay", 11}};
    for (const auto& [name, value] : record) {
        EXPECT_EQ(MemoryProfileStore::Value(value), Stored(name)) << name;
    }
}

TEST_F(SettingsTest, TheFirstStartsDefaultsKeepTheFirstSynchronisationQuiet) {
    settings_.writeFirstDefaults();
    EXPECT_EQ(MemoryProfileStore::Value(1), Stored("bFirstStart"));
    EXPECT_EQ(MemoryProfileStore::Value(19), store_.value("Servers", "Servers_Counter"));
    Settings later(store_);
    SyncRecord record;
    later.load(record);
    EXPECT_EQ(1, later.bFirstStart);
}

TEST_F(SettingsTest, SaveAfterASynchronisationStoresTheClearedFirstStartFlag) {
    Load();
    EXPECT_EQ(1, settings_.bFirstStart);
    settings_.bFirstStart = 0;  // as a successful run leaves it
    settings_.save();
    EXPECT_EQ(MemoryProfileStore::Value(0), Stored("bFirstStart"));
}

TEST_F(SettingsTest, SyncRecordIsStoredInOrderAndReadBack) {
    record_.timeBefore.wHour = 9;
    record_.timeBefore.wMilliseconds = 7;
    record_.timeAfter.wSecond = 59;
    record_.syncDate = Calendar(2003, 3, 7, 14, 5);
    record_.connectStatus = "Success synchro: Mar. 07, 2003. Net delay: 0.123 sec.";
    settings_.saveSyncRecord(record_);
    const std::vector<std::string> expected = {
        "Options/nOldHour", "Options/nOldMinute", "Options/nOldSecond", "Options/nOldMilliseconds",
        "Options/nNewHour", "Options/nNewMinute", "Options/nNewSecond", "Options/nNewMilliseconds",
        "Options/nSynYear", "Options/nSynMonth",  "Options/nSynDay",    "Options/sConnectStatus"};
    EXPECT_EQ(expected, store_.writes());

    SyncRecord loaded;
    Settings other(store_);
    other.load(loaded);
    EXPECT_EQ(9, loaded.timeBefore.wHour);
    EXPECT_EQ(7, loaded.timeBefore.wMilliseconds);
    EXPECT_EQ(59, loaded.timeAfter.wSecond);
    EXPECT_EQ(2003, loaded.syncDate.wYear);
    EXPECT_EQ(0, loaded.syncDate.wHour);  // only the date is stored
    EXPECT_EQ(record_.connectStatus, loaded.connectStatus);
}

TEST_F(SettingsTest, RestoreDefaultsLeavesFirstStartClockServiceServerCatalogueAndStore) {
    Load();
    settings_.publish({1, 0, 0, 30, 0, 5, 99});
    settings_.nClockService = 1;
    settings_.nStartingServ = 4;
    settings_.bFirstStart = 0;
    settings_.servers.With([&](ServerCatalogue& catalogue) { catalogue.removeAt(0, 3); });
    store_.clearWrites();
    settings_.restoreDefaults();
    EXPECT_TRUE((UserOptions{0, 1, 1, 0, 14, 61, 20}) == settings_.userOptions());
    EXPECT_EQ(1, settings_.nClockService);  // Options does not show it
    EXPECT_EQ(4, settings_.nStartingServ);
    EXPECT_EQ(0, settings_.bFirstStart);
    EXPECT_EQ(16, settings_.servers.size());
    EXPECT_TRUE(store_.writes().empty());
}

TEST_F(SettingsTest, StoreWriteFailuresAreIgnored) {
    store_.failWrites(true);
    settings_.save();
    settings_.resetServers();
    EXPECT_EQ(19, settings_.servers.size());
    Load();
    EXPECT_EQ(19, settings_.servers.size());  // nothing was stored: the default table again
    EXPECT_FALSE(store_.hasSection("Servers"));
}

}  // namespace
