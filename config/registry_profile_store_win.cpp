#include "config/registry_profile_store_win.h"

#include <vector>

#include "config/registry_text.h"

RegistryProfileStore::RegistryProfileStore(std::string company, std::string application)
    : company_(std::move(company)), application_(std::move(application)) {}

std::string RegistryProfileStore::ApplicationNameOfThisProgram() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path, length < MAX_PATH ? length : MAX_PATH);
    const std::size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) {
        name.erase(0, slash + 1);
    }
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    return name;
}

std::string RegistryProfileStore::SectionPath(const std::string& section) const {
    return "Software\\" + company_ + "\\" + application_ + "\\" + section;
}

UniqueRegistryKey RegistryProfileStore::OpenSection(const std::string& section) const {
    UniqueRegistryKey key;
    const LONG rc = ::RegCreateKeyExA(HKEY_CURRENT_USER, SectionPath(section).c_str(), 0, nullptr,
                                      REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                                      key.put(), nullptr);
    if (rc != ERROR_SUCCESS) {
        key.release();
    }
    return key;
}

std::int32_t RegistryProfileStore::GetInt(const std::string& section, const std::string& name,
                                          std::int32_t defaultValue) {
    const UniqueRegistryKey key = OpenSection(section);
    if (!key) {
        return defaultValue;
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG rc = ::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE*>(&value), &size);
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) {
        return defaultValue;
    }
    return static_cast<std::int32_t>(value);
}

bool RegistryProfileStore::PutInt(const std::string& section, const std::string& name,
                                  std::int32_t value) {
    const UniqueRegistryKey key = OpenSection(section);
    const auto data = static_cast<DWORD>(value);
    return key &&
           ::RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}

std::string RegistryProfileStore::GetString(const std::string& section, const std::string& name,
                                            const std::string& defaultValue) {
    const UniqueRegistryKey key = OpenSection(section);
    if (!key) {
        return defaultValue;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ || size == 0 || size > kMaxTextBytes) {
        return defaultValue;
    }
    std::vector<char> data(size);
    DWORD read = size;
    if (::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(data.data()), &read) != ERROR_SUCCESS ||
        type != REG_SZ || read == 0 || read > size) {
        return defaultValue;
    }
    return TextFromRegistryData(data.data(), read).value_or(defaultValue);
}

bool RegistryProfileStore::PutString(const std::string& section, const std::string& name,
                                     const std::string& text) {
    if (text.find('\0') != std::string::npos || text.size() >= kMaxTextBytes) {
        return false;  // it could not be read back as it was
    }
    const UniqueRegistryKey key = OpenSection(section);
    return key && ::RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool RegistryProfileStore::HasSection(const std::string& section) {
    UniqueRegistryKey key;
    return ::RegOpenKeyExA(HKEY_CURRENT_USER, SectionPath(section).c_str(), 0, KEY_READ,
                           key.put()) == ERROR_SUCCESS;
}
