// Which of the stored values the user chose: changed and stored with OK (or the tray menu's
// switch), as against values the program wrote itself (the first start's defaults, Restore
// Default). Only a value the user chose outranks a Recommended policy.
//
// Stored as one text in the Options section, the stored names separated by blanks (the
// catalogue as "Servers"), which an older Tickwell ignores. Names this copy does not know,
// from a newer one, are kept.
#pragma once

#include <set>
#include <string>

#include "config/option_table.h"

class UserChoices {
  public:
    static constexpr const char* kValueName = "sUserChoices";
    // The catalogue's name among the options'.
    static constexpr const char* kCatalogue = "Servers";

    UserChoices() = default;
    static UserChoices FromText(const std::string& text);
    // A profile of a Tickwell that did not record the choices: every option a policy may set
    // that differs from its default was the user's, since the program writes only defaults;
    // so was a catalogue other than the built-in table.
    static UserChoices Guessed(const StoredOptions& stored, bool catalogueIsBuiltIn);

    bool Has(const std::string& name) const { return names_.count(name) != 0; }
    void Set(const std::string& name, bool chosen);
    std::string Text() const;

    bool operator==(const UserChoices&) const = default;

  private:
    std::set<std::string> names_;
};
