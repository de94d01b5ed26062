// A time server of the catalogue: its title, its address, where it came from and the
// network delay last measured for it.
#pragma once

#include <cstdint>
#include <string>

struct ServerEntry {
    // Where an entry came from, as userAdded holds it.
    static constexpr std::int32_t kBuiltIn = 0;
    static constexpr std::int32_t kUserAdded = 1;
    // An entry of an administrator's policy list: in memory only, never stored as such.
    static constexpr std::int32_t kFromPolicy = 2;

    ServerEntry() = default;
    ServerEntry(std::string entryTitle, std::string entryAddress, std::int32_t isUserAdded)
        : title(std::move(entryTitle)), address(std::move(entryAddress)), userAdded(isUserAdded) {}

    // "title\naddress\nuserAdded delay", then " nts" for a secure server: the delay with three
    // decimals and a '.' whatever the process locale, at least five characters wide; no line
    // feed at the end. An older Tickwell reads the two numbers and stops, so it keeps a
    // secure server as a plain one.
    std::string ToText() const;
    // Fills what the text holds; a missing line reads as empty, a missing integer as 0 and
    // a missing delay leaves the delay as it was. Lines are cut at 1023 characters.
    void FromText(const std::string& text);

    std::string title;
    std::string address;  // dotted IPv4 address or host name
    std::int32_t userAdded = kBuiltIn;
    double delay = 0.0;  // seconds; 0 for none known
    bool nts = false;    // asked by secure time (NTS) only
};
