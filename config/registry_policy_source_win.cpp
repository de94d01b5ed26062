#include "config/registry_policy_source_win.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "base/unique_handle_win.h"
#include "config/registry_text.h"

namespace {

// Longer names and texts are no policy an administrator meant.
constexpr DWORD kMaxNameLength = 256;
constexpr DWORD kMaxDataBytes = 4096;

UniqueRegistryKey OpenKey(HKEY root, const std::string& path) {
    UniqueRegistryKey key;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | kPolicyView, key.put()) !=
        ERROR_SUCCESS) {
        key.release();
    }
    return key;
}

PolicyValue ValueOf(DWORD type, const std::vector<char>& data, DWORD size) {
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD value = 0;
        std::copy_n(data.data(), sizeof value, reinterpret_cast<char*>(&value));
        return PolicyValue::Dword(value);
    }
    if (type == REG_SZ) {
        if (const std::optional<std::string> text = TextFromRegistryData(data.data(), size)) {
            return PolicyValue::Text(*text);
        }
    }
    return PolicyValue::Other();
}

// each(name, value) for every value of the key.
template <typename Each>
void ForEachValue(HKEY key, Each each) {
    for (DWORD index = 0;; ++index) {
        char name[kMaxNameLength + 1] = {};
        DWORD nameLength = kMaxNameLength + 1;
        DWORD type = 0;
        std::vector<char> data(kMaxDataBytes);
        DWORD size = kMaxDataBytes;
        const LONG rc = ::RegEnumValueA(key, index, name, &nameLength, nullptr, &type,
                                        reinterpret_cast<BYTE*>(data.data()), &size);
        if (rc == ERROR_MORE_DATA) {
            continue;  // too long for any policy: skipped, the others still count
        }
        if (rc != ERROR_SUCCESS) {
            return;
        }
        each(std::string(name, nameLength), ValueOf(type, data, size));
    }
}

// The values named 1, 2, ... in the order of their numbers; others are no entry.
PolicyList ReadList(HKEY key) {
    PolicyList list;
    ForEachValue(key, [&](const std::string& name, PolicyValue value) {
        std::uint32_t number = 0;
        const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
        if (error == std::errc() && end == name.data() + name.size() && number > 0) {
            list.emplace_back(number, std::move(value));
        }
    });
    std::sort(list.begin(), list.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return list;
}

}  // namespace

HKEY RegistryPolicySource::RootOf(PolicyScope scope) {
    return IsMachineWide(scope) ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::string RegistryPolicySource::PathOf(PolicyScope scope) {
    const std::string mandatory = kMandatoryPolicyKey;
    return IsMandatory(scope) ? mandatory : mandatory + "\\" + kRecommendedSubkey;
}

PolicyKeyContents RegistryPolicySource::Read(PolicyScope scope) {
    PolicyKeyContents contents;
    const UniqueRegistryKey key = OpenKey(RootOf(scope), PathOf(scope));
    if (!key) {
        return contents;
    }
    ForEachValue(key.get(), [&](const std::string& name, PolicyValue value) {
        contents.values.emplace(name, std::move(value));
    });
    for (const char* list : kPolicyLists) {
        if (const UniqueRegistryKey subkey = OpenKey(RootOf(scope), PathOf(scope) + "\\" + list)) {
            contents.lists.emplace(list, ReadList(subkey.get()));
        }
    }
    return contents;
}
