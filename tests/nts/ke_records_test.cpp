#include "nts/ke_records.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace nts {
namespace {

Bytes Record(std::uint16_t type, const Bytes& body) {
    // Sized once: growing a four-byte vector by insert trips GCC 12's bounds warning at -O2.
    Bytes record(4 + body.size());
    record[0] = static_cast<std::uint8_t>(type >> 8);
    record[1] = static_cast<std::uint8_t>(type);
    record[2] = static_cast<std::uint8_t>(body.size() >> 8);
    record[3] = static_cast<std::uint8_t>(body.size());
    std::copy(body.begin(), body.end(), record.begin() + 4);
    return record;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

const Bytes kNtpV4 = Record(0x8001, {0, 0});
const Bytes kSiv = Record(0x0004, {0, 15});
const Bytes kCookie = Record(0x0005, Bytes(100, 0xc0));
const Bytes kEnd = Record(0x8000, {});

TEST(KeRecordsTest, TheRequestAsksForNtpV4AndAesSiv) {
    EXPECT_EQ(Join({kNtpV4, kSiv, kEnd}), EncodeKeRequest());
}

struct Answer {
    const char* name;
    Bytes bytes;
    FailureKind failure;  // kNone: complete
    std::string account = {};
};

TEST(KeRecordsTest, ReadsWhatTheServerAgreedAndRefusesWhatBreaksTheProtocol) {
    const Answer answers[] = {
        {"minimal", Join({kNtpV4, kSiv, kCookie, kEnd}), FailureKind::kNone},
        {"records in another order, a non-critical unknown one skipped",
         Join({kCookie, Record(0x4321, {1, 2, 3}), kSiv, kNtpV4, kEnd}), FailureKind::kNone},
        {"critical AEAD", Join({kNtpV4, Record(0x8004, {0, 15}), kCookie, kEnd}),
         FailureKind::kNone},
        {"error record", Join({kNtpV4, Record(0x8002, {0, 1}), kEnd}), FailureKind::kNtsKeRefused,
         "the key exchange refused us (error 1)"},
        {"warning record", Join({kNtpV4, kSiv, kCookie, Record(0x8003, {0, 9}), kEnd}),
         FailureKind::kNtsKeMalformed, "an unknown warning (9)"},
        {"unknown critical record", Join({kNtpV4, kSiv, kCookie, Record(0x8009, {}), kEnd}),
         FailureKind::kNtsKeMalformed, "an unknown critical record (type 9)"},
        {"no next protocol", Join({kSiv, kCookie, kEnd}), FailureKind::kNtsKeMalformed,
         "no agreement on NTPv4"},
        {"no protocol agreed", Join({Record(0x8001, {}), kSiv, kCookie, kEnd}),
         FailureKind::kNtsKeMalformed, "no agreement on NTPv4"},
        {"another protocol", Join({Record(0x8001, {0x80, 0}), kSiv, kCookie, kEnd}),
         FailureKind::kNtsKeMalformed, "no agreement on NTPv4"},
        {"two next protocols", Join({kNtpV4, kNtpV4, kSiv, kCookie, kEnd}),
         FailureKind::kNtsKeMalformed, "no agreement on NTPv4"},
        {"no AEAD", Join({kNtpV4, kCookie, kEnd}), FailureKind::kNtsKeMalformed,
         "no agreement on AES-SIV-CMAC-256"},
        {"another AEAD", Join({kNtpV4, Record(0x0004, {0, 30}), kCookie, kEnd}),
         FailureKind::kNtsKeMalformed, "no agreement on AES-SIV-CMAC-256"},
        {"no cookies", Join({kNtpV4, kSiv, kEnd}), FailureKind::kNtsNoCookies, "no cookies"},
        {"an empty cookie", Join({kNtpV4, kSiv, Record(0x0005, {}), kEnd}),
         FailureKind::kNtsKeMalformed, "a cookie of an impossible size"},
        {"a server with a blank", Join({kNtpV4, kSiv, kCookie, Record(6, Text("a b")), kEnd}),
         FailureKind::kNtsKeMalformed, "a server record that names no host"},
        {"port 0", Join({kNtpV4, kSiv, kCookie, Record(7, {0, 0}), kEnd}),
         FailureKind::kNtsKeMalformed, "a port record that names no port"},
        {"data after the end, never read", Join({kNtpV4, kSiv, kCookie, kEnd, kEnd}),
         FailureKind::kNone, ""},
        {"an end with a body", Join({kNtpV4, kSiv, kCookie, Record(0x8000, {0})}),
         FailureKind::kNtsKeMalformed, "data after the end of the message"},
    };
    for (const Answer& a : answers) {
        SCOPED_TRACE(a.name);
        KeAnswerReader reader;
        const auto state = reader.Add(a.bytes);
        if (a.failure == FailureKind::kNone) {
            EXPECT_EQ(KeAnswerReader::State::kComplete, state);
            ASSERT_EQ(1u, reader.answer().cookies.size());
            EXPECT_EQ(Bytes(100, 0xc0), reader.answer().cookies[0]);
            EXPECT_EQ("", reader.answer().server);
            EXPECT_EQ(kNtpPort, reader.answer().port);
        } else {
            EXPECT_EQ(KeAnswerReader::State::kFailed, state);
            EXPECT_EQ(a.failure, reader.failure().kind);
            EXPECT_EQ(a.account, reader.failure().account);
            EXPECT_TRUE(reader.answer().cookies.empty());
        }
    }
}

// TLS hands over the answer in pieces of any size: byte by byte it reads the same.
TEST(KeRecordsTest, ReadsAnAnswerInPiecesAndKeepsEightCookies) {
    Bytes answer =
        Join({kNtpV4, kSiv, Record(6, Text("ntp.example.net")), Record(7, {0x12, 0x34})});
    for (std::uint8_t i = 0; i < 10; ++i) {
        answer = Join({answer, Record(5, Bytes(64, i))});
    }
    answer = Join({answer, kEnd});
    KeAnswerReader reader;
    for (std::size_t i = 0; i + 1 < answer.size(); ++i) {
        ASSERT_EQ(KeAnswerReader::State::kIncomplete, reader.Add(ByteView(&answer[i], 1))) << i;
    }
    ASSERT_EQ(KeAnswerReader::State::kComplete, reader.Add(ByteView(&answer.back(), 1)));
    EXPECT_EQ("ntp.example.net", reader.answer().server);
    EXPECT_EQ(0x1234, reader.answer().port);
    ASSERT_EQ(KeAnswerReader::kMaxCookies, reader.answer().cookies.size());
    EXPECT_EQ(Bytes(64, 7), reader.answer().cookies.back());
}

TEST(KeRecordsTest, AnAnswerCutShortOrEndlessFails) {
    KeAnswerReader cut;
    cut.Add(Join({kNtpV4, kSiv, kCookie}));
    EXPECT_EQ(KeAnswerReader::State::kFailed, cut.Closed());
    EXPECT_EQ("the answer ended before its end of message", cut.failure().account);

    KeAnswerReader endless;
    const Bytes unknown = Record(0x4000, Bytes(1000, 0));
    KeAnswerReader::State state = KeAnswerReader::State::kIncomplete;
    for (int i = 0; i < 100 && state == KeAnswerReader::State::kIncomplete; ++i) {
        state = endless.Add(unknown);
    }
    EXPECT_EQ(KeAnswerReader::State::kFailed, state);
    EXPECT_EQ(FailureKind::kNtsKeMalformed, endless.failure().kind);
}

}  // namespace
}  // namespace nts
