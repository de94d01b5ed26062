// AEAD_AES_SIV_CMAC_256 (RFC 5297), the one algorithm an NTS client must offer (RFC 8915,
// section 5.1): S2V over the associated data and the plaintext gives a synthetic IV that is
// both the tag and the counter for AES-CTR. Mbed TLS has AES and CMAC but not SIV.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

class AesSiv {
  public:
    static constexpr std::size_t kKeyLength = 32;
    static constexpr std::size_t kTagLength = 16;
    using Key = std::array<std::uint8_t, kKeyLength>;

    // The first half of the key is S2V's, the second AES-CTR's.
    explicit AesSiv(const Key& key) : key_(key) {}

    // The tag followed by the ciphertext. The associated data are S2V's strings in order; an
    // NTS exchange gives two, the packet so far and then the nonce.
    Bytes Seal(std::span<const ByteView> associatedData, ByteView plaintext) const;
    // The plaintext, or nothing when the tag does not authenticate the ciphertext and data.
    std::optional<Bytes> Open(std::span<const ByteView> associatedData, ByteView sealed) const;

    Bytes Seal(std::initializer_list<ByteView> associatedData, ByteView plaintext) const {
        return Seal(std::span(associatedData.begin(), associatedData.size()), plaintext);
    }
    std::optional<Bytes> Open(std::initializer_list<ByteView> associatedData,
                              ByteView sealed) const {
        return Open(std::span(associatedData.begin(), associatedData.size()), sealed);
    }

  private:
    using Block = std::array<std::uint8_t, 16>;

    Block S2V(std::span<const ByteView> associatedData, ByteView plaintext) const;
    Bytes Ctr(const Block& syntheticIv, ByteView input) const;

    Key key_;
};
