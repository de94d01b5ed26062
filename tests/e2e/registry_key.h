// A key under HKEY_CURRENT_USER (or another root), opened afresh for every call so that it
// always shows what the program under test has written.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace desktop {

class RegistryKey {
  public:
    explicit RegistryKey(std::string path, HKEY root = HKEY_CURRENT_USER)
        : path_(std::move(path)), root_(root) {}

    const std::string& path() const { return path_; }
    bool Exists() const;
    // Deletes the key with everything under it; true also when it was not there.
    bool DeleteTree() const;

    // nullopt when the value is missing or of another type.
    std::optional<DWORD> ReadDword(const std::string& name) const;
    std::optional<std::string> ReadString(const std::string& name) const;
    // Create the key when it is missing.
    bool WriteDword(const std::string& name, DWORD value) const;
    bool WriteString(const std::string& name, const std::string& value) const;
    // True also when the value was not there.
    bool DeleteValue(const std::string& name) const;

  private:
    std::string path_;
    HKEY root_;
};

}  // namespace desktop
