#include "nts/aes_siv.h"

#include <gtest/gtest.h>

#include <string>

namespace {

Bytes Hex(const std::string& text) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

AesSiv::Key KeyFrom(const std::string& text) {
    const Bytes bytes = Hex(text);
    AesSiv::Key key{};
    std::copy(bytes.begin(), bytes.end(), key.begin());
    return key;
}

// RFC 5297, appendix A.1 (one associated datum, no nonce) and A.2 (two data and a nonce,
// the nonce last, as NTS passes it).
struct Vector {
    const char* name;
    const char* key;
    std::vector<std::string> associatedData;
    const char* plaintext;
    const char* sealed;
};

const Vector kVectors[] = {
    {"A.1 deterministic",
     "fffefdfcfbfaf9f8f7f6f5f4f3f2f1f0f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff",
     {"101112131415161718191a1b1c1d1e1f2021222324252627"},
     "112233445566778899aabbccddee",
     "85632d07c6e8f37f950acd320a2ecc9340c02b9690c4dc04daef7f6afe5c"},
    {"A.2 nonce-based",
     "7f7e7d7c7b7a79787776757473727170404142434445464748494a4b4c4d4e4f",
     {"00112233445566778899aabbccddeeffdeaddadadeaddadaffeeddccbbaa99887766554433221100",
      "102030405060708090a0", "09f911029d74e35bd84156c5635688c0"},
     "7468697320697320736f6d6520706c61696e7465787420746f20656e6372797074207573696e67205349562d"
     "414553",
     "7bdb6e3b432667eb06f4d14bff2fbd0fcb900f2fddbe404326601965c889bf17dba77ceb094fa663b7a3f748"
     "ba8af829ea64ad544a272e9c485b62a3fd5c0d"},
};

TEST(AesSivTest, SealsAndOpensRfc5297sVectors) {
    for (const Vector& v : kVectors) {
        SCOPED_TRACE(v.name);
        const AesSiv siv(KeyFrom(v.key));
        std::vector<Bytes> data;
        for (const std::string& datum : v.associatedData) {
            data.push_back(Hex(datum));
        }
        const std::vector<ByteView> views(data.begin(), data.end());
        const Bytes plaintext = Hex(v.plaintext);
        const Bytes sealed = siv.Seal(views, plaintext);
        EXPECT_EQ(Hex(v.sealed), sealed);
        EXPECT_EQ(plaintext, siv.Open(views, sealed));
    }
}

// Whatever changes, in the tag, the ciphertext or the data it covers, the seal is refused.
TEST(AesSivTest, RefusesAnythingChanged) {
    const AesSiv siv(KeyFrom(kVectors[1].key));
    const Bytes header = Hex("2300000000000000");
    const Bytes nonce = Hex("09f911029d74e35bd84156c5635688c0");
    for (const std::size_t plaintextSize : {0u, 5u, 16u, 40u}) {
        SCOPED_TRACE(plaintextSize);
        const Bytes plaintext(plaintextSize, 0x5a);
        const Bytes sealed = siv.Seal({header, nonce}, plaintext);
        ASSERT_EQ(plaintext, siv.Open({header, nonce}, sealed));
        for (std::size_t at = 0; at < sealed.size(); ++at) {
            Bytes damaged = sealed;
            damaged[at] ^= 0x01;
            EXPECT_FALSE(siv.Open({header, nonce}, damaged)) << "byte " << at;
        }
        Bytes otherHeader = header;
        otherHeader[7] = 1;
        EXPECT_FALSE(siv.Open({otherHeader, nonce}, sealed));
        EXPECT_FALSE(siv.Open({nonce, header}, sealed));
        EXPECT_FALSE(siv.Open({header, nonce}, ByteView(sealed).first(AesSiv::kTagLength - 1)));
    }
}

}  // namespace
