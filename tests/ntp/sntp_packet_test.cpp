#include "ntp/sntp_packet.h"

#include <gtest/gtest.h>

#include "tests/support/calendar.h"

#include <cstring>
#include <tuple>
#include <vector>

namespace {

const NtpTime kSent(3000000000u, 0x12345600u);

// A well-formed server reply to kSent, which each test then spoils in one way.
std::vector<std::uint8_t> GoodReply() {
    std::vector<std::uint8_t> reply(sntp::kHeaderSize, 0);
    reply[0] = (0 << 6) | (4 << 3) | 4;
    reply[1] = 2;
    std::memcpy(&reply[sntp::kReferenceIdOffset], "GPS\0", 4);
    kSent.ToWire(&reply[sntp::kOriginateOffset]);
    NtpTime(3000000000u, 0x40000000u).ToWire(&reply[sntp::kReceiveOffset]);
    NtpTime(3000000000u, 0x40001000u).ToWire(&reply[sntp::kTransmitOffset]);
    return reply;
}

sntp::ReplyVerdict Check(const std::vector<std::uint8_t>& reply) {
    return sntp::CheckReply(reply.data(), reply.size(), kSent);
}

TEST(SntpRequestTest, IsTheClientHeaderWithOnlyTheTransmitTimestamp) {
    const sntp::Packet request = sntp::BuildRequest(kSent);
    EXPECT_EQ(0x1B, request[0]);
    for (std::size_t i = 1; i < sntp::kTransmitOffset; ++i) {
        EXPECT_EQ(0, request[i]) << i;
    }
    EXPECT_EQ(kSent, NtpTime::FromWire(&request[sntp::kTransmitOffset]));
}

TEST(SntpRequestTest, RandomBitsReplaceOnlyTheBitsBelowTheClockResolution) {
    const NtpTime now(3000000000u, 0xABCDEF12u);
    EXPECT_EQ(NtpTime(3000000000u, 0xABCDEF00u), sntp::WithRandomLowBits(now, 0));
    EXPECT_EQ(NtpTime(3000000000u, 0xABCDEFFFu), sntp::WithRandomLowBits(now, 0xFFFFFFFFu));
    EXPECT_LT(sntp::kRandomLowBitsMask * (1.0 / 4294967296.0), 100e-9);  // below 100 ns
}

TEST(SntpReplyTest, AcceptsAGoodReplyAndDecodesIt) {
    const sntp::ReplyVerdict verdict = Check(GoodReply());
    ASSERT_FALSE(verdict.failure.failed()) << verdict.failure.account;
    EXPECT_TRUE(verdict.answersRequest);
    EXPECT_TRUE(verdict.failure.account.empty());
    EXPECT_EQ(2, verdict.fields.stratum);
    EXPECT_EQ(0, verdict.fields.leap);
    EXPECT_EQ(kSent, verdict.fields.originate);
    EXPECT_EQ(NtpTime(3000000000u, 0x40001000u), verdict.fields.transmit);
}

TEST(SntpReplyTest, AcceptsTheEdgesOfWhatAServerMaySay) {
    struct Case {
        const char* name;
        void (*change)(std::vector<std::uint8_t>&);
        int stratum;
        int leap;
    };
    const Case cases[] = {
        {"stratum 1", [](std::vector<std::uint8_t>& r) { r[1] = 1; }, 1, 0},
        {"stratum 15", [](std::vector<std::uint8_t>& r) { r[1] = 15; }, 15, 0},
        {"a leap second ahead", [](std::vector<std::uint8_t>& r) { r[0] |= 0x40; }, 2, 1},
        {"a leap second dropped", [](std::vector<std::uint8_t>& r) { r[0] |= 0x80; }, 2, 2},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> reply = GoodReply();
        c.change(reply);
        const sntp::ReplyVerdict verdict = Check(reply);
        ASSERT_FALSE(verdict.failure.failed()) << c.name << ": " << verdict.failure.account;
        EXPECT_EQ(c.stratum, verdict.fields.stratum) << c.name;
        EXPECT_EQ(c.leap, verdict.fields.leap) << c.name;
    }
}

TEST(SntpReplyTest, AcceptsVersionsOneToFourAndTheMacTrailer) {
    for (int version = 1; version <= 4; ++version) {
        std::vector<std::uint8_t> reply = GoodReply();
        reply[0] = static_cast<std::uint8_t>((version << 3) | 4);
        EXPECT_FALSE(Check(reply).failure.failed()) << version;
    }
    std::vector<std::uint8_t> withMac = GoodReply();
    withMac.resize(sntp::kMaxReplySize, 0xAA);
    EXPECT_FALSE(Check(withMac).failure.failed());
}

TEST(SntpReplyTest, RejectsEachBadFieldWithAReasonThatNamesIt) {
    struct Case {
        const char* name;
        void (*spoil)(std::vector<std::uint8_t>&);
        FailureKind kind;
        const char* reasonPart;
    };
    const Case cases[] = {
        {"short", [](std::vector<std::uint8_t>& r) { r.resize(47); }, FailureKind::kTooShort,
         "too short: 47 bytes"},
        {"empty", [](std::vector<std::uint8_t>& r) { r.clear(); }, FailureKind::kTooShort,
         "too short: 0 bytes"},
        {"client mode", [](std::vector<std::uint8_t>& r) { r[0] = (4 << 3) | 3; },
         FailureKind::kNotServerMode, "mode 3"},
        {"broadcast mode", [](std::vector<std::uint8_t>& r) { r[0] = (4 << 3) | 5; },
         FailureKind::kNotServerMode, "mode 5"},
        {"version 0", [](std::vector<std::uint8_t>& r) { r[0] = 4; }, FailureKind::kBadVersion,
         "version 0"},
        {"version 5", [](std::vector<std::uint8_t>& r) { r[0] = (5 << 3) | 4; },
         FailureKind::kBadVersion, "version 5"},
        {"kiss-o'-death",
         [](std::vector<std::uint8_t>& r) {
             r[1] = 0;
             std::memcpy(&r[sntp::kReferenceIdOffset], "RATE", 4);
         },
         FailureKind::kKissOfDeath, "kiss-o'-death from server: RATE"},
        {"unprintable kiss code",
         [](std::vector<std::uint8_t>& r) {
             r[1] = 0;
             std::memcpy(&r[sntp::kReferenceIdOffset], "D\nN\x80", 4);
         },
         FailureKind::kKissOfDeath, "server: D?N?"},
        {"stratum 16", [](std::vector<std::uint8_t>& r) { r[1] = 16; }, FailureKind::kBadStratum,
         "stratum 16"},
        {"leap 3", [](std::vector<std::uint8_t>& r) { r[0] |= 0xC0; }, FailureKind::kUnsynchronised,
         "leap indicator 3"},
        {"zero transmit",
         [](std::vector<std::uint8_t>& r) { std::memset(&r[sntp::kTransmitOffset], 0, 8); },
         FailureKind::kZeroTransmit, "transmit timestamp is zero"},
        {"root dispersion 16 s",
         [](std::vector<std::uint8_t>& r) {
             r[8] = 0;
             r[9] = 16;
         },
         FailureKind::kRootDistance, "root distance 16.000 s"},
        {"root delay 32 s",
         [](std::vector<std::uint8_t>& r) {
             r[4] = 0;
             r[5] = 32;
         },
         FailureKind::kRootDistance, "root distance 16.000 s"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> reply = GoodReply();
        c.spoil(reply);
        const sntp::ReplyVerdict verdict = Check(reply);
        EXPECT_EQ(c.kind, verdict.failure.kind) << c.name;
        EXPECT_NE(std::string::npos, verdict.failure.account.find(c.reasonPart))
            << c.name << ": " << verdict.failure.account;
        // The kiss code, read once into its type, as the server sent it.
        EXPECT_EQ(c.kind == FailureKind::kKissOfDeath, verdict.failure.kiss.has_value()) << c.name;
    }
}

TEST(SntpReplyTest, RootDistanceJustBelowSixteenSecondsPasses) {
    std::vector<std::uint8_t> reply = GoodReply();
    reply[8] = 0x00;  // dispersion 15.99998 s
    reply[9] = 0x0F;
    reply[10] = 0xFF;
    reply[11] = 0xFF;
    EXPECT_FALSE(Check(reply).failure.failed());
}

TEST(SntpReplyTest, AReplyToAnotherRequestIsNotOursWhateverElseItSays) {
    std::vector<std::uint8_t> reply = GoodReply();
    reply[sntp::kOriginateOffset + 7] ^= 0x01;
    EXPECT_FALSE(Check(reply).answersRequest);
    reply[1] = 0;  // even a kiss-o'-death must answer our own request to count
    EXPECT_FALSE(Check(reply).answersRequest);
    EXPECT_FALSE(Check(reply).failure.failed());
}

// Read once from the reply into what it asks of a client; written out, only four printable
// characters read back as a code.
TEST(KissCodeTest, EachCodeMeansWhatRfc4330SaysAndOnlyFourPrintableCharactersReadBack) {
    using Meaning = KissCode::Meaning;
    const std::tuple<const char*, const char*, Meaning> codes[] = {
        {"RATE", "RATE", Meaning::kSlowDown}, {"DENY", "DENY", Meaning::kRefused},
        {"RSTR", "RSTR", Meaning::kRefused},  {"INIT", "INIT", Meaning::kOther},
        {"rate", "rate", Meaning::kOther},    {"D\nN\x80", "D?N?", Meaning::kOther},
    };
    for (const auto& [sent, text, meaning] : codes) {
        const KissCode code =
            KissCode::FromReferenceId(reinterpret_cast<const std::uint8_t*>(sent));
        EXPECT_EQ(text, code.text());
        EXPECT_EQ(meaning, code.meaning()) << text;
        EXPECT_EQ(code, KissCode::FromText(text)) << text;
    }
    for (const char* notACode : {"", "RAT", "RATES", "RA\tE"}) {
        EXPECT_FALSE(KissCode::FromText(notACode)) << notACode;
    }
}

TEST(SntpOffsetTest, FourTimestampsGiveOffsetAndRoundTrip) {
    // T1 100.0, T2 100.6, T3 100.7, T4 100.3 on the NTP scale.
    const NtpTime t1(100, 0);
    const NtpTime t2 = AddSeconds(t1, 0.6);
    const NtpTime t3 = AddSeconds(t1, 0.7);
    const NtpTime t4 = AddSeconds(t1, 0.3);
    const sntp::OffsetAndDelay measured = sntp::ComputeOffsetAndDelay(t1, t2, t3, t4);
    EXPECT_NEAR(0.5, measured.offset, 1e-9);
    // 0.3 s on the client, of which the server held the request for 0.1 s.
    EXPECT_NEAR(0.2, measured.delay, 1e-9);
}

TEST(SntpOffsetTest, ExchangesAcrossThe2036RolloverMeasureAsAnyOther) {
    // Offsets from the rollover, 2036-02-07 06:28:16, in whole and half seconds.
    const auto around = [](std::int32_t seconds, bool half) {
        return NtpTime(static_cast<std::uint32_t>(seconds), half ? 0x80000000u : 0);
    };
    const NtpTime in2030 = NtpTime::FromSystemTime(Calendar(2030, 1, 1));
    const NtpTime in2040 = NtpTime::FromSystemTime(Calendar(2040, 1, 1));
    const double decade = 3652 * 86400.0;
    struct Case {
        const char* name;
        NtpTime t1, t2, t3, t4;
        double offset;
        double delay;
    };
    const Case cases[] = {
        {"both sides straddle it", around(-2, true), around(-1, true), around(0, true),
         around(1, false), 0.25, 1.5},
        {"server in era 1, client in era 0", around(-256, false), around(16, false),
         around(17, false), around(-254, false), 271.5, 1.0},
        {"client in era 1, server in era 0", around(100, false), around(-50, false),
         around(-50, true), around(101, false), -150.25, 0.5},
        {"client a decade behind, in era 0", in2030, AddSeconds(in2040, 1.0),
         AddSeconds(in2040, 1.0), AddSeconds(in2030, 2.0), decade, 2.0},
        {"client a decade ahead, in era 1", in2040, AddSeconds(in2030, 1.0),
         AddSeconds(in2030, 1.0), AddSeconds(in2040, 2.0), -decade, 2.0},
    };
    for (const Case& c : cases) {
        const sntp::OffsetAndDelay measured = sntp::ComputeOffsetAndDelay(c.t1, c.t2, c.t3, c.t4);
        EXPECT_NEAR(c.offset, measured.offset, 1e-6) << c.name;
        EXPECT_NEAR(c.delay, measured.delay, 1e-6) << c.name;
    }
}

TEST(SntpOffsetTest, EqualServerStampsOnAFastLinkGiveAPositiveDelay) {
    const NtpTime t1(3000000000u, 0);
    const NtpTime t4 = AddSeconds(t1, 40e-6);
    const NtpTime server = AddSeconds(t1, 20e-6);
    const sntp::OffsetAndDelay measured = sntp::ComputeOffsetAndDelay(t1, server, server, t4);
    EXPECT_NEAR(0.0, measured.offset, 1e-9);
    EXPECT_GT(measured.delay, 0.0);
    EXPECT_NEAR(40e-6, measured.delay, 1e-9);
}

}  // namespace
