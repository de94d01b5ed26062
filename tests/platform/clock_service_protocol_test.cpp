#include "platform/clock_service_protocol.h"
#include "platform/clock_service_reasons.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Request(const std::string& host, std::uint16_t version = 1, std::uint16_t kind = 1,
              std::size_t hostLength = std::string::npos) {
    const std::size_t length = hostLength == std::string::npos ? host.size() : hostLength;
    Bytes bytes = {'T',
                   'W',
                   'C',
                   'Q',
                   static_cast<std::uint8_t>(version),
                   0,
                   static_cast<std::uint8_t>(kind),
                   0,
                   30,
                   0,
                   0,
                   0,
                   static_cast<std::uint8_t>(length),
                   static_cast<std::uint8_t>(length >> 8)};
    for (const char c : host) {  // not insert: GCC 12 at -O2 warns falsely about its copy
        bytes.push_back(static_cast<std::uint8_t>(c));
    }
    return bytes;
}

Bytes WithFlags(Bytes request, const Bytes& flags) {
    for (const std::uint8_t flag : flags) {
        request.push_back(flag);
    }
    return request;
}

ClockServiceReply FailedWith(const Failure& failure, const std::string& host = "a.b") {
    return UnsuccessfulReply(ClockServiceStatus::kFailed, failure, host);
}

Failure Kiss(const char* code) {
    Failure failure = FailureOf(FailureKind::kKissOfDeath);
    failure.kiss = KissCode::FromText(code);
    return failure;
}

TEST(ClockServiceProtocolTest, TheWireFormatIsFixedAndEveryMessageSurvivesTheRoundTrip) {
    EXPECT_EQ((Bytes{'T', 'W', 'C', 'Q', 1, 0, 1, 0, 0xfe, 0xff, 0xff, 0xff, 3, 0, 'a', '.', 'b'}),
              EncodeClockServiceRequest({"a.b", -2}, kClockServiceFirstVersion));
    EXPECT_EQ((Bytes{'T', 'W', 'C', 'Q', 2, 0, 1, 0, 0xfe, 0xff, 0xff, 0xff, 3, 0, 'a', '.', 'b'}),
              EncodeClockServiceRequest({"a.b", -2, true}, 2));
    EXPECT_EQ(
        (Bytes{'T', 'W', 'C', 'Q', 3, 0, 1, 0, 0xfe, 0xff, 0xff, 0xff, 3, 0, 'a', '.', 'b', 1}),
        EncodeClockServiceRequest({"a.b", -2, true}));
    // The first version's reply, as programs of the first version read it: the sentence.
    ClockServiceReply refused = MalformedReply("no");
    refused.status = ClockServiceStatus::kRefused;
    refused.offset = 1.0;
    refused.delay = -2.0;
    refused.stratum = 3;
    EXPECT_EQ((Bytes{'T',  'W', 'C', 'A', 1, 0, 1, 0, 0,    0, 0, 0, 0,   0,  0xf0,
                     0x3f, 0,   0,   0,   0, 0, 0, 0, 0xc0, 3, 2, 0, 'n', 'o'}),
              EncodeClockServiceReply(refused, kClockServiceFirstVersion));
    // The second's: the kind and its detail, then the sentence.
    Failure disagreement = FailureOf(FailureKind::kDisagreement);
    disagreement.otherServer = "b";
    disagreement.otherAddress = "c";
    disagreement.secondsApart = 0x0102;
    const std::string sentence = "second server b (c) disagrees by 258 s";
    Bytes expected = {'T', 'W', 'C', 'A', 2, 0, 2, 0};
    expected.resize(expected.size() + 8 + 8 + 1 + 1);  // offset, delay, stratum, flags
    for (const int byte : {18, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 1, 0, 0}) {
        expected.push_back(static_cast<std::uint8_t>(byte));  // kind, error, time-out, apart
    }
    expected.resize(expected.size() + 4 + 4 + 1);  // process, kiss code, no address
    for (const int byte : {1, int{'b'}, 1, int{'c'}, static_cast<int>(sentence.size()), 0}) {
        expected.push_back(static_cast<std::uint8_t>(byte));
    }
    for (const char c : sentence) {  // not insert: GCC 12 at -O2 warns falsely about its copy
        expected.push_back(static_cast<std::uint8_t>(c));
    }
    EXPECT_EQ(expected, EncodeClockServiceReply(FailedWith(disagreement), 2));

    for (const std::uint16_t version : {1, 2, 3}) {
        for (const ClockServiceRequest& request :
             {ClockServiceRequest{"Pool.ntp.org", 0},
              {"192.0.2.1", -90},
              {"[2001:db8::1]", 3600},
              {"2001:db8::1", std::numeric_limits<std::int32_t>::min()},
              {std::string(kClockServiceMaxHostLength, 'a'), 1},
              {"nts.example", 0, version >= kClockServiceSecureVersion}}) {
            const ParsedClockServiceRequest parsed =
                ParseClockServiceRequest(EncodeClockServiceRequest(request, version));
            EXPECT_EQ(request, parsed.request) << request.host << ": " << parsed.error;
            EXPECT_EQ(version, parsed.replyVersion);
        }
    }
}

