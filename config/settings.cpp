#include "config/settings.h"

#include <algorithm>

#include "config/default_servers.h"

namespace {

std::uint16_t Field(std::int32_t value) {
    return static_cast<std::uint16_t>(value);
}

}  // namespace

Settings::Settings(ProfileStore& store) : store_(store) {}

std::int32_t Settings::GetOption(const char* name, std::int32_t defaultValue) {
    return store_.GetInt(kOptionsSection, name, defaultValue);
}

// "<prefix>Hour", "<prefix>Minute", "<prefix>Second" and "<prefix>Milliseconds", in order.
SYSTEMTIME Settings::ReadTimeOfDay(const std::string& prefix) {
    SYSTEMTIME time{};
    time.wHour = Field(GetOption((prefix + "Hour").c_str(), 0));
    time.wMinute = Field(GetOption((prefix + "Minute").c_str(), 0));
    time.wSecond = Field(GetOption((prefix + "Second").c_str(), 0));
    time.wMilliseconds = Field(GetOption((prefix + "Milliseconds").c_str(), 0));
    return time;
}

void Settings::PutTimeOfDay(const std::string& prefix, const SYSTEMTIME& time) {
    store_.PutInt(kOptionsSection, prefix + "Hour", time.wHour);
    store_.PutInt(kOptionsSection, prefix + "Minute", time.wMinute);
    store_.PutInt(kOptionsSection, prefix + "Second", time.wSecond);
    store_.PutInt(kOptionsSection, prefix + "Milliseconds", time.wMilliseconds);
}

void Settings::Load(SyncRecord& record) {
    record.timeBefore = ReadTimeOfDay("nOld");
    record.timeAfter = ReadTimeOfDay("nNew");

    SYSTEMTIME date{};
    date.wYear = Field(GetOption("nSynYear", 0));
    date.wMonth = Field(GetOption("nSynMonth", 0));
    date.wDay = Field(GetOption("nSynDay", 0));
    record.syncDate = date;

    record.connectStatus = store_.GetString(kOptionsSection, "sConnectStatus", {});
    record.missingStatus = SyncRecord::MissingStatus::kNotStored;

    StoredOptions values;
    for (const OptionRow& row : kOptionRows) {
        values.*row.field = row.Corrected(GetOption(row.name, values.*row.field));
    }
    UserOptions options = values.Options();
    if (options.period == kHourly || options.period == kOnlyManual) {
        options.exitAfter = false;  // in memory only: the store keeps its value until the next save
    }
    Publish(options);
    startingServer = values.nStartingServ;
    firstStart = values.bFirstStart != 0;
    clockService = values.nClockService;
    notify = values.bNotify != 0;
    LoadServers();
}

void Settings::Save() {
    StoredOptions values;
    values.Take(Options());
    values.nStartingServ = startingServer;
    values.bFirstStart = firstStart ? 1 : 0;
    values.nClockService = clockService;
    values.bNotify = notify ? 1 : 0;
    for (const OptionRow& row : kOptionRows) {
        store_.PutInt(kOptionsSection, row.name, values.*row.field);
    }
}

void Settings::StoreNotify(bool on) {
    notify = on;
    store_.PutInt(kOptionsSection, OptionRowOf(&StoredOptions::bNotify).name, on ? 1 : 0);
}

void Settings::WriteFirstDefaults() {
    Publish(UserOptions{});
    firstStart = true;
    ResetServers();
    Save();
}

void Settings::SaveSyncRecord(const SyncRecord& record) {
    PutTimeOfDay("nOld", record.timeBefore);
    PutTimeOfDay("nNew", record.timeAfter);
    store_.PutInt(kOptionsSection, "nSynYear", record.syncDate.wYear);
    store_.PutInt(kOptionsSection, "nSynMonth", record.syncDate.wMonth);
    store_.PutInt(kOptionsSection, "nSynDay", record.syncDate.wDay);
    store_.PutString(kOptionsSection, "sConnectStatus", record.connectStatus);
}

void Settings::RestoreDefaults() {
    Publish(UserOptions{});
}

UserOptions Settings::Options() const {
    const std::lock_guard lock(optionsMutex_);
    return options_;
}

void Settings::Publish(const UserOptions& options) {
    const std::lock_guard lock(optionsMutex_);
    options_ = options;
}

void Settings::LoadServers() {
    servers.With([this](ServerCatalogue& catalogue) {
        const std::vector<int> loaded = catalogue.Load(store_);
        if (loaded.empty()) {
            RestoreDefaultEntries(catalogue);
            catalogue.Save(store_);
        }
        // The starting server stays the same server when damaged entries before it were
        // skipped; one that was itself damaged gives way to the first.
        const auto kept = std::find(loaded.begin(), loaded.end(), startingServer.load());
        if (!loaded.empty()) {
            startingServer = kept == loaded.end() ? 0 : static_cast<int>(kept - loaded.begin());
        }
        if (startingServer < 0 || startingServer >= catalogue.Size()) {
            startingServer = 0;
        }
    });
}

void Settings::ResetServers() {
    servers.With([this](ServerCatalogue& catalogue) {
        RestoreDefaultEntries(catalogue);
        catalogue.Save(store_);
    });
}

void Settings::RestoreDefaultServers() {
    servers.With([](ServerCatalogue& catalogue) { RestoreDefaultEntries(catalogue); });
}

void Settings::RestoreDefaultEntries(ServerCatalogue& catalogue) {
    catalogue.KeepIf([](const ServerEntry& entry) { return entry.userAdded != 0; });
    for (const DefaultServer& row : kDefaultServers) {
        catalogue.Add(ServerEntry(row.title, row.address, 0));
    }
}

void Settings::SaveServers() {
    servers.With([this](const ServerCatalogue& catalogue) { catalogue.Save(store_); });
}
