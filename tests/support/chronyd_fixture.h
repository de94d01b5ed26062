// The files of the tests' chronyd (its CA, the other CA, its certificate), named for the
// program under test: under Wine the Unix root is drive Z:.
#pragma once

#include <cstdlib>
#include <string>

inline std::string ChronydFixtureFile(const char* name) {
    const char* dir = std::getenv("TICKWELL_CHRONYD_DIR");
#ifdef _WIN32
    const std::string root = "Z:";
#else
    const std::string root;
#endif
    return dir != nullptr ? root + dir + "/" + name : name;
}
