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
    void load(SyncRecord& record);
    // The eleven options.
    void save();
    // The tray menu's switch for balloons, stored at once on its own.
    void storeNotify(bool on);
    // The very first start: the default catalogue and the options as constructed, with the
    // first-start flag set, so that the first synchronisation, when the clock is most
    // likely far off, gives no clock-jump warning.
    void writeFirstDefaults();
    // Only after a successful synchronisation.
    void saveSyncRecord(const SyncRecord& record);
    // The options' defaults; the first-start flag, the clock-service choice, the balloons'
    // switch, the server index and the catalogue stay, and nothing is written.
    void restoreDefaults();
    // A copy taken whole, so that a reader never sees half of a publish().
    UserOptions userOptions() const;
    // Replaces all seven at once; nothing is written.
    void publish(const UserOptions& options);

    // The catalogue: loaded (or the default table, saved) and nStartingServ made valid.
    void loadServers();
    void resetServers();
    // The user's entries first, then the default table; measured delays of built-in
    // entries are dropped. Saves nothing and leaves nStartingServ alone.
    void restoreDefaultServers();
    void saveServers();
    // Drops the built-in entries and appends the built-in table; user entries stay.
    static void RestoreDefaultEntries(ServerCatalogue& catalogue);

    // Read on every thread, written by the user-interface thread (bFirstStart by a
    // synchronisation run, which is why it is no part of the published options), so each
    // is atomic.
    std::atomic<std::int32_t> bFirstStart{0};
    std::atomic<std::int32_t> nStartingServ{0};
    std::atomic<std::int32_t> nClockService{kServiceWhenNeeded};  // a ClockServiceUse
    std::atomic<std::int32_t> bNotify{1};                         // the tray menu's "Notifications"

    SharedCatalogue servers{kServersSection, kServersPrefix};

  private:
    std::int32_t getOption(const char* name, std::int32_t defaultValue);
    SYSTEMTIME readTimeOfDay(const std::string& prefix);
    void putTimeOfDay(const std::string& prefix, const SYSTEMTIME& time);

    ProfileStore& store_;
    mutable std::mutex optionsMutex_;
    UserOptions options_;
};
