// The built-in tables of public time servers: the plain table a new catalogue starts with,
// and the group of servers that offer secure time (NTS), which the user adds in one step.
#pragma once

#include <array>

#include "config/server_catalogue.h"

struct DefaultServer {
    const char* title;
    const char* address;
};

extern const std::array<DefaultServer, 19> kDefaultServers;
extern const std::array<DefaultServer, 5> kSecureServers;

// Whether any entry is asked by NTS.
bool HasSecureEntry(const ServerCatalogue& catalogue);
// Appends the secure group as built-in NTS entries, each unless an entry with its address
// (in any case) is already there, whatever its mark: the user's own entry stands. Returns
// how many were added.
int AddSecureServers(ServerCatalogue& catalogue);
// The secure group when the catalogue has no NTS entry, so that a run limited to secure
// servers has some to ask. Returns how many were added.
int EnsureSecureServers(ServerCatalogue& catalogue);
