#include "config/settings.h"

#include <algorithm>

#include "config/default_servers.h"

namespace {

std::uint16_t Field(std::int32_t value) {
    return static_cast<std::uint16_t>(value);
}

}  // namespace

Settings::Settings(ProfileStore& store) : store_(store) {}

std::int32_t Settings::getOption(const char* name, std::int32_t defaultValue) {
    return store_.getInt(kOptionsSection, name, defaultValue);
}

// "<prefix>Hour", "<prefix>Minute", "<prefix>Second" and "<prefix>Milliseconds", in order.
SYSTEMTIME Settings::readTimeOfDay(const std::string& prefix) {
    SYSTEMTIME time{};
    time.wHour = Field(getOption((prefix + "Hour").c_str(), 0));
    time.wMinute = Field(getOption((prefix + "Minute").c_str(), 0));
    time.wSecond = Field(getOption((prefix + "Second").c_str(), 0));
    time.wMilliseconds = Field(getOption((prefix + "Milliseconds").c_str(), 0));
    return time;
}

void Settings::putTimeOfDay(const std::string& prefix, const SYSTEMTIME& time) {
    store_.putInt(kOptionsSection, prefix + "Hour", time.wHour);
    store_.putInt(kOptionsSection, prefix + "Minute", time.wMinute);
    store_.putInt(kOptionsSection, prefix + "Second", time.wSecond);
    store_.putInt(kOptionsSection, prefix + "Milliseconds", time.wMilliseconds);
}

void Settings::load(SyncRecord& record) {
    record.timeBefore = readTimeOfDay("nOld");
    record.timeAfter = readTimeOfDay("nNew");

    SYSTEMTIME date{};
    date.wYear = Field(getOption("nSynYear", 0));
    date.wMonth = Field(getOption("nSynMonth", 0));
    date.wDay = Field(getOption("nSynDay", 0));
    record.syncDate = date;

    record.connectStatus = store_.getString(kOptionsSection, "sConnectStatus", {});
    record.missingStatus = SyncRecord::MissingStatus::kNotStored;

    StoredOptions values;
    for (const OptionRow& row : kOptionRows) {
        values.*row.field = row.Corrected(getOption(row.name, values.*row.field));
    }
    if (values.nSynPeriod == kHourly || values.nSynPeriod == kOnlyManual) {
        values.bExitAfter = 0;  // in memory only: the store keeps its value until the next save
    }
    publish(values);
    nStartingServ = values.nStartingServ;
    bFirstStart = values.bFirstStart;
    nClockService = values.nClockService;
    bNotify = values.bNotify;
    loadServers();
}

void Settings::save() {
    StoredOptions values;
    static_cast<UserOptions&>(values) = userOptions();
    values.nStartingServ = nStartingServ;
    values.bFirstStart = bFirstStart;
    values.nClockService = nClockService;
    values.bNotify = bNotify;
    for (const OptionRow& row : kOptionRows) {
        store_.putInt(kOptionsSection, row.name, values.*row.field);
    }
}

void Settings::storeNotify(bool on) {
    bNotify = on ? 1 : 0;
    store_.putInt(kOptionsSection, OptionRowOf(&StoredOptions::bNotify).name, bNotify);
}

void Settings::writeFirstDefaults() {
    publish(UserOptions{});
    bFirstStart = 1;
    resetServers();
    save();
}

void Settings::saveSyncRecord(const SyncRecord& record) {
    putTimeOfDay("nOld", record.timeBefore);
    putTimeOfDay("nNew", record.timeAfter);
    store_.putInt(kOptionsSection, "nSynYear", record.syncDate.wYear);
    store_.putInt(kOptionsSection, "nSynMonth", record.syncDate.wMonth);
    store_.putInt(kOptionsSection, "nSynDay", record.syncDate.wDay);
    store_.putString(kOptionsSection, "sConnectStatus", record.connectStatus);
}

void Settings::restoreDefaults() {
    publish(UserOptions{});
}

UserOptions Settings::userOptions() const {
    const std::lock_guard lock(optionsMutex_);
    return options_;
}

void Settings::publish(const UserOptions& options) {
    const std::lock_guard lock(optionsMutex_);
    options_ = options;
}

void Settings::loadServers() {
    servers.With([this](ServerCatalogue& catalogue) {
        const std::vector<int> loaded = catalogue.load(store_);
        if (loaded.empty()) {
            RestoreDefaultEntries(catalogue);
            catalogue.save(store_);
        }
        // The starting server stays the same server when damaged entries before it were
        // skipped; one that was itself damaged gives way to the first.
        const auto kept = std::find(loaded.begin(), loaded.end(), nStartingServ.load());
        if (!loaded.empty()) {
            nStartingServ = kept == loaded.end() ? 0 : static_cast<int>(kept - loaded.begin());
        }
        if (nStartingServ < 0 || nStartingServ >= catalogue.size()) {
            nStartingServ = 0;
        }
    });
}

void Settings::resetServers() {
    servers.With([this](ServerCatalogue& catalogue) {
        RestoreDefaultEntries(catalogue);
        catalogue.save(store_);
    });
}

void Settings::restoreDefaultServers() {
    servers.With([](ServerCatalogue& catalogue) { RestoreDefaultEntries(catalogue); });
}

void Settings::RestoreDefaultEntries(ServerCatalogue& catalogue) {
    catalogue.keepIf([](const ServerEntry& entry) { return entry.userAdded != 0; });
    for (const DefaultServer& row : kDefaultServers) {
        catalogue.add(ServerEntry(row.title, row.address, 0));
    }
}

void Settings::saveServers() {
    servers.With([this](const ServerCatalogue& catalogue) { catalogue.save(store_); });
}
