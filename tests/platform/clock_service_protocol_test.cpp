#include "platform/clock_service_protocol.h"

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

TEST(ClockServiceProtocolTest, TheWireFormatIsFixedAndEveryMessageSurvivesTheRoundTrip) {
    EXPECT_EQ((Bytes{'T', 'W', 'C', 'Q', 1, 0, 1, 0, 0xfe, 0xff, 0xff, 0xff, 3, 0, 'a', '.', 'b'}),
              EncodeClockServiceRequest({"a.b", -2}));
    EXPECT_EQ((Bytes{'T',  'W', 'C', 'A', 1, 0, 1, 0, 0,    0, 0, 0, 0,   0,  0xf0,
                     0x3f, 0,   0,   0,   0, 0, 0, 0, 0xc0, 3, 2, 0, 'n', 'o'}),
              EncodeClockServiceReply({ClockServiceStatus::kRefused, "no", 1.0, -2.0, 3}));

    for (const ClockServiceRequest& request :
         {ClockServiceRequest{"Pool.ntp.org", 0},
          {"192.0.2.1", -90},
          {"[2001:db8::1]", 3600},
          {"2001:db8::1", std::numeric_limits<std::int32_t>::min()},
          {std::string(kClockServiceMaxHostLength, 'a'), 1}}) {
        const ParsedClockServiceRequest parsed =
            ParseClockServiceRequest(EncodeClockServiceRequest(request));
        EXPECT_EQ(request, parsed.request) << request.host << ": " << parsed.error;
    }
    const std::string longReason(kClockServiceMaxReasonLength + 1, 'r');
    for (const ClockServiceReply& reply :
         {ClockServiceReply{ClockServiceStatus::kSynchronised, "", -0.0123, 0.045, 2},
          {ClockServiceStatus::kMalformed, "too short", 0, 0, 255},
          {ClockServiceStatus::kFailed, longReason.substr(1), 0, 0, 0}}) {
        EXPECT_EQ(reply, ParseClockServiceReply(EncodeClockServiceReply(reply))) << reply.reason;
    }
    const Bytes cut = EncodeClockServiceReply({ClockServiceStatus::kFailed, longReason, 0, 0, 0});
    EXPECT_EQ(kClockServiceMaxReplySize, cut.size());
}

TEST(ClockServiceProtocolTest, EveryMalformedRequestIsRefusedNamingItsCheck) {
    Bytes wrongMagic = Request("a");
    wrongMagic[3] = 'A';
    Bytes trailing = Request("a");
    trailing.push_back(0);
    const std::vector<std::pair<Bytes, const char*>> cases = {
        {Bytes(trailing.begin(), trailing.begin() + 13), "too short"},
        {wrongMagic, "not a request (wrong magic)"},
        {Request("a", 2), "unknown version 2"},
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
    const Bytes good = EncodeClockServiceReply({ClockServiceStatus::kFailed, "why", 0, 0, 0});
    const auto changed = [&good](std::size_t at, std::uint8_t value) {
        Bytes bytes = good;
        bytes[at] = value;
        return bytes;
    };
    Bytes overLimit = EncodeClockServiceReply(
        {ClockServiceStatus::kFailed, std::string(kClockServiceMaxReasonLength, 'r'), 0, 0, 0});
    overLimit.push_back('r');  // consistent in itself, but one byte beyond the limit
    overLimit[kClockServiceReplyHeaderSize - 2] = 1;
    const std::vector<Bytes> cases = {
        Bytes(good.begin(), good.end() - 1),
        changed(kClockServiceReplyHeaderSize - 2, 4),  // a reason length beyond the bytes
        changed(0, 'X'),
        changed(4, 2),  // version
        changed(6, 4),  // status
        overLimit,
        EncodeClockServiceReply({ClockServiceStatus::kSynchronised, "", std::nan(""), 0, 1}),
        EncodeClockServiceReply(
            {ClockServiceStatus::kSynchronised, "", 0, std::numeric_limits<double>::infinity(), 1}),
    };
    ASSERT_TRUE(ParseClockServiceReply(good));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_FALSE(ParseClockServiceReply(cases[i])) << "case " << i;
    }
}

// The reasons keep the words the first service sent: a program of any version reads them.
TEST(ClockServiceProtocolTest, ReasonsKeepTheirWireWordsAndAreReadBack) {
    using F = ClockServiceFailure;
    const std::pair<ClockServiceReason, const char*> rows[] = {
        {{F::kNetworkStart, 0, ""}, "the network could not be started"},
        {{F::kNoAnswer, 0, "192.0.2.1: timed out"}, "no answer from 192.0.2.1: timed out"},
        {{F::kClockRefused, 1314, ""}, "Windows refused to set the clock (error 1314)"},
        {{F::kClockRefused, 4294967295u, ""},
         "Windows refused to set the clock (error 4294967295)"},
        {{F::kConversionFailed, 0, ""}, "time conversion error"},
        {{F::kAbandoned, 0, ""}, "the correction was abandoned"},
        {{F::kServerNotApproved, 0, ""}, "server not approved by the administrator"},
        {{F::kOffsetAboveLimit, 0, ""}, "offset above the administrator's limit"},
        {{F::kDisagreement, 10800, "ntp2.example (192.0.2.2)"},
         "second server ntp2.example (192.0.2.2) disagrees by 10800 s"},
        {{F::kKissOfDeath, 0, "RATE"}, "the server sent the kiss code RATE"},
        {{F::kOther, 0, "host cut short"}, "host cut short"},
    };
    for (const auto& [reason, words] : rows) {
        EXPECT_EQ(words, EncodeClockServiceReason(reason));
        EXPECT_EQ(reason, ParseClockServiceReason(words)) << words;
    }
    // Anything else is another version's reason, shown as it came.
    for (const char* other :
         {"Windows refused to set the clock (error 4294967296)",
          "Windows refused to set the clock (error x)",
          "Windows refused to set the clock (error 05)",
          "Windows refused to set the clock (error )", "no answer from ", "time conversion error.",
          "second server  disagrees by 5 s", "second server a disagrees by 05 s",
          "second server a disagrees by s", "second server a disagrees by 5",
          "the server sent the kiss code RAT", "the server sent the kiss code RATES",
          "the server sent the kiss code RA\tE"}) {
        EXPECT_EQ((ClockServiceReason{F::kOther, 0, other}), ParseClockServiceReason(other));
    }
}

}  // namespace
