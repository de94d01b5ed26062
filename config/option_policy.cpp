#include "config/option_policy.h"

#include <algorithm>
#include <limits>

#include "config/default_servers.h"
#include "platform/clock_service_protocol.h"

namespace {

// The rungs a policy stands on, mandatory before the user's choice, recommended after it.
constexpr std::array<PolicyScope, 2> kMandatoryScopes = {PolicyScope::kMachineMandatory,
                                                         PolicyScope::kUserMandatory};
constexpr std::array<PolicyScope, 2> kRecommendedScopes = {PolicyScope::kMachineRecommended,
                                                           PolicyScope::kUserRecommended};

OptionSource SourceOfScope(PolicyScope scope) {
    switch (scope) {
        case PolicyScope::kMachineMandatory:
            return OptionSource::kMachineMandatory;
        case PolicyScope::kUserMandatory:
            return OptionSource::kUserMandatory;
        case PolicyScope::kMachineRecommended:
            return OptionSource::kMachineRecommended;
        case PolicyScope::kUserRecommended:
            return OptionSource::kUserRecommended;
    }
    return OptionSource::kStored;
}

std::size_t RowIndex(std::int32_t StoredOptions::*field) {
    for (std::size_t i = 0; i < kOptionRows.size(); ++i) {
        if (kOptionRows[i].field == field) {
            return i;
        }
    }
    return kOptionRows.size();
}

// Reads the policy values of one key, reporting those it ignores.
class KeyReader {
  public:
    KeyReader(const PolicySet& policies, PolicyScope scope,
              std::vector<IgnoredPolicyValue>& ignored)
        : contents_(policies[scope]), scope_(scope), ignored_(ignored) {}

    // A REG_DWORD within range; anything else under the name is reported.
    std::optional<std::int32_t> Number(const char* name, OptionRange range) const {
        const auto found = contents_.values.find(name);
        if (found == contents_.values.end()) {
            return std::nullopt;
        }
        const PolicyValue& value = found->second;
        if (value.type != PolicyValue::Type::kDword) {
            ignored_.push_back({scope_, name, IgnoredPolicyValue::Reason::kWrongType, {}});
            return std::nullopt;
        }
        if (value.dword > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()) ||
            !range.Contains(static_cast<std::int32_t>(value.dword))) {
            ignored_.push_back({scope_, name, IgnoredPolicyValue::Reason::kOutOfRange,
                                std::to_string(value.dword)});
            return std::nullopt;
        }
        return static_cast<std::int32_t>(value.dword);
    }

    // The list's servers: "host" or "host<tab>title"; an entry that names no host is reported.
    std::vector<ServerEntry> Servers() const {
        std::vector<ServerEntry> servers;
        const auto found = contents_.lists.find(kServersList);
        if (found == contents_.lists.end()) {
            return servers;
        }
        for (const auto& [number, value] : found->second) {
            const std::string name = std::string(kServersList) + "\\" + std::to_string(number);
            if (value.type != PolicyValue::Type::kText) {
                ignored_.push_back({scope_, name, IgnoredPolicyValue::Reason::kWrongType, {}});
                continue;
            }
            const std::size_t tab = value.text.find('\t');
            const std::string host = Trimmed(value.text.substr(0, tab));
            const std::string title =
                tab == std::string::npos ? std::string() : Trimmed(value.text.substr(tab + 1));
            if (host.empty() || !HostError(host).empty()) {
                ignored_.push_back({scope_, name, IgnoredPolicyValue::Reason::kNoHost, value.text});
                continue;
            }
            servers.emplace_back(title.empty() ? host : title, host, ServerEntry::kFromPolicy);
        }
        return servers;
    }

  private:
    static std::string Trimmed(const std::string& text) {
        constexpr const char* kBlanks = " \t";
        const std::size_t first = text.find_first_not_of(kBlanks);
        if (first == std::string::npos) {
            return {};
        }
        return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
    }

    const PolicyKeyContents& contents_;
    PolicyScope scope_;
    std::vector<IgnoredPolicyValue>& ignored_;
};

bool SameEntries(const std::vector<ServerEntry>& a, const std::vector<ServerEntry>& b) {
    return std::equal(
        a.begin(), a.end(), b.begin(), b.end(), [](const ServerEntry& x, const ServerEntry& y) {
            return x.title == y.title && x.address == y.address && x.userAdded == y.userAdded;
        });
}

}  // namespace

ServerCatalogue ServersPolicy::Applied(const ServerCatalogue& stored) const {
    if (!Stands()) {
        return stored;
    }
    ServerCatalogue applied;
    for (const ServerEntry& server : servers) {
        applied.Add(server);
    }
    if (userServersAllowed) {
        for (int i = 0; i < stored.Size(); ++i) {
            if (stored.At(i).userAdded == ServerEntry::kUserAdded) {
                applied.Add(stored.At(i));
            }
        }
    }
    return applied;
}

