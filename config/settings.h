// The user's options, the stored form of the last synchronisation's record, and the server
// catalogue; the options' names, defaults and load corrections are in option_table.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "config/option_table.h"
#include "config/profile_store.h"
#include "config/shared_catalogue.h"
#include "config/sync_record.h"

class Settings {
  public:
    static constexpr const char* kOptionsSection = "Options";
    static constexpr const char* kServersSection = "Servers";
    static constexpr const char* kServersPrefix = "Servers";

    enum Period : std::int32_t { kDaily = 0, kHourly = 1, kOnlyManual = 2 };
    // How a run sets the clock: itself when it may, else through the Tickwell Clock service.
    enum ClockServiceUse : std::int32_t {
        kServiceWhenNeeded = 0,
        kServiceAlways = 1,
        kServiceNever = 2,
    };

    explicit Settings(ProfileStore& store);
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // Reads the record and the options, applies the corrections, then the catalogue. A record
    // whose status line was never stored holds none, as kNotStored.
    void Load(SyncRecord& record);
    // The eleven stored values.
    void Save();
    // The tray menu's switch for balloons, stored at once on its own.
    void StoreNotify(bool on);
    // The very first start: the default catalogue and the options as constructed, with the
    // first-start flag set, so that the first synchronisation, when the clock is most
    // likely far off, gives no clock-jump warning.
    void WriteFirstDefaults();
    // Only after a successful synchronisation.
    void SaveSyncRecord(const SyncRecord& record);
    // The options' defaults; the first-start flag, the clock-service choice, the balloons'
    // switch, the server index and the catalogue stay, and nothing is written.
    void RestoreDefaults();
    // A copy taken whole, so that a reader never sees half of a Publish().
    UserOptions Options() const;
    // Replaces all seven at once; nothing is written.
    void Publish(const UserOptions& options);

    // The catalogue: loaded (or the default table, saved) and the starting server made valid.
    void LoadServers();
    void ResetServers();
    // The user's entries first, then the default table; measured delays of built-in
    // entries are dropped. Saves nothing and leaves the starting server alone.
    void RestoreDefaultServers();
    void SaveServers();
    // Drops the built-in entries and appends the built-in table; user entries stay.
    static void RestoreDefaultEntries(ServerCatalogue& catalogue);

    // Read on every thread, written by the user-interface thread (firstStart by a
    // synchronisation run, which is why it is no part of the published options), so each
    // is atomic.
    std::atomic<bool> firstStart{false};
    std::atomic<std::int32_t> startingServer{0};  // the catalogue's entry the next start asks
    std::atomic<std::int32_t> clockService{kServiceWhenNeeded};  // a ClockServiceUse
    std::atomic<bool> notify{true};  // the tray menu's "Notifications": balloons are shown

    SharedCatalogue servers{kServersSection, kServersPrefix};

  private:
    std::int32_t GetOption(const char* name, std::int32_t defaultValue);
    SYSTEMTIME ReadTimeOfDay(const std::string& prefix);
    void PutTimeOfDay(const std::string& prefix, const SYSTEMTIME& time);

    ProfileStore& store_;
    mutable std::mutex optionsMutex_;
    UserOptions options_;
};