// Every failure travels with its kind and detail in the second version; in the first, as the
// sentence older programs show, which reads back into the kinds the first versions had.
TEST(ClockServiceProtocolTest, RepliesCarryTheFailureInEitherVersion) {
    Failure noAnswer = FailureOf(FailureKind::kNoAnswer);
    noAnswer.address = "2001:db8::7";
    noAnswer.timeoutMs = 5000;
    noAnswer.account = "no reply within 5000 ms";
    Failure refused = FailureOf(FailureKind::kClockRefused);
    refused.error = 4294967295u;
    Failure disagreement = FailureOf(FailureKind::kDisagreement);
    disagreement.otherServer = "ntp2.example";
    disagreement.otherAddress = "192.0.2.2";
    disagreement.secondsApart = 10800;
    Failure impostor = FailureOf(FailureKind::kPipeNotTheService);
    impostor.process = 77;
    ClockServiceReply unconfirmed;
    unconfirmed.status = ClockServiceStatus::kSynchronised;
    unconfirmed.unconfirmed = true;
    unconfirmed.offset = -0.0123;
    unconfirmed.delay = 0.045;
    unconfirmed.stratum = 2;
    const std::string longReason(kClockServiceMaxReasonLength, 'r');
    struct Row {
        ClockServiceReply reply;
        FailureKind firstVersionKind;  // what a service of the first version's sentence reads as
    };
    const Row rows[] = {
        {unconfirmed, FailureKind::kNone},
        {FailedWith(noAnswer), FailureKind::kOther},
        {FailedWith(refused), FailureKind::kClockRefused},
        {FailedWith(disagreement), FailureKind::kDisagreement},
        {FailedWith(Kiss("RATE")), FailureKind::kKissOfDeath},
        {FailedWith(impostor), FailureKind::kOther},
        {FailedWith(FailureOf(FailureKind::kNetworkStart)), FailureKind::kNetworkStart},
        {MalformedReply(longReason), FailureKind::kMalformedRequest},
    };
    for (const Row& row : rows) {
        const std::string name = row.reply.reason;
        const std::optional<ClockServiceReply> second =
            ParseClockServiceReply(EncodeClockServiceReply(row.reply, 2));
        ASSERT_TRUE(second) << name;
        ClockServiceReply expected = row.reply;
        expected.failure.account = expected.reason;  // the account travels as the sentence
        EXPECT_EQ(expected, *second) << name;

        const std::optional<ClockServiceReply> first =
            ParseClockServiceReply(EncodeClockServiceReply(row.reply, 1));
        ASSERT_TRUE(first) << name;
        EXPECT_EQ(row.reply.status, first->status) << name;
        EXPECT_EQ(row.reply.unconfirmed, first->unconfirmed) << name;
        EXPECT_EQ(row.reply.reason, first->reason) << name;
        EXPECT_EQ(row.firstVersionKind, first->failure.kind) << name;
    }
    const std::optional<ClockServiceReply> refusedInFirst =
        ParseClockServiceReply(EncodeClockServiceReply(FailedWith(refused), 1));
    EXPECT_EQ(refused.error, refusedInFirst->failure.error);
    // A newer service's kind: its sentence says what this program cannot.
    Bytes newer = EncodeClockServiceReply(FailedWith(FailureOf(FailureKind::kOther)), 2);
    newer[26] = 0xff;
    ASSERT_TRUE(ParseClockServiceReply(newer));
    EXPECT_EQ(FailureKind::kOther, ParseClockServiceReply(newer)->failure.kind);
    const Bytes cut = EncodeClockServiceReply(MalformedReply(longReason + "r"), 1);
    EXPECT_EQ(kClockServiceReplyHeaderSize + kClockServiceMaxReasonLength, cut.size());
}

