// The one rule by which the administrator's policies meet the user's settings: for each
// option its value in effect and where it comes from, and the catalogue a policy's server
// list stands for. Precedence, highest first: the machine's mandatory policy, the user's
// mandatory policy, the user's own choice, the machine's recommended policy, the user's
// recommended policy, the value stored without the user's choice (the program's default, or
// what an older Tickwell or an administrator wrote), the built-in default.
//
// A policy value is a REG_DWORD under the option's stored name, within its row's policy range
// (config/option_table.h); anything else is ignored, whatever rung it stands on, and reported.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "config/option_table.h"
#include "config/policy_source.h"
#include "config/server_catalogue.h"
#include "config/user_choices.h"

// Beside a Servers list, in the same key: whether the user's own servers join it.
inline constexpr const char* kAllowUserServersValue = "AllowUserServers";
inline constexpr OptionRange kAllowUserServersRange{0, 1};

// Where an option's value in effect comes from, in the order of precedence.
enum class OptionSource {
    kMachineMandatory,
    kUserMandatory,
    kUserChoice,
    kMachineRecommended,
    kUserRecommended,
    kStored,  // the store, or the built-in default for a value it does not hold
};

// The catalogue while a policy's Servers list stands: its servers, then, when the same key
// allows it, the user's own entries. No list stands when none holds a server, and a
// recommended one gives way to a catalogue the user chose.
struct ServersPolicy {
    std::optional<PolicyScope> scope;  // the key whose list stands
    std::vector<ServerEntry> servers;  // in the list's order, marked ServerEntry::kFromPolicy
    bool userServersAllowed = false;   // AllowUserServers 1 in that key

    bool Stands() const { return scope.has_value(); }
    // A mandatory list: the user may not change it.
    bool Governed() const { return scope && IsMandatory(*scope); }
    // Adding, deleting and restoring: never under a mandatory list that keeps the user's
    // own servers out.
    bool UserMayEdit() const { return !Governed() || userServersAllowed; }
    // The catalogue the program uses, from the one the user's key holds.
    ServerCatalogue Applied(const ServerCatalogue& stored) const;
    // "Restore default": the user's own entries stay, and the standing list (before them),
    // or else the built-in table (after them), comes back in its order.
    void RestoreDefaults(ServerCatalogue& catalogue) const;

    bool operator==(const ServersPolicy&) const;
};

// A policy value in effect, for the administrator to hear of.
struct AppliedPolicyValue {
    PolicyScope scope;
    std::string name;   // "nMaxDays", or a list: "Servers"
    std::string value;  // "30"; a list's hosts, separated by blanks

    bool operator==(const AppliedPolicyValue&) const = default;
};

struct PolicyOutcome {
    StoredOptions values;  // every option's value in effect
    // What each option is without a choice of the user: a policy's value, else the built-in
    // default. "Restore Default" shows these.
    StoredOptions unchosen;
    std::array<OptionSource, kOptionRows.size()> sources = [] {
        std::array<OptionSource, kOptionRows.size()> none;
        none.fill(OptionSource::kStored);
        return none;
    }();
    ServersPolicy servers;
    std::vector<IgnoredPolicyValue> ignored;

    OptionSource SourceOf(std::int32_t StoredOptions::*field) const;
    // Set by a mandatory policy: the user cannot change it, and it is never stored.
    bool Governed(std::int32_t StoredOptions::*field) const;
    // Set by a policy, mandatory or recommended.
    bool FromPolicy(std::int32_t StoredOptions::*field) const;
    // The key a policy value comes from; none when no policy sets it.
    std::optional<PolicyScope> ScopeOf(std::int32_t StoredOptions::*field) const;
    // Every policy value in effect, in the table's order, then the Servers list and its
    // AllowUserServers; `ignored` holds the others.
    std::vector<AppliedPolicyValue> Applied() const;

    bool operator==(const PolicyOutcome&) const;
};

// stored: the user's key as loaded (corrected); chosen: which of its values the user chose.
PolicyOutcome ResolvePolicies(const PolicySet& policies, const StoredOptions& stored,
                              const UserChoices& chosen);
