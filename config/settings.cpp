#include "config/settings.h"

#include <algorithm>

#include "config/default_servers.h"

namespace {

std::uint16_t Field(std::int32_t value) {
    return static_cast<std::uint16_t>(value);
}

// What GetString gives for choices never stored: no list of names is a lone dash.
constexpr const char* kChoicesNotStored = "-";

bool SameEntries(const ServerCatalogue& a, const ServerCatalogue& b) {
    if (a.Size() != b.Size()) {
        return false;
    }
    for (int i = 0; i < a.Size(); ++i) {
        const ServerEntry x = a.At(i);
        const ServerEntry y = b.At(i);
        if (x.title != y.title || x.address != y.address || x.userAdded != y.userAdded) {
            return false;
        }
    }
    return true;
}

bool IsBuiltInTable(const ServerCatalogue& catalogue) {
    ServerCatalogue table;
    Settings::RestoreDefaultEntries(table);
    return SameEntries(catalogue, table);
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

    for (const OptionRow& row : kOptionRows) {
        stored_.*row.field = row.Corrected(GetOption(row.name, StoredOptions{}.*row.field));
    }
    Publish(stored_.Options());
    startingServer = stored_.nStartingServ;
    firstStart = stored_.bFirstStart != 0;
    LoadServers();
    const std::string choices =
        store_.GetString(kOptionsSection, UserChoices::kValueName, kChoicesNotStored);
    choices_ = choices == kChoicesNotStored
                   ? UserChoices::Guessed(stored_, IsBuiltInTable(storedServers_))
                   : UserChoices::FromText(choices);
    Resolve();
    UsePolicyCatalogue();
}

StoredOptions Settings::Current() const {
    StoredOptions values;
    values.Take(Options());
    values.nStartingServ = startingServer;
    values.bFirstStart = firstStart ? 1 : 0;
    values.nClockService = clockService;
    values.bNotify = notify ? 1 : 0;
    return values;
}

void Settings::Resolve() {
    policy_ = ResolvePolicies(policies_, stored_, choices_);
    StoredOptions values = Current();
    for (const OptionRow& row : kOptionRows) {
        if (row.policy) {
            values.*row.field = policy_.values.*row.field;
        }
    }
    UserOptions options = values.Options();
    if (options.period == kHourly || options.period == kOnlyManual) {
        options.exitAfter = false;  // in memory only: the store keeps its value until the next save
    }
    Publish(options);
    clockService = values.nClockService;
    notify = values.bNotify != 0;
}

void Settings::Save() {
    const StoredOptions values = Current();
    // The exit that a policy's period clears is no choice of the user's.
    const bool periodFromPolicy = policy_.FromPolicy(&StoredOptions::nSynPeriod);
    for (const OptionRow& row : kOptionRows) {
        if (policy_.Governed(row.field)) {
            continue;
        }
        const bool keepStored = policy_.FromPolicy(row.field) ||
                                (row.field == &StoredOptions::bExitAfter && periodFromPolicy);
        if (!keepStored) {
            stored_.*row.field = values.*row.field;
        }
        store_.PutInt(kOptionsSection, row.name, stored_.*row.field);
    }
    StoreChoices();
}

void Settings::StoreChoices() {
    store_.PutString(kOptionsSection, UserChoices::kValueName, choices_.Text());
}

void Settings::StoreNotify(bool on) {
    constexpr auto kField = &StoredOptions::bNotify;
    if (policy_.Governed(kField)) {
        return;
    }
    choices_.Set(OptionRowOf(kField).name, true);
    stored_.*kField = on ? 1 : 0;
    Resolve();
    store_.PutInt(kOptionsSection, OptionRowOf(kField).name, stored_.*kField);
    StoreChoices();
}

void Settings::Choose(const UserOptions& options, const OptionEdits& edits) {
    StoredOptions shown = Current();
    shown.Take(options);
    const StoredOptions defaults;
    for (const OptionRow& row : kOptionRows) {
        if (policy_.Governed(row.field)) {
            continue;
        }
        if (edits.changed.count(row.name) != 0) {
            choices_.Set(row.name, true);
            stored_.*row.field = shown.*row.field;
        } else if (edits.restored.count(row.name) != 0) {
            choices_.Set(row.name, false);
            stored_.*row.field = defaults.*row.field;
        } else if (!policy_.FromPolicy(row.field)) {
            // Untouched, but as the dialog shows it: a period it does not know is manual.
            stored_.*row.field = shown.*row.field;
        }
    }
    Publish(options);
    Resolve();
    Save();
}

PolicyChange Settings::ApplyPolicies(const PolicySet& policies) {
    const PolicyOutcome before = policy_;
    policies_ = policies;
    Resolve();
    PolicyChange change;
    change.outcome = !(policy_ == before);
    change.catalogue = ChangedCatalogue();
    if (change.catalogue) {
        const std::string current = servers.With([this](const ServerCatalogue& catalogue) {
            const int index = startingServer;
            return index >= 0 && index < catalogue.Size() ? catalogue.At(index).address
                                                          : std::string();
        });
        for (int i = 0; i < change.catalogue->Size(); ++i) {
            if (change.catalogue->At(i).address == current) {
                change.chosen = i;
                break;
            }
        }
    }
    return change;
}

void Settings::UsePolicyCatalogue() {
    const std::optional<ServerCatalogue> applied = ChangedCatalogue();
    if (!applied) {
        return;
    }
    servers.With([&](ServerCatalogue& catalogue) {
        catalogue.Clear();
        catalogue.Append(*applied);
    });
    if (startingServer < 0 || startingServer >= applied->Size()) {
        startingServer = 0;
    }
}

std::optional<ServerCatalogue> Settings::ChangedCatalogue() const {
    ServerCatalogue applied = policy_.servers.Applied(storedServers_);
    const bool same = servers.With(
        [&](const ServerCatalogue& catalogue) { return SameEntries(catalogue, applied); });
    if (same) {
        return std::nullopt;
    }
    return applied;
}

void Settings::WriteFirstDefaults() {
    Publish(UserOptions{});
    stored_.Take(UserOptions{});
    choices_ = UserChoices();
    firstStart = true;
    ResetServers();
    Resolve();
    UsePolicyCatalogue();
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
        storedServers_ = catalogue;
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
        storedServers_ = catalogue;
    });
}

