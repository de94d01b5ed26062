// The query-and-set step that the program's run and the Tickwell Clock service share: the
// coarse step from an hour off, the user's offset by the calendar, and the second opinion
// before a large step.
#include "sync/clock_correction.h"

#include <gtest/gtest.h>

#include "tests/support/calendar.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_key_exchanger.h"
#include "tests/support/fault_sntp_server.h"
#include "tests/support/run_harness.h"
#include "tests/support/set_option.h"

namespace {

// Stepped coarsely from an hour off on, either way; below that set in one step.
TEST(CoarseStepTest, StartsAtAnHourOffEitherWay) {
    // A measured offset is never exactly an hour, so the boundary itself is checked here.
    for (const auto& [offset, coarse] : {std::pair{3600.0, true}, std::pair{-3600.0, true},
                                         std::pair{3599.999, false}, std::pair{-3599.999, false}}) {
        EXPECT_EQ(coarse, ClockCorrection::NeedsCoarseStep(offset)) << offset;
    }
    for (const double serverAhead : {-59 * 60.0, 3599.99, -3599.99, 3600.01, -3600.01}) {
        RunHarness h;
        h.clock.Freeze();
        h.ServerDoes({.clockOffsetSeconds = serverAhead, .clock = &h.clock});
        SetOption(h.settings, &UserOptions::maxDiffMinutes, 0);
        ASSERT_TRUE(h.RunNow(RunKind::kScheduled).ok()) << serverAhead;
        const bool coarse = ClockCorrection::NeedsCoarseStep(serverAhead);
        EXPECT_EQ(coarse ? 2 : 1, h.server.requests()) << serverAhead;
        ASSERT_FALSE(h.clock.sets().empty()) << serverAhead;
        EXPECT_EQ(coarse ? FakeClock::SetKind::kUtcTime : FakeClock::SetKind::kClockUtc,
                  h.clock.sets()[0].kind)
            << serverAhead;
        if (!coarse) {
            EXPECT_EQ(1u, h.clock.sets().size()) << serverAhead;
            EXPECT_NEAR(serverAhead, h.clock.offset(), 0.05);
        }
    }
}

TEST(UserOffsetTest, WholeSecondsByCalendarKeepingTheMilliseconds) {
    const std::optional<SYSTEMTIME> back =
        ApplyUserOffset(Calendar(2026, 1, 1, 0, 0, 30, 250), -90);
    ASSERT_TRUE(back);
    EXPECT_EQ(2025, back->wYear);
    EXPECT_EQ(12, back->wMonth);
    EXPECT_EQ(31, back->wDay);
    EXPECT_EQ(23, back->wHour);
    EXPECT_EQ(59, back->wMinute);
    EXPECT_EQ(0, back->wSecond);
    EXPECT_EQ(250, back->wMilliseconds);

    // Past the last day the calendar holds.
    EXPECT_FALSE(ApplyUserOffset(Calendar(9999, 12, 31, 23, 59, 30, 250), 120));
}

// Another server's word, by the name it was asked: the same server under another name is no
// second opinion, and a disagreement says which server and how far apart. The first server
// is two minutes ahead; "www.example.com" is its address, 127.0.0.1, by another name.
TEST(ClockCorrectionTest, OnlyAnotherServerGivesASecondOpinion) {
    struct Row {
        const char* name;
        std::vector<std::string> others;
        FailureKind failure;
        bool unconfirmed;
        std::size_t asked;
    };
    const Row rows[] = {
        {"the same server under another name", {"www.example.com"}, FailureKind::kNone, true, 1},
        {"a silent one, then the same server",
         {"127.0.0.9", "www.example.com"},
         FailureKind::kNone,
         true,
         2},
        {"another server", {"::1"}, FailureKind::kDisagreement, false, 1},
        {"the same server, then another",
         {"www.example.com", "::1"},
         FailureKind::kDisagreement,
         false,
         2},
    };
    for (const Row& row : rows) {
        FakeClock clock;
        clock.Freeze();
        FaultSntpServer first({.clockOffsetSeconds = 120, .clock = &clock});
        FaultSntpServer honest({.clock = &clock}, net::Endpoint::Ipv6Loopback(first.port()));
        SntpClient client(clock, 600);
        ClockCorrection correction(clock, client, first.port(),
                                   [](const std::function<void()>& set) {
                                       set();
                                       return true;
                                   });
        const ClockCorrection::Outcome outcome = correction.Correct(
            first.address(), 0, std::vector<TimeServer>(row.others.begin(), row.others.end()));
        EXPECT_EQ(row.failure, outcome.failure.kind) << row.name;
        EXPECT_EQ(row.unconfirmed, outcome.unconfirmed) << row.name;
        EXPECT_EQ(row.asked, outcome.secondOpinionsAsked) << row.name;
        EXPECT_EQ(row.failure == FailureKind::kNone ? 1u : 0u, clock.sets().size()) << row.name;
        if (row.failure == FailureKind::kDisagreement) {
            EXPECT_EQ("::1", outcome.failure.otherServer) << row.name;
            EXPECT_EQ("::1", outcome.failure.otherAddress) << row.name;
            EXPECT_EQ(120u, outcome.failure.secondsApart) << row.name;
        }
    }
}

// A secure server is asked only after its key exchange, once per correction while its cookies
// last; an NTSN kiss that names the request gets one new exchange; a failed exchange asks
// nothing and sets nothing.
TEST(ClockCorrectionTest, AsksASecureServerAfterItsKeyExchange) {
    using V = RequestSeal::Verdict;
    struct Row {
        const char* name;
        FaultConfig server;
        int cookies;
        V verdict;
        FailureKind exchangeFailure;
        bool nts;
        FailureKind failure;
        std::size_t exchanges;
        int requests;
    };
    constexpr FailureKind kNone = FailureKind::kNone;
    constexpr V kAuthentic = V::kAuthenticated;
    const Row rows[] = {
        {"secure", {}, 8, kAuthentic, kNone, true, kNone, 1, 1},
        {"plain", {}, 8, kAuthentic, kNone, false, kNone, 0, 1},
        {"untrusted",
         {},
         8,
         kAuthentic,
         FailureKind::kNtsCertificateUntrusted,
         true,
         FailureKind::kNtsCertificateUntrusted,
         1,
         0},
        {"two hours off, eight cookies",
         {.clockOffsetSeconds = 7200},
         8,
         kAuthentic,
         kNone,
         true,
         kNone,
         1,
         2},
        {"two hours off, one cookie",
         {.clockOffsetSeconds = 7200},
         1,
         kAuthentic,
         kNone,
         true,
         kNone,
         2,
         2},
        {"new keys asked",
         {.fault = Fault::kKissOfDeath, .kissCode = "NTSN"},
         8,
         V::kNotAuthenticated,
         kNone,
         true,
         FailureKind::kKissOfDeath,
         2,
         2},
    };
    for (const Row& row : rows) {
        FakeClock clock;
        clock.Freeze();
        FaultConfig config = row.server;
        config.clock = &clock;
        FaultSntpServer server(config);
        FakeKeyExchanger::Config keys;
        keys.ntpHost = server.address();
        keys.ntpPort = server.port();
        keys.cookies = row.cookies;
        keys.verdict = row.verdict;
        keys.failure = FailureOf(row.exchangeFailure);
        FakeKeyExchanger exchanger(keys);
        SntpClient client(clock, 600);
        ClockCorrection correction(
            clock, client, server.port(),
            [](const std::function<void()>& set) {
                set();
                return true;
            },
            &exchanger);
        const ClockCorrection::Outcome outcome =
            correction.Correct(TimeServer(row.nts ? "nts.test" : server.address(), row.nts), 0);
        EXPECT_EQ(row.failure, outcome.failure.kind) << row.name;
        EXPECT_EQ(row.nts && outcome.ok(), outcome.secure) << row.name;
        EXPECT_EQ(row.exchanges, correction.keyExchanges()) << row.name;
        EXPECT_EQ(row.requests, server.requests()) << row.name;
        EXPECT_EQ(outcome.ok(), !clock.sets().empty()) << row.name;
    }
}

// A clock years off sees every certificate outside its dates. The time is then taken only when
// it lies within the dates of the server's certificates and a second server agrees, however
// small the step.
TEST(ClockCorrectionTest, AClockFarOffTakesTimeOnlyWithinTheCertificatesDatesAndAgreed) {
    constexpr double kYears = 3 * 365 * 86400.0;
    struct Row {
        const char* name;
        double serverAhead;
        double datesAround;  // the dates span this far from the PC's clock, -10 to +20 days
        std::optional<double> secondAhead;
        FailureKind failure;
    };
    const Row rows[] = {
        {"within its dates, agreed", kYears, kYears, kYears, FailureKind::kNone},
        {"outside its dates", kYears, 0, kYears, FailureKind::kNtsCertificateExpired},
        {"within, no second server", kYears, kYears, std::nullopt,
         FailureKind::kNtsCertificateExpired},
        {"within, a small step, no second server", 30, 0, std::nullopt,
         FailureKind::kNtsCertificateExpired},
        {"within, the second disagrees", kYears, kYears, 0.0, FailureKind::kDisagreement},
    };
    for (const Row& row : rows) {
        FakeClock clock;
        clock.Freeze();
        FaultSntpServer first({.clockOffsetSeconds = row.serverAhead, .clock = &clock});
        std::optional<FaultSntpServer> second;
        if (row.secondAhead) {
            second.emplace(FaultConfig{.clockOffsetSeconds = *row.secondAhead, .clock = &clock},
                           net::Endpoint::Ipv6Loopback(first.port()));
        }
        const DateTime now = *DateTime::FromSystemTime(clock.UtcTime());
        CertificateDates dates;
        now.AddSeconds(row.datesAround - 10 * 86400.0).ToSystemTime(&dates.notBefore);
        now.AddSeconds(row.datesAround + 20 * 86400.0).ToSystemTime(&dates.notAfter);
        FakeKeyExchanger::Config keys;
        keys.ntpHost = first.address();
        keys.ntpPort = first.port();
        keys.datesUnproven = dates;
        FakeKeyExchanger exchanger(keys);
        SntpClient client(clock, 600);
        ClockCorrection correction(
            clock, client, first.port(),
            [](const std::function<void()>& set) {
                set();
                return true;
            },
            &exchanger);
        const ClockCorrection::Outcome outcome =
            correction.Correct(TimeServer("nts.test", true), 0, {TimeServer("::1")});
        EXPECT_EQ(row.failure, outcome.failure.kind) << row.name << ": " << outcome.failure.account;
        EXPECT_EQ(outcome.ok(), outcome.datesCheckedByServerTime) << row.name;
        EXPECT_EQ(outcome.ok(), !clock.sets().empty()) << row.name;
    }
}

}  // namespace
