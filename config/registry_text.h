// What a REG_SZ value's bytes hold: a text is its characters and exactly one NUL, at the
// end. Data without the NUL, with a NUL inside, or with no bytes at all is no text the
// program stored, and reads as absent.
#pragma once

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>

inline std::optional<std::string> TextFromRegistryData(const char* data, std::size_t size) {
    if (size == 0 || data[size - 1] != '\0' || std::memchr(data, '\0', size - 1) != nullptr) {
        return std::nullopt;
    }
    return std::string(data, size - 1);
}