void Settings::RestoreDefaultServers() {
    servers.With([](ServerCatalogue& catalogue) { RestoreDefaultEntries(catalogue); });
}

void Settings::RestoreDefaultEntries(ServerCatalogue& catalogue) {
    ServersPolicy().RestoreDefaults(catalogue);
}

int Settings::AddSecureServersWhenNone() {
    if (policy_.servers.Stands()) {
        return 0;
    }
    // At the end: an index a run holds keeps naming the same entry.
    const int added =
        servers.With([](ServerCatalogue& catalogue) { return EnsureSecureServers(catalogue); });
    if (added > 0) {
        SaveServers(true);
    }
    return added;
}

void Settings::SaveServers(bool entriesChanged) {
    const ServersPolicy& list = policy_.servers;
    if ((list.Governed() && !list.userServersAllowed) ||
        (list.Stands() && !list.Governed() && !entriesChanged)) {
        return;  // nothing of the catalogue in use is the user's
    }
    const ServerCatalogue shown = servers.Copy();
    ServerCatalogue kept = storedServers_;
    kept.Clear();
    if (list.Governed()) {
        // The user's key keeps its own table for the day the list goes; only the user's
        // entries follow the dialog.
        for (int i = 0; i < storedServers_.Size(); ++i) {
            if (storedServers_.At(i).userAdded != ServerEntry::kUserAdded) {
                kept.Add(storedServers_.At(i));
            }
        }
    }
    for (int i = 0; i < shown.Size(); ++i) {
        ServerEntry entry = shown.At(i);
        if (list.Governed() && entry.userAdded != ServerEntry::kUserAdded) {
            continue;
        }
        if (entry.userAdded == ServerEntry::kFromPolicy) {
            entry.userAdded = ServerEntry::kBuiltIn;  // the user's copy of a recommended list
        }
        kept.Add(entry);
    }
    storedServers_ = kept;
    storedServers_.Save(store_);
    if (entriesChanged) {
        choices_.Set(UserChoices::kCatalogue, true);
    }
    StoreChoices();
    // A recommended list gives way to the catalogue the user chose: the same entries, now
    // the user's.
    Resolve();
    UsePolicyCatalogue();
}
