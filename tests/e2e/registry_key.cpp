#include "tests/e2e/registry_key.h"

#include <algorithm>

#include "base/unique_handle_win.h"

namespace desktop {

namespace {

UniqueRegistryKey Open(HKEY root, const std::string& path, REGSAM access) {
    UniqueRegistryKey key;
    if (::RegOpenKeyExA(root, path.c_str(), 0, access | KEY_WOW64_64KEY, key.put()) !=
        ERROR_SUCCESS) {
        key.release();
    }
    return key;
}

UniqueRegistryKey Create(HKEY root, const std::string& path) {
    UniqueRegistryKey key;
    if (::RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS) {
        key.release();
    }
    return key;
}

}  // namespace

bool RegistryKey::Exists() const {
    return static_cast<bool>(Open(root_, path_, KEY_READ));
}

bool RegistryKey::DeleteTree() const {
    const LONG result = ::RegDeleteTreeA(root_, path_.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

std::optional<DWORD> RegistryKey::ReadDword(const std::string& name) const {
    const UniqueRegistryKey key = Open(root_, path_, KEY_QUERY_VALUE);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!key ||
        ::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                           &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> RegistryKey::ReadString(const std::string& name) const {
    const UniqueRegistryKey key = Open(root_, path_, KEY_QUERY_VALUE);
    DWORD type = 0;
    DWORD size = 0;
    if (!key ||
        ::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    std::string value(size, '\0');
    if (::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    // The stored size counts the terminating zero, when the writer stored one.
    value.resize(std::min<std::size_t>(size, value.size()));
    while (!value.empty() && value.back() == '\0') {
        value.pop_back();
    }
    return value;
}

bool RegistryKey::WriteDword(const std::string& name, DWORD value) const {
    const UniqueRegistryKey key = Create(root_, path_);
    return key &&
           ::RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

bool RegistryKey::WriteString(const std::string& name, const std::string& value) const {
    const UniqueRegistryKey key = Create(root_, path_);
    return key && ::RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool RegistryKey::DeleteValue(const std::string& name) const {
    const UniqueRegistryKey key = Open(root_, path_, KEY_SET_VALUE);
    if (!key) {
        return true;
    }
    const LONG result = ::RegDeleteValueA(key.get(), name.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

}  // namespace desktop
