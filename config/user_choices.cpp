#include "config/user_choices.h"

#include <sstream>

UserChoices UserChoices::FromText(const std::string& text) {
    UserChoices choices;
    std::istringstream names(text);
    for (std::string name; names >> name;) {
        choices.names_.insert(name);
    }
    return choices;
}

UserChoices UserChoices::Guessed(const StoredOptions& stored, bool catalogueIsBuiltIn) {
    UserChoices choices;
    const StoredOptions defaults;
    for (const OptionRow& row : kOptionRows) {
        if (row.policy) {
            choices.Set(row.name, stored.*row.field != defaults.*row.field);
        }
    }
    choices.Set(kCatalogue, !catalogueIsBuiltIn);
    return choices;
}

void UserChoices::Set(const std::string& name, bool chosen) {
    if (chosen) {
        names_.insert(name);
    } else {
        names_.erase(name);
    }
}

std::string UserChoices::Text() const {
    std::string text;
    for (const std::string& name : names_) {
        text += (text.empty() ? "" : " ") + name;
    }
    return text;
}
