#include "nts/aes_siv.h"

#include <mbedtls/aes.h>
#include <mbedtls/cipher.h>
#include <mbedtls/cmac.h>

#include <algorithm>
#include <cstdlib>

namespace {

using Block = std::array<std::uint8_t, 16>;

// Doubling in GF(2^128), as CMAC's subkeys are made (RFC 5297, section 2.3).
Block Double(const Block& value) {
    Block doubled{};
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::uint8_t carry = i + 1 < value.size() ? value[i + 1] >> 7 : 0;
        doubled[i] = static_cast<std::uint8_t>(value[i] << 1 | carry);
    }
    if (value[0] & 0x80) {
        doubled[15] ^= 0x87;
    }
    return doubled;
}

void XorInto(Block& target, const Block& other) {
    for (std::size_t i = 0; i < target.size(); ++i) {
        target[i] ^= other[i];
    }
}

// AES and CMAC fail only on a key size or cipher they were not built for: a broken build,
// never an input, so stopping is safer than sealing or opening with a wrong result.
void Check(int status) {
    if (status != 0) {
        std::abort();
    }
}

// Compares every byte whatever the first difference, so that timing tells a forger nothing.
bool SameTag(const Block& a, const Block& b) {
    std::uint8_t difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= a[i] ^ b[i];
    }
    return difference == 0;
}

Block Cmac(const std::uint8_t* key, ByteView message) {
    const mbedtls_cipher_info_t* aes = mbedtls_cipher_info_from_type(MBEDTLS_CIPHER_AES_128_ECB);
    Block mac{};
    Check(mbedtls_cipher_cmac(aes, key, 128, message.data(), message.size(), mac.data()));
    return mac;
}

}  // namespace

AesSiv::Block AesSiv::S2V(std::span<const ByteView> associatedData, ByteView plaintext) const {
    const std::uint8_t* cmacKey = key_.data();
    Block digest = Cmac(cmacKey, Block{});
    for (const ByteView datum : associatedData) {
        digest = Double(digest);
        XorInto(digest, Cmac(cmacKey, datum));
    }
    if (plaintext.size() >= digest.size()) {
        // The last string's final block absorbs the digest ("xorend").
        Bytes last(plaintext.begin(), plaintext.end());
        const std::size_t offset = last.size() - digest.size();
        for (std::size_t i = 0; i < digest.size(); ++i) {
            last[offset + i] ^= digest[i];
        }
        return Cmac(cmacKey, last);
    }
    Block padded{};
    std::copy(plaintext.begin(), plaintext.end(), padded.begin());
    padded[plaintext.size()] = 0x80;
    digest = Double(digest);
    XorInto(digest, padded);
    return Cmac(cmacKey, digest);
}

Bytes AesSiv::Ctr(const Block& syntheticIv, ByteView input) const {
    // The counter is the IV with the top bits of its last two 32-bit words cleared, so that
    // implementations with a 64-bit or a 32-bit counter agree.
    Block counter = syntheticIv;
    counter[8] &= 0x7f;
    counter[12] &= 0x7f;
    mbedtls_aes_context aes;
    mbedtls_aes_init(&aes);
    Block stream{};
    std::size_t streamOffset = 0;
    Bytes output(input.size());
    const int status =
        mbedtls_aes_setkey_enc(&aes, key_.data() + 16, 128) == 0
            ? mbedtls_aes_crypt_ctr(&aes, input.size(), &streamOffset, counter.data(),
                                    stream.data(), input.data(), output.data())
            : -1;
    mbedtls_aes_free(&aes);
    Check(status);
    return output;
}

Bytes AesSiv::Seal(std::span<const ByteView> associatedData, ByteView plaintext) const {
    const Block tag = S2V(associatedData, plaintext);
    Bytes sealed(tag.begin(), tag.end());
    const Bytes ciphertext = Ctr(tag, plaintext);
    sealed.insert(sealed.end(), ciphertext.begin(), ciphertext.end());
    return sealed;
}

std::optional<Bytes> AesSiv::Open(std::span<const ByteView> associatedData, ByteView sealed) const {
    if (sealed.size() < kTagLength) {
        return std::nullopt;
    }
    Block tag{};
    std::copy_n(sealed.begin(), kTagLength, tag.begin());
    Bytes plaintext = Ctr(tag, sealed.subspan(kTagLength));
    const Block expected = S2V(associatedData, plaintext);
    if (!SameTag(expected, tag)) {
        return std::nullopt;
    }
    return plaintext;
}
