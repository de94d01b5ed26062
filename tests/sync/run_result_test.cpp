#include "sync/run_result.h"

#include <gtest/gtest.h>

#include "sync/tray_tip.h"
#include "tests/support/calendar.h"

namespace {

RunResult Failed(RunFailure failure, std::string detail = {}, std::uint32_t code = 0) {
    RunResult result;
    result.failure = failure;
    result.serverTitle = "Example";
    result.host = "ntp.example.org";
    result.address = "192.0.2.1";
    result.timeoutMs = 20000;
    result.detail = std::move(detail);
    result.code = code;
    return result;
}

// Every kind of failure the engine has: the reason in plain words and the tip's few words.
TEST(RunResultTest, EveryFailureHasItsTextAndSummary) {
    struct Row {
        RunResult result;
        const char* text;
        const char* summary;
    };
    const Row rows[] = {
        {Failed(RunFailure::kInternetOpen), "The Internet session could not be opened.",
         "no Internet connection"},
        {Failed(RunFailure::kUrlOpen),
         "The test web page could not be opened: is the computer online?",
         "no Internet connection"},
        {Failed(RunFailure::kNetworkStart), "The network could not be started.",
         "network not started"},
        {Failed(RunFailure::kNetworkVersion),
         "The network does not offer the version Tickwell needs.", "network not started"},
        {Failed(RunFailure::kUnresolved), "The name ntp.example.org did not resolve.",
         "name did not resolve"},
        {Failed(RunFailure::kNoAnswer), "No answer from 192.0.2.1 within 20 s.", "no answer"},
        {Failed(RunFailure::kSocketError, "send: refused (10061)"),
         "The network refused the request (send: refused (10061)).", "network error"},
        {Failed(RunFailure::kTooShort), "The server's reply was cut short.", "bad reply"},
        {Failed(RunFailure::kNotServerMode), "The reply did not come from a time server.",
         "bad reply"},
        {Failed(RunFailure::kBadVersion), "The server answered in an unknown protocol version.",
         "bad reply"},
        {Failed(RunFailure::kKissOfDeath, "RATE"), "The server asked us to slow down (RATE).",
         "server refused"},
        {Failed(RunFailure::kKissOfDeath, "DENY"), "The server refused to serve us (DENY).",
         "server refused"},
        {Failed(RunFailure::kKissOfDeath, "XY?Z"), "The server told us to stop asking (XY?Z).",
         "server refused"},
        {Failed(RunFailure::kBadStratum), "The server gave an impossible stratum.", "bad reply"},
        {Failed(RunFailure::kUnsynchronised), "The server's own clock is not synchronized.",
         "server not synchronized"},
        {Failed(RunFailure::kZeroTransmit), "The server's reply carried no time.", "bad reply"},
        {Failed(RunFailure::kRootDistance),
         "The server is too far from its reference clock to be trusted.", "bad reply"},
        {Failed(RunFailure::kClockRefused, "", 1314),
         "Windows refused to set the clock (error 1314).", "clock not set"},
        {Failed(RunFailure::kConversionFailed),
         "The fixed offset leads to a time the clock cannot hold.", "clock not set"},
        {Failed(RunFailure::kServiceSilent), "The Tickwell Clock service does not answer.",
         "clock service failed"},
        {Failed(RunFailure::kServiceFailed, "server not approved by the administrator"),
         "The Tickwell Clock service could not synchronize: server not approved by the "
         "administrator.",
         "clock service failed"},
        {Failed(RunFailure::kAbandoned), "The run was broken off.", "broken off"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.text, FailureText(row.result));
        EXPECT_EQ(row.summary, FailureSummary(row.result.failure)) << row.text;
        EXPECT_EQ(std::string("Example (192.0.2.1): ") + row.text, FailureParagraph(row.result));
    }
    EXPECT_EQ("", FailureText(RunResult{}));
}

TEST(RunResultTest, TheClientsAccountBecomesTheKindAndTheAddressAsked) {
    SntpFailure kiss{SntpClient::kErrorRejectedReply,
                     "kiss-o'-death from server: RATE",
                     SntpFailure::Kind::kRejectedReply,
                     sntp::ReplyCheck::kKissOfDeath,
                     "RATE",
                     "2001:db8::1"};
    RunResult result;
    result.host = "pool.example.org";
    TakeSntpFailure(kiss, 5000, &result);
    EXPECT_EQ(RunFailure::kKissOfDeath, result.failure);
    EXPECT_EQ("RATE", result.detail);
    EXPECT_EQ("2001:db8::1", AddressAsked(result));

    TakeSntpFailure({11001, "connect: no such host", SntpFailure::Kind::kUnresolved, {}, {}, {}},
                    5000, &result);
    EXPECT_EQ(RunFailure::kUnresolved, result.failure);
    EXPECT_EQ("pool.example.org", AddressAsked(result));  // the name that did not resolve
    result.serverTitle = "Pool";
    EXPECT_EQ("Pool (pool.example.org): The name pool.example.org did not resolve.",
              FailureParagraph(result));

    TakeSntpFailure({10060, "no reply", SntpFailure::Kind::kTimedOut, {}, {}, "192.0.2.7"}, 600,
                    &result);
    EXPECT_EQ("No answer from 192.0.2.7 within 0.6 s.", FailureText(result));
}

TEST(RunResultTest, HistoryLineOfASuccessAndOfAFailure) {
    RunResult ok;
    ok.serverTitle = "Chrony";
    ok.host = "localhost";
    ok.address = "127.0.0.1";
    ok.offset = 0.0123456;
    ok.delay = 0.0005;
    ok.stratum = 8;
    ok.answered = true;
    ok.step = 30.0123456;
    ok.throughService = true;
    const HistoryEntry success = HistoryEntryOf(ok, "manual", Calendar(2026, 12, 9, 9, 14, 3));
    EXPECT_EQ((HistoryEntry{"2026-12-09T09:14:03Z", "manual through the clock service", "Chrony",
                            "localhost", "127.0.0.1", "success", "+0.012346", "0.000500", "8",
                            "+30.012346", ""}),
              success);

    const HistoryEntry failure =
        HistoryEntryOf(Failed(RunFailure::kNoAnswer), "scheduled", Calendar(2026, 1, 2));
    EXPECT_EQ("failure", failure.result);
    EXPECT_EQ("", failure.offset);  // nothing measured
    EXPECT_EQ("", failure.step);
    EXPECT_EQ("No answer from 192.0.2.1 within 20 s.", failure.reason);

    // The server answered, but the clock refused its time: the measurement is kept.
    RunResult refused = Failed(RunFailure::kClockRefused, {}, 5);
    refused.answered = true;
    refused.delay = 0.25;
    const HistoryEntry measured = HistoryEntryOf(refused, "manual", Calendar(2026, 1, 2));
    EXPECT_EQ("failure", measured.result);
    EXPECT_EQ("+0.000000", measured.offset);
    EXPECT_EQ("0.250000", measured.delay);
    EXPECT_EQ("0", measured.stratum);
}

TEST(TrayTipTest, LastResultNextRunAndAnotherTimeProgram) {
    RunResult ok;
    ok.offset = 0.0124;
    const SYSTEMTIME now = Calendar(2026, 12, 9, 9, 20, 0);
    const DateTime nowValue = *DateTime::FromSystemTime(now);
    struct Row {
        TrayTipState state;
        const char* tip;
    };
    const Row rows[] = {
        {{"Tickwell", std::nullopt, {}, now, std::nullopt, false},
         "Tickwell - not synchronized yet"},
        {{"Tickwell", ok, Calendar(2026, 12, 9, 9, 14, 0), now,
          *DateTime::FromSystemTime(Calendar(2026, 12, 10)), false},
         "Tickwell - synchronized today 09:14, offset +0.012 s\nNext run: tomorrow 00:00"},
        {{"Tickwell", std::nullopt, Calendar(2026, 11, 30, 17, 5, 0), now, nowValue, false},
         "Tickwell - synchronized 2026-11-30 17:05\nNext run: now"},
        {{"Tickwell", Failed(RunFailure::kNoAnswer), Calendar(2026, 12, 9, 8, 0, 0), now,
          nowValue.AddSeconds(2400), true},
         "Tickwell - last attempt failed: no answer\nNext run: today 10:00\nAnother time "
         "program is also setting the clock."},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.tip, TrayTipText(row.state));
    }
    const TrayTipState longName{std::string(200, 'T'), std::nullopt, {}, now, std::nullopt, true};
    EXPECT_EQ(kMaxTrayTipLength, TrayTipText(longName).size());
}

}  // namespace
