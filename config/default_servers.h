// The built-in table of public time servers that a new catalogue starts with.
#pragma once

#include <array>

struct DefaultServer {
    const char* title;
    const char* address;
};

extern const std::array<DefaultServer, 19> kDefaultServers;