// A program asks in the latest version; an older service refuses that as malformed, and is
// asked again a version lower until it answers. Any other reply stands.
TEST(ClockServiceProtocolTest, AnOlderServiceIsAskedAgainAVersionLower) {
    struct Row {
        std::uint16_t serviceVersion;
        ClockServiceReply answer;  // the service's to a version it speaks
        std::vector<std::uint16_t> asked;
    };
    const Row rows[] = {
        {1, FailedWith(Kiss("DENY")), {3, 2, 1}},   {2, FailedWith(Kiss("DENY")), {3, 2}},
        {3, FailedWith(Kiss("DENY")), {3}},         {3, MalformedReply("unknown version 2"), {3}},
        {3, MalformedReply("host cut short"), {3}},
    };
    for (const Row& row : rows) {
        std::vector<std::uint16_t> asked;
        const ClockServiceReply reply = AskNewestFirst([&](std::uint16_t version) {
            asked.push_back(version);
            return version > row.serviceVersion
                       ? MalformedReply("unknown version " + std::to_string(version))
                       : row.answer;
        });
        EXPECT_EQ(row.asked, asked) << row.serviceVersion << " " << row.answer.reason;
        EXPECT_EQ(row.answer.failure.kind, reply.failure.kind) << row.serviceVersion;
    }
}

