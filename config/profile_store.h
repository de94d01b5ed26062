// The per-user store of named integers and texts in sections, where everything persistent
// lives. A value that is missing or cannot be read yields the caller's default; writes
// report success, and callers are free to ignore it.
#pragma once

#include <cstdint>
#include <string>

class ProfileStore {
  public:
    virtual ~ProfileStore() = default;

    virtual std::int32_t GetInt(const std::string& section, const std::string& name,
                                std::int32_t defaultValue) = 0;
    virtual bool PutInt(const std::string& section, const std::string& name,
                        std::int32_t value) = 0;
    virtual std::string GetString(const std::string& section, const std::string& name,
                                  const std::string& defaultValue) = 0;
    // Value names may hold blanks and texts may hold line feeds; both come back unchanged.
    virtual bool PutString(const std::string& section, const std::string& name,
                           const std::string& text) = 0;
    virtual bool HasSection(const std::string& section) = 0;
};
