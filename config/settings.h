// The user's options, the stored form of the last synchronisation's record, and the server
// catalogue; the options' names, defaults and load corrections are in option_table.h. What
// the program uses is what the administrator's policies leave of them (option_policy.h):
// a value a policy sets is used but never stored, and the store keeps what the user chose.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "config/option_policy.h"
#include "config/option_table.h"
#include "config/profile_store.h"
#include "config/shared_catalogue.h"
#include "config/sync_record.h"
#include "config/user_choices.h"

// What the Options dialog's user did to the options, by stored name.
struct OptionEdits {
    std::set<std::string> changed;   // given another value
    std::set<std::string> restored;  // "Restore Default", and not changed since
};

// What a change of the policies changed.
struct PolicyChange {
    bool outcome = false;  // a value in effect, where one comes from, or a value ignored
    // The catalogue the scheduler is to use from now on, when it changed, and its entry for
    // the next run (the same server when it is still there).
    std::optional<ServerCatalogue> catalogue;
    int chosen = 0;
};

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

    // Reads the record and the options, applies the corrections, then the catalogue, all
    // under the policies applied last. A record whose status line was never stored holds
    // none, as kNotStored.
    void Load(SyncRecord& record);
    // The eleven stored values and the user's choices; a value a mandatory policy sets is
    // not written, and one a recommended policy sets is stored as the user's key held it.
    void Save();
    // The tray menu's switch for balloons, the user's choice, stored at once on its own with
    // the choices; nothing while a mandatory policy sets it.
    void StoreNotify(bool on);
    // The Options dialog's OK: the options as it shows them and what the user did to them.
    // A changed option becomes the user's choice, a restored one is the program's default
    // again; then all is stored.
    void Choose(const UserOptions& options, const OptionEdits& edits);

    // The administrator's policies: given before Load or the first defaults, and again on
    // every change, on the user-interface thread. The options follow at once; a changed
    // catalogue is handed back for the scheduler to publish.
    PolicyChange ApplyPolicies(const PolicySet& policies);
    // What the policies left, as the windows show it; user-interface thread only.
    const PolicyOutcome& Policy() const { return policy_; }
    const UserChoices& Choices() const { return choices_; }
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
    // The chooser's OK, once the catalogue is published: stores what of it is the user's.
    // entriesChanged: the user added, deleted or restored entries, which makes the catalogue
    // the user's choice. Under a mandatory list only the user's own entries are stored, and
    // only where the list allows them; under a recommended one, only a changed catalogue.
    void SaveServers(bool entriesChanged);
    // Drops the built-in entries and appends the built-in table; user entries stay.
    static void RestoreDefaultEntries(ServerCatalogue& catalogue);
    // When "only secure servers" is turned on: a catalogue without an NTS entry gains the
    // built-in secure group at its end, stored as the user's choice, so that runs have
    // servers to ask. Nothing while a policy's Servers list stands: the administrator's
    // list is the catalogue. Returns how many were added.
    int AddSecureServersWhenNone();

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
    // Every stored value as the program holds it now.
    StoredOptions Current() const;
    // The policies' outcome anew, and the options in effect from it.
    void Resolve();
    void StoreChoices();
    // The catalogue the policies leave of the stored one, when it differs from the one in use.
    std::optional<ServerCatalogue> ChangedCatalogue() const;
    // That catalogue into use, where no run can be misled by an index into it: at start, and
    // after the chooser's OK, where only the entries' origins change.
    void UsePolicyCatalogue();

    ProfileStore& store_;
    mutable std::mutex optionsMutex_;
    UserOptions options_;
    // User-interface thread only.
    PolicySet policies_;
    PolicyOutcome policy_;
    UserChoices choices_;
    StoredOptions stored_;  // what the user's key holds, as loaded or last written
    ServerCatalogue storedServers_{kServersSection, kServersPrefix};  // and its catalogue
};