// Programs and services of every version together, through the bytes: the service reads the
// request and answers in its version; only a service of the secure version can say that a time
// was authenticated, so an NTS request to an older one is never taken as secure.
TEST(ClockServiceProtocolTest, ProgramsAndServicesOfEveryVersionUnderstandEachOther) {
    Failure untrusted = FailureOf(FailureKind::kNtsCertificateUntrusted);
    untrusted.certificateName = "nts.test";
    untrusted.certificateIssuer = "Test CA";
    struct Row {
        std::uint16_t programVersion;
        std::uint16_t serviceVersion;
        bool nts;
        bool keysTrusted;  // else the service's key exchange meets an untrusted certificate
        bool secure;
        FailureKind kind;
        const char* certificateName;
    };
    const Row rows[] = {
        {3, 3, true, true, true, FailureKind::kNone, ""},
        {3, 3, false, true, false, FailureKind::kNone, ""},
        {3, 2, true, true, false, FailureKind::kNone, ""},
        {3, 1, true, true, false, FailureKind::kNone, ""},
        {2, 3, false, true, false, FailureKind::kNone, ""},
        {1, 3, false, true, false, FailureKind::kNone, ""},
        {3, 3, true, false, false, FailureKind::kNtsCertificateUntrusted, "nts.test"},
        // Before the secure version the certificate's names travel only in the sentence.
        {2, 3, false, false, false, FailureKind::kNtsCertificateUntrusted, ""},
        {1, 3, false, false, false, FailureKind::kOther, ""},
    };
    for (const Row& row : rows) {
        const std::string name = std::to_string(row.programVersion) + " to " +
                                 std::to_string(row.serviceVersion) + (row.nts ? " nts" : "");
        // A service of the row's version: it speaks no later version than its own.
        const auto serve = [&](const Bytes& bytes) {
            ParsedClockServiceRequest parsed = ParseClockServiceRequest(bytes);
            if (parsed.request && parsed.replyVersion > row.serviceVersion) {
                return EncodeClockServiceReply(
                    MalformedReply("unknown version " + std::to_string(parsed.replyVersion)),
                    kClockServiceFirstVersion);
            }
            EXPECT_TRUE(parsed.request) << name << ": " << parsed.error;
            ClockServiceReply reply;
            reply.status = ClockServiceStatus::kSynchronised;
            reply.offset = 0.25;
            reply.secure = parsed.request->nts;
            if (!row.keysTrusted) {
                reply = FailedWith(untrusted, parsed.request->host);
            }
            return EncodeClockServiceReply(reply, parsed.replyVersion);
        };
        const ClockServiceRequest request{"nts.test", 0, row.nts};
        ClockServiceReply reply;
        if (row.programVersion == kClockServiceProtocolVersion) {
            reply = AskNewestFirst([&](std::uint16_t version) {
                return ParseClockServiceReply(serve(EncodeClockServiceRequest(request, version)))
                    .value_or(ClockServiceReply{});
            });
        } else {
            reply = ParseClockServiceReply(
                        serve(EncodeClockServiceRequest(request, row.programVersion)))
                        .value_or(ClockServiceReply{});
        }
        EXPECT_EQ(row.kind == FailureKind::kNone, reply.ok()) << name << ": " << reply.reason;
        EXPECT_EQ(row.kind, reply.failure.kind) << name;
        EXPECT_EQ(row.secure, reply.secure) << name;
        EXPECT_EQ(row.certificateName, reply.failure.certificateName) << name;
        EXPECT_EQ(
            row.keysTrusted ? "" : "the certificate of nts.test, issued by Test CA, is not trusted",
            reply.reason)
            << name;
    }
}

TEST(ClockServiceProtocolTest, EveryMalformedRequestIsRefusedNamingItsCheck) {
    Bytes wrongMagic = Request("a");
    wrongMagic[3] = 'A';
    Bytes trailing = Request("a");
    trailing.push_back(0);
    const std::vector<std::pair<Bytes, const char*>> cases = {
        {Bytes(trailing.begin(), trailing.begin() + 13), "too short"},
        {wrongMagic, "not a request (wrong magic)"},
        {Request("a", 0), "unknown version 0"},
        {Request("a", 4), "unknown version 4"},
        {Request("a", 3), "flags missing"},
        {WithFlags(Request("a", 3), {1, 0}), "bytes after the flags"},
        {WithFlags(Request("a", 3), {2}), "unknown flags 2"},
        {WithFlags(Request("a", 3), {0x81}), "unknown flags 129"},
        {Request("a", 1, 0), "unknown kind 0"},
        {Request(""), "empty host"},
        {Request(std::string(kClockServiceMaxHostLength + 1, 'a')), "host longer than 253 bytes"},
        {Request("abcd", 1, 1, 5), "host cut short"},
        {trailing, "bytes after the host"},
        {Request("pool.ntp.org "), "host has a character that is not allowed (0x20)"},
        {Request(std::string("a\0b", 3)), "host has a character that is not allowed (0x00)"},
        {Request("fe80::1%eth0"), "host has a character that is not allowed (0x25)"},
        {Request("[::1]:123"), "host has brackets that do not enclose the whole host"},
        {Request("["), "host has brackets that do not enclose the whole host"},
        {Request("[]"), "host has nothing in its brackets"},
    };
    for (const auto& [bytes, error] : cases) {
        const ParsedClockServiceRequest parsed = ParseClockServiceRequest(bytes);
        EXPECT_FALSE(parsed.request) << error;
        EXPECT_EQ(error, parsed.error);
        // Answered in the request's version once it is one the service speaks.
        const bool spoken = bytes.size() >= 6 && bytes[4] >= 1 && bytes[4] <= 3 && bytes[5] == 0;
        EXPECT_EQ(spoken ? bytes[4] : 1, parsed.replyVersion) << error;
    }
}

