#include <windows.h>

#include <climits>
#include <string>

#include "config/clock_policy.h"
#include "config/default_servers.h"
#include "config/registry_policy_source_win.h"
#include "base/unique_handle_win.h"

namespace {

constexpr const char* kCompanyKey = "Software\\Quorvane";
constexpr const char* kPolicyKey = "Software\\Quorvane\\Tickwell";
constexpr const char* kApprovedServersKey = "Software\\Quorvane\\Tickwell\\ApprovedServers";
// The service is 64-bit; a 32-bit tool that reads or writes the policy must see the same key.
constexpr REGSAM kView = KEY_WOW64_64KEY;
// Longer value names are no host name an administrator meant.
constexpr DWORD kMaxServerNameLength = 256;

// The registry's error code; the key is left empty unless it opened.
LONG OpenKey(const char* path, REGSAM access, UniqueRegistryKey* key) {
    HKEY raw = nullptr;
    const LONG rc = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access | kView, &raw);
    if (rc == ERROR_SUCCESS) {
        key->reset(raw);
    }
    return rc;
}

UniqueRegistryKey OpenKey(const char* path, REGSAM access) {
    UniqueRegistryKey key;
    OpenKey(path, access, &key);
    return key;
}

UniqueRegistryKey CreateKey(const char* path) {
    HKEY raw = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE | kView, nullptr, &raw, nullptr) != ERROR_SUCCESS) {
        return {};
    }
    return UniqueRegistryKey(raw);
}

std::optional<DWORD> ReadDword(HKEY key, const char* name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> ValueNames(HKEY key) {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[kMaxServerNameLength + 1] = {};
        DWORD length = kMaxServerNameLength + 1;
        const LONG rc =
            ::RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) {
            continue;  // too long to be a host name: skipped, the others still count
        }
        if (rc != ERROR_SUCCESS) {
            break;
        }
        if (length > 0) {
            names.emplace_back(name, length);
        }
    }
    return names;
}

bool KeyIsEmpty(HKEY key) {
    DWORD subkeys = 0;
    DWORD values = 0;
    return ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                              nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

// The key of earlier versions, which keeps working beside the policy key.
ClockPolicy LoadOlderClockPolicy() {
    ClockPolicy policy;
    const UniqueRegistryKey key = OpenKey(kPolicyKey, KEY_READ);
    if (!key) {
        return policy;
    }
    // A limit beyond what an offset can hold means "any offset".
    const DWORD limit = ReadDword(key.get(), kMaxUserOffsetValue).value_or(0);
    policy.maxUserOffsetSeconds = limit > INT_MAX ? INT_MAX : static_cast<std::int32_t>(limit);
    // As the policy key reads it: only 1 requires secure time.
    policy.requireNts = ReadDword(key.get(), kRequireNtsValue).value_or(0) == 1;
    if (const UniqueRegistryKey servers = OpenKey(kApprovedServersKey, KEY_READ)) {
        policy.approvedServers = ValueNames(servers.get());
    }
    return policy;
}

}  // namespace

ClockPolicy LoadMachineClockPolicy() {
    return WithPolicyKey(LoadOlderClockPolicy(),
                         RegistryPolicySource().Read(PolicyScope::kMachineMandatory));
}

bool WriteDefaultMachineClockPolicy(const std::vector<std::string>& moreServers) {
    const UniqueRegistryKey key = CreateKey(kPolicyKey);
    const UniqueRegistryKey servers = CreateKey(kApprovedServersKey);
    if (!key || !servers) {
        return false;
    }
    if (!ReadDword(key.get(), kMaxUserOffsetValue)) {
        const DWORD none = 0;
        if (::RegSetValueExA(key.get(), kMaxUserOffsetValue, 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&none), sizeof none) != ERROR_SUCCESS) {
            return false;
        }
    }
    // The data is only a note for the administrator: the value's name is what counts.
    const auto approve = [&servers](const std::string& host, const std::string& note) {
        return ::RegSetValueExA(servers.get(), host.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(note.c_str()),
                                static_cast<DWORD>(note.size() + 1)) == ERROR_SUCCESS;
    };
    for (const DefaultServer& server : kDefaultServers) {
        if (!approve(server.address, server.title)) {
            return false;
        }
    }
    for (const std::string& host : moreServers) {
        if (!approve(host, "")) {
            return false;
        }
    }
    return true;
}

bool RemoveMachineClockPolicy() {
    {
        UniqueRegistryKey company;
        const LONG opened = OpenKey(kCompanyKey, DELETE | KEY_READ | KEY_WRITE, &company);
        if (opened != ERROR_SUCCESS) {
            return opened == ERROR_FILE_NOT_FOUND;
        }
        const LONG deleted = ::RegDeleteTreeA(company.get(), "Tickwell");
        if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
            return false;
        }
    }
    // The company's key goes too when nothing else of the company lives there.
    bool companyEmpty = false;
    if (const UniqueRegistryKey company = OpenKey(kCompanyKey, KEY_READ)) {
        companyEmpty = KeyIsEmpty(company.get());
    }
    if (companyEmpty) {
        ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kCompanyKey, kView, 0);
    }
    return true;
}
