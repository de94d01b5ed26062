// The administrator's policies as the program reads them: four registry keys, each a set of
// named values and of lists (subkeys whose values are named 1, 2, ...). Where a policy key
// lives and what each holds is Windows' business; what a value means is the rule's
// (config/option_policy.h), which reads them through this small interface.
#pragma once

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The four policy keys. Mandatory ones govern: the user cannot change what they set.
// Recommended ones give a default that the user's own choice outranks.
enum class PolicyScope {
    kMachineMandatory,    // HKLM\Software\Policies\Quorvane\Tickwell
    kUserMandatory,       // HKCU\Software\Policies\Quorvane\Tickwell
    kMachineRecommended,  // HKLM\...\Tickwell\Recommended
    kUserRecommended,     // HKCU\...\Tickwell\Recommended
};
inline constexpr std::array<PolicyScope, 4> kPolicyScopes = {
    PolicyScope::kMachineMandatory, PolicyScope::kUserMandatory, PolicyScope::kMachineRecommended,
    PolicyScope::kUserRecommended};

inline constexpr const char* kMandatoryPolicyKey = "Software\\Policies\\Quorvane\\Tickwell";
inline constexpr const char* kRecommendedSubkey = "Recommended";

// The lists a policy key may hold: the program's catalogue, and the servers the clock
// service may ask (read from the machine's mandatory key only).
inline constexpr const char* kServersList = "Servers";
inline constexpr const char* kApprovedServersList = "ApprovedServers";
inline constexpr std::array<const char*, 2> kPolicyLists = {kServersList, kApprovedServersList};

constexpr bool IsMandatory(PolicyScope scope) {
    return scope == PolicyScope::kMachineMandatory || scope == PolicyScope::kUserMandatory;
}
constexpr bool IsMachineWide(PolicyScope scope) {
    return scope == PolicyScope::kMachineMandatory || scope == PolicyScope::kMachineRecommended;
}

// One registry value as it was found: a REG_DWORD, a REG_SZ, or anything else.
struct PolicyValue {
    enum class Type { kDword, kText, kOther };

    static PolicyValue Dword(std::uint32_t value) { return {Type::kDword, value, {}}; }
    static PolicyValue Text(std::string text) { return {Type::kText, 0, std::move(text)}; }
    static PolicyValue Other() { return {Type::kOther, 0, {}}; }

    Type type = Type::kOther;
    std::uint32_t dword = 0;
    std::string text;

    bool operator==(const PolicyValue&) const = default;
};

// Registry names are compared without regard to case, as Windows does.
struct RegistryNameLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(),
            [](unsigned char x, unsigned char y) { return std::tolower(x) < std::tolower(y); });
    }
};

// A list's entries, by the number that names each, in that order.
using PolicyList = std::vector<std::pair<std::uint32_t, PolicyValue>>;

// What one policy key holds; an absent key holds nothing.
struct PolicyKeyContents {
    std::map<std::string, PolicyValue, RegistryNameLess> values;
    std::map<std::string, PolicyList, RegistryNameLess> lists;

    bool operator==(const PolicyKeyContents&) const = default;
};

// The four keys, indexed by PolicyScope.
struct PolicySet {
    std::array<PolicyKeyContents, kPolicyScopes.size()> keys;

    PolicyKeyContents& operator[](PolicyScope scope) { return keys[static_cast<int>(scope)]; }
    const PolicyKeyContents& operator[](PolicyScope scope) const {
        return keys[static_cast<int>(scope)];
    }
    bool operator==(const PolicySet&) const = default;
};

// A value a rule ignored, for the administrator to hear of: never half-applied.
struct IgnoredPolicyValue {
    enum class Reason {
        kOutOfRange,  // a REG_DWORD outside what the policy allows
        kWrongType,   // not the type the policy has
        kNoHost,      // a list's entry that names no host
    };

    PolicyScope scope;
    std::string name;  // "nSynPeriod", or a list's entry: "Servers\3"
    Reason reason;
    std::string found;  // the value as found ("7", "ntp example"); empty for a wrong type

    bool operator==(const IgnoredPolicyValue&) const = default;
};

class PolicySource {
  public:
    virtual ~PolicySource() = default;
    // The key as it is now; the lists are the subkeys the program knows.
    virtual PolicyKeyContents Read(PolicyScope scope) = 0;
};

inline PolicySet ReadPolicies(PolicySource& source) {
    PolicySet set;
    for (const PolicyScope scope : kPolicyScopes) {
        set[scope] = source.Read(scope);
    }
    return set;
}