// Only characters and brackets: emptiness and length are the request's checks and the
// dialog's, and a port after a name cannot be told from an IPv6 address's last group.
TEST(ClockServiceProtocolTest, HostErrorAcceptsNamesAndAddressesAndNamesTheFault) {
    const std::string notAllowed = "host has a character that is not allowed ";
    const std::string unenclosed = "host has brackets that do not enclose the whole host";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"pool.ntp.org", ""},
        {"time-a.nist.gov", ""},
        {"NTP1.Example", ""},
        {"192.0.2.1", ""},
        {"2001:db8::1", ""},
        {"[2001:db8::1]", ""},
        {"::1", ""},
        {"[::ffff:192.0.2.1]", ""},
        {"", ""},
        {std::string(300, 'a'), ""},
        {"pool.ntp.org:123", ""},
        {" pool.ntp.org", notAllowed + "(0x20)"},
        {"pool.ntp.org ", notAllowed + "(0x20)"},
        {"a\tb", notAllowed + "(0x09)"},
        {"ntp_server", notAllowed + "(0x5f)"},
        {"ntp.example/", notAllowed + "(0x2f)"},
        {"fe80::1%eth0", notAllowed + "(0x25)"},
        {"r\xc3\xa9seau", notAllowed + "(0xc3)"},
        {"[::1]:123", unenclosed},
        {"[::1", unenclosed},
        {"::1]", unenclosed},
        {"[[::1]]", unenclosed},
        {"a[b]", unenclosed},
        {"[]", "host has nothing in its brackets"},
    };
    for (const auto& [host, error] : cases) {
        EXPECT_EQ(error, HostError(host)) << '"' << host << '"';
    }
}

TEST(ClockServiceProtocolTest, RepliesOfAnotherShapeAreNotRead) {
    const Bytes first = EncodeClockServiceReply(MalformedReply("why"), 1);
    const Bytes second = EncodeClockServiceReply(FailedWith(Kiss("RATE")), 2);
    const auto changed = [](Bytes bytes, std::size_t at, std::uint8_t value) {
        bytes[at] = value;
        return bytes;
    };
    Bytes overLimit =
        EncodeClockServiceReply(MalformedReply(std::string(kClockServiceMaxReasonLength, 'r')), 1);
    overLimit.push_back('r');  // consistent in itself, but one byte beyond the limit
    overLimit[kClockServiceReplyHeaderSize - 2] = 1;
    ClockServiceReply notANumber;
    notANumber.status = ClockServiceStatus::kSynchronised;
    notANumber.offset = std::nan("");
    ClockServiceReply infinite;
    infinite.status = ClockServiceStatus::kSynchronised;
    infinite.delay = std::numeric_limits<double>::infinity();
    Bytes trailing = second;
    trailing.push_back(0);
    std::vector<Bytes> cases = {
        Bytes(first.begin(), first.end() - 1),
        changed(first, kClockServiceReplyHeaderSize - 2, 4),  // a reason length beyond the bytes
        changed(first, 0, 'X'), changed(first, 4, 3),         // version
        changed(first, 4, 0), changed(first, 6, 4),           // status
        overLimit, EncodeClockServiceReply(notANumber, 1), EncodeClockServiceReply(infinite, 2),
        // The second version: its failure must fit its status, flags and kiss code.
        Bytes(second.begin(), second.end() - 1), trailing,
        changed(second, 6, 0),                   // synchronised, yet a failure
        changed(second, 25, 2),                  // an unknown flag
        changed(second, 44, 0),                  // a kiss code of three characters
        changed(changed(second, 26, 1), 27, 0),  // another kind, yet a kiss code
        changed(second, 48, 254),                // an address longer than the bytes
    };
    // The third: a time authenticated only on success, the certificate's names whole.
    Failure untrusted = FailureOf(FailureKind::kNtsCertificateUntrusted);
    untrusted.certificateName = "n";
    const Bytes third = EncodeClockServiceReply(FailedWith(untrusted), 3);
    cases.push_back(changed(third, 25, 2));
    cases.push_back(changed(third, 51, 250));  // a certificate's name longer than the bytes
    ASSERT_TRUE(ParseClockServiceReply(first));
    ASSERT_TRUE(ParseClockServiceReply(second));
    ASSERT_TRUE(ParseClockServiceReply(third));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_FALSE(ParseClockServiceReply(cases[i])) << "case " << i;
    }
}

