// The key exchange's records and the NTP extension fields both number in 16-bit big-endian
// words.
#pragma once

#include <cstdint>

#include "nts/aes_siv.h"

namespace nts {

inline std::uint16_t U16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

inline void AppendU16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

}  // namespace nts
