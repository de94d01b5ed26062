// The ProfileStore in the registry, under HKEY_CURRENT_USER, key
// Software\<company>\<application>\<section>: integers as REG_DWORD and texts as REG_SZ. Keys are
// created when first opened, for reading or writing. A value of the wrong type or size, a text
// without its NUL, or a key that cannot be opened reads as absent.
#pragma once

#include <string>

#include "config/profile_store.h"
#include "base/unique_handle_win.h"

class RegistryProfileStore : public ProfileStore {
  public:
    // Texts above this size are not the program's and read as absent.
    static constexpr unsigned long kMaxTextBytes = 64 * 1024;

    RegistryProfileStore(std::string company, std::string application);

    // The executable's file name without its extension.
    static std::string ApplicationNameOfThisProgram();

    std::int32_t GetInt(const std::string& section, const std::string& name,
                        std::int32_t defaultValue) override;
    bool PutInt(const std::string& section, const std::string& name, std::int32_t value) override;
    std::string GetString(const std::string& section, const std::string& name,
                          const std::string& defaultValue) override;
    bool PutString(const std::string& section, const std::string& name,
                   const std::string& text) override;
    bool HasSection(const std::string& section) override;

    // Software\<company>\<application>\<section>
    std::string SectionPath(const std::string& section) const;

  private:
    UniqueRegistryKey OpenSection(const std::string& section) const;

    std::string company_;
    std::string application_;
};
