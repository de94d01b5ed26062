#include "config/user_choices.h"

// Split by hand: a string stream would bring the whole of iostreams into the program.
UserChoices UserChoices::FromText(const std::string& text) {
    UserChoices choices;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    for (std::size_t at = 0; at < text.size();) {
        while (at < text.size() && blank(text[at])) {
            ++at;
        }
        std::size_t end = at;
        while (end < text.size() && !blank(text[end])) {
            ++end;
        }
        if (end > at) {
            choices.names_.insert(text.substr(at, end - at));
        }
        at = end;
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
