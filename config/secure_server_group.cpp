// The secure group's rules apart from the tables, so that a program that needs only the
// tables (the clock service reads the plain one) does not link the catalogue.
#include "config/default_servers.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace {

bool SameAddress(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

bool HasAddress(const ServerCatalogue& catalogue, const std::string& address) {
    for (int i = 0; i < catalogue.Size(); ++i) {
        if (SameAddress(catalogue.At(i).address, address)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool HasSecureEntry(const ServerCatalogue& catalogue) {
    for (int i = 0; i < catalogue.Size(); ++i) {
        if (catalogue.At(i).nts) {
            return true;
        }
    }
    return false;
}

int AddSecureServers(ServerCatalogue& catalogue) {
    int added = 0;
    for (const DefaultServer& row : kSecureServers) {
        if (HasAddress(catalogue, row.address)) {
            continue;
        }
        ServerEntry entry(row.title, row.address, ServerEntry::kBuiltIn);
        entry.nts = true;
        catalogue.Add(entry);
        ++added;
    }
    return added;
}

int EnsureSecureServers(ServerCatalogue& catalogue) {
    return HasSecureEntry(catalogue) ? 0 : AddSecureServers(catalogue);
}