void ServersPolicy::RestoreDefaults(ServerCatalogue& catalogue) const {
    catalogue.KeepIf(
        [](const ServerEntry& entry) { return entry.userAdded == ServerEntry::kUserAdded; });
    if (Stands()) {
        // The list before the user's entries, as the catalogue in use has them.
        const ServerCatalogue users = catalogue;
        catalogue.Clear();
        for (const ServerEntry& server : servers) {
            catalogue.Add(server);
        }
        catalogue.Append(users);
        return;
    }
    for (const DefaultServer& row : kDefaultServers) {
        catalogue.Add(ServerEntry(row.title, row.address, ServerEntry::kBuiltIn));
    }
}

bool ServersPolicy::operator==(const ServersPolicy& other) const {
    return scope == other.scope && userServersAllowed == other.userServersAllowed &&
           SameEntries(servers, other.servers);
}

OptionSource PolicyOutcome::SourceOf(std::int32_t StoredOptions::*field) const {
    const std::size_t index = RowIndex(field);
    return index < sources.size() ? sources[index] : OptionSource::kStored;
}

bool PolicyOutcome::Governed(std::int32_t StoredOptions::*field) const {
    const OptionSource source = SourceOf(field);
    return source == OptionSource::kMachineMandatory || source == OptionSource::kUserMandatory;
}

bool PolicyOutcome::FromPolicy(std::int32_t StoredOptions::*field) const {
    return ScopeOf(field).has_value();
}

std::optional<PolicyScope> PolicyOutcome::ScopeOf(std::int32_t StoredOptions::*field) const {
    for (const PolicyScope scope : kPolicyScopes) {
        if (SourceOf(field) == SourceOfScope(scope)) {
            return scope;
        }
    }
    return std::nullopt;
}

std::vector<AppliedPolicyValue> PolicyOutcome::Applied() const {
    std::vector<AppliedPolicyValue> applied;
    for (const OptionRow& row : kOptionRows) {
        if (const std::optional<PolicyScope> scope = ScopeOf(row.field)) {
            applied.push_back({*scope, row.name, std::to_string(values.*row.field)});
        }
    }
    if (servers.Stands()) {
        std::string hosts;
        for (const ServerEntry& server : servers.servers) {
            hosts += (hosts.empty() ? "" : " ") + server.address;
        }
        applied.push_back({*servers.scope, kServersList, hosts});
        if (servers.userServersAllowed) {
            applied.push_back({*servers.scope, kAllowUserServersValue, "1"});
        }
    }
    return applied;
}

bool PolicyOutcome::operator==(const PolicyOutcome& other) const {
    const auto same = [&](const StoredOptions& a, const StoredOptions& b) {
        return std::all_of(kOptionRows.begin(), kOptionRows.end(),
                           [&](const OptionRow& row) { return a.*row.field == b.*row.field; });
    };
    return same(values, other.values) && same(unchosen, other.unchosen) &&
           sources == other.sources && servers == other.servers && ignored == other.ignored;
}

PolicyOutcome ResolvePolicies(const PolicySet& policies, const StoredOptions& stored,
                              const UserChoices& chosen) {
    PolicyOutcome outcome;
    outcome.values = stored;
    for (std::size_t i = 0; i < kOptionRows.size(); ++i) {
        const OptionRow& row = kOptionRows[i];
        if (!row.policy) {
            continue;
        }
        // Every key is read, so that a damaged value is reported wherever it stands.
        std::array<std::optional<std::int32_t>, kPolicyScopes.size()> found;
        for (const PolicyScope scope : kPolicyScopes) {
            found[static_cast<std::size_t>(scope)] =
                KeyReader(policies, scope, outcome.ignored).Number(row.name, *row.policy);
        }
        const auto first = [&](const auto& scopes) -> std::optional<PolicyScope> {
            for (const PolicyScope scope : scopes) {
                if (found[static_cast<std::size_t>(scope)]) {
                    return scope;
                }
            }
            return std::nullopt;
        };
        const std::optional<PolicyScope> mandatory = first(kMandatoryScopes);
        const std::optional<PolicyScope> recommended = first(kRecommendedScopes);
        std::optional<PolicyScope> applied = mandatory;
        if (!mandatory && chosen.Has(row.name)) {
            outcome.sources[i] = OptionSource::kUserChoice;
        } else if (!mandatory) {
            applied = recommended;
        }
        if (applied) {
            outcome.values.*row.field = *found[static_cast<std::size_t>(*applied)];
            outcome.sources[i] = SourceOfScope(*applied);
        }
        if (const std::optional<PolicyScope> unchosen = mandatory ? mandatory : recommended) {
            outcome.unchosen.*row.field = *found[static_cast<std::size_t>(*unchosen)];
        }
    }

    const bool catalogueChosen = chosen.Has(UserChoices::kCatalogue);
    for (const PolicyScope scope : kPolicyScopes) {
        const KeyReader reader(policies, scope, outcome.ignored);
        std::vector<ServerEntry> servers = reader.Servers();
        const bool allowed = reader.Number(kAllowUserServersValue, kAllowUserServersRange) == 1;
        const bool outranked = !IsMandatory(scope) && catalogueChosen;
        if (!outcome.servers.Stands() && !servers.empty() && !outranked) {
            outcome.servers = {scope, std::move(servers), allowed};
        }
    }
    return outcome;
}
