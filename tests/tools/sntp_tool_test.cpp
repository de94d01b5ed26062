#include "tools/sntp_tool.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "tests/support/fault_sntp_server.h"

namespace {

using sntp_tool::ParseArguments;

TEST(SntpToolArgumentsTest, ReadsOptionsAndHostsInOrder) {
    const sntp_tool::ParseResult parsed =
        ParseArguments({"--port", "1123", "a.example", "--json", "--timeout-ms", "250", "b"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(1123, parsed.options->port);
    EXPECT_EQ(250u, parsed.options->timeoutMs);
    EXPECT_TRUE(parsed.options->json);
    EXPECT_EQ((std::vector<std::string>{"a.example", "b"}), parsed.options->hosts);

    const sntp_tool::ParseResult defaults = ParseArguments({"host"});
    ASSERT_TRUE(defaults.options);
    EXPECT_EQ(123, defaults.options->port);
    EXPECT_EQ(5000u, defaults.options->timeoutMs);
    EXPECT_FALSE(defaults.options->json);
}

TEST(SntpToolArgumentsTest, RefusesBadUsageWithOneLine) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--json"},
        {"--verbose", "host"},
        {"host", "--port"},
        {"--port", "x12", "host"},
        {"--port", "-5", "host"},
        {"--port", "0", "host"},
        {"--port", "65536", "host"},
        {"--port", "99999999999", "host"},
        {"--timeout-ms", "0", "host"},
        {"--timeout-ms", "1.5", "host"},
        {"--timeout-ms", "4294967296", "host"},
        {"--ca", "roots.pem", "host"},
        {"--nts", "host", "--ca"},
    };
    for (const std::vector<std::string>& arguments : bad) {
        const sntp_tool::ParseResult parsed = ParseArguments(arguments);
        EXPECT_FALSE(parsed.options) << testing::PrintToString(arguments);
        EXPECT_FALSE(parsed.error.empty());
        EXPECT_EQ(std::string::npos, parsed.error.find('\n'));
    }
    EXPECT_TRUE(ParseArguments({"--port", "65535", "h"}).options);
    EXPECT_TRUE(ParseArguments({"--", "--json"}).options);  // a host named --json
}

TEST(SntpToolOutputTest, FormatsTextAndJsonLines) {
    sntp_tool::HostOutcome good{"ntp.example", true, {}, {}};
    good.result.offset = 0.000123;
    good.result.delay = 0.000045;
    good.result.stratum = 2;
    good.result.address = "192.0.2.1";
    EXPECT_EQ("ntp.example [192.0.2.1] offset +0.000123 s delay 0.000045 s stratum 2 leap 0",
              sntp_tool::FormatLine(good, false));
    EXPECT_EQ(
        "{\"host\":\"ntp.example\",\"ok\":true,\"address\":\"192.0.2.1\",\"offset\":0.000123000,"
        "\"delay\":0.000045000,\"stratum\":2,\"leap\":0,\"nts\":false}",
        sntp_tool::FormatLine(good, true));
    good.nts = true;
    EXPECT_EQ("ntp.example [192.0.2.1] offset +0.000123 s delay 0.000045 s stratum 2 leap 0 nts",
              sntp_tool::FormatLine(good, false));
    EXPECT_NE(std::string::npos, sntp_tool::FormatLine(good, true).find(",\"nts\":true}"));

    good.result.offset = -1.5;
    good.result.address = "2001:db8::1";
    EXPECT_EQ(
        0u,
        sntp_tool::FormatLine(good, false).find("ntp.example [2001:db8::1] offset -1.500000 s"));

    const sntp_tool::HostOutcome bad{"x\"\n", false, {}, "no reply within 5000 ms"};
    EXPECT_EQ("x\"\n error: no reply within 5000 ms", sntp_tool::FormatLine(bad, false));
    EXPECT_EQ("{\"host\":\"x\\\"\\u000a\",\"ok\":false,\"error\":\"no reply within 5000 ms\"}",
              sntp_tool::FormatLine(bad, true));
}

TEST(SntpToolQueryTest, QueriesHostsConcurrentlyAndReportsInArgumentOrder) {
    // The server answers only once three requests are in: queried one after another, the
    // first would time out.
    FaultSntpServer server({.stratum = 3, .answerOnceRequests = 3});

    sntp_tool::Options options;
    options.port = server.port();
    options.timeoutMs = 3000;
    options.hosts = {"127.0.0.1", "127.0.0.9", "127.0.0.1", "localhost"};
    PlatformClock clock;
    const std::vector<sntp_tool::HostOutcome> outcomes = sntp_tool::QueryHosts(options, clock);
    ASSERT_EQ(4u, outcomes.size());
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        EXPECT_EQ(options.hosts[i], outcomes[i].host);
        EXPECT_EQ(i != 1, outcomes[i].ok) << i << ": " << outcomes[i].error;
    }
    EXPECT_EQ(3, outcomes[0].result.stratum);
    EXPECT_FALSE(outcomes[1].error.empty());  // nothing listens on 127.0.0.9
    EXPECT_EQ(3, server.requests());
    // localhost is ::1 first, where nothing listens: the answer came from its other address.
    EXPECT_EQ("127.0.0.1", outcomes[3].result.address);
}

}  // namespace