// The sentences keep the words the first service sent: a program of any version reads them,
// and they read back into the kinds they had.
TEST(ClockServiceProtocolTest, SentencesKeepTheirWordsAndAreReadBack) {
    Failure refused = FailureOf(FailureKind::kClockRefused);
    refused.error = 1314;
    Failure largest = refused;
    largest.error = 4294967295u;
    Failure disagreement = FailureOf(FailureKind::kDisagreement);
    disagreement.otherServer = "ntp2.example";
    disagreement.otherAddress = "192.0.2.2";
    disagreement.secondsApart = 10800;
    Failure other = FailureOf(FailureKind::kOther);
    other.account = "host cut short";
    const std::pair<Failure, const char*> rows[] = {
        {FailureOf(FailureKind::kNetworkStart), "the network could not be started"},
        {refused, "Windows refused to set the clock (error 1314)"},
        {largest, "Windows refused to set the clock (error 4294967295)"},
        {FailureOf(FailureKind::kConversionFailed), "time conversion error"},
        {FailureOf(FailureKind::kAbandoned), "the correction was abandoned"},
        {FailureOf(FailureKind::kServerNotApproved), "server not approved by the administrator"},
        {FailureOf(FailureKind::kOffsetAboveLimit), "offset above the administrator's limit"},
        {disagreement, "second server ntp2.example (192.0.2.2) disagrees by 10800 s"},
        {Kiss("RATE"), "the server sent the kiss code RATE"},
        {other, "host cut short"},
    };
    for (const auto& [failure, words] : rows) {
        EXPECT_EQ(words, ServiceReasonText(failure, "pool.example"));
        Failure read = failure;
        read.account = words;
        EXPECT_EQ(read, ReadServiceReason(words)) << words;
    }
    // Every failure of the SNTP exchange as the first versions said it, the account after it.
    Failure unresolved = FailureOf(FailureKind::kUnresolved);
    unresolved.account = "connect: no such host";
    EXPECT_EQ("no answer from pool.example: connect: no such host",
              ServiceReasonText(unresolved, "pool.example"));
    // Anything else is another version's reason, shown as it came.
    for (const char* another :
         {"Windows refused to set the clock (error 4294967296)",
          "Windows refused to set the clock (error x)",
          "Windows refused to set the clock (error 05)",
          "Windows refused to set the clock (error )", "no answer from 192.0.2.1: timed out",
          "time conversion error.", "second server  disagrees by 5 s",
          "second server a disagrees by 05 s", "second server a disagrees by s",
          "second server a disagrees by 5", "second server a () disagrees by 5 s",
          "the server sent the kiss code RAT", "the server sent the kiss code RATES",
          "the server sent the kiss code RA\tE"}) {
        const Failure read = ReadServiceReason(another);
        EXPECT_EQ(FailureKind::kOther, read.kind) << another;
        EXPECT_EQ(another, ServiceReasonText(read, "pool.example"));
    }
}

}  // namespace
