#include "sync/server_search.h"

#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <set>

#include "app/presentation.h"
#include "tests/support/run_harness.h"

namespace {

using Row = std::pair<const char*, std::optional<double>>;  // no delay: the test failed

ServerCatalogue Titles(const std::vector<Row>& rows) {
    ServerCatalogue catalogue;
    for (const auto& [title, delay] : rows) {
        catalogue.Add(ServerEntry(title, "h", 1));
    }
    return catalogue;
}

std::vector<RunResult> Results(const std::vector<Row>& rows) {
    std::vector<RunResult> results;
    for (const auto& [title, delay] : rows) {
        RunResult result;
        result.failure = FailureOf(delay ? FailureKind::kNone : FailureKind::kNoAnswer);
        result.delay = delay.value_or(0.0);
        results.push_back(result);
    }
    return results;
}

TEST(ServerSearchTest, ChoosesAsASearchInListOrderWouldAndReportsIt) {
    struct Case {
        std::vector<Row> rows;
        int best;
        std::string report;  // what the dialog then says
    };
    const std::vector<Case> cases = {
        {{{"A", 0.05}, {"B", 0.04}, {"C", 0.09}, {"D", 0.04}},
         1,
         "Tested success: 4, faild: 0, the best delay: 0.040 for B"},
        {{{"T", 0.123}, {"U", 0.2}, {"V", std::nullopt}, {"W", 0.3}},
         0,
         "Tested success: 3, faild: 1, the best delay: 0.123 for T"},
        {{{"A", std::nullopt}, {"B", std::nullopt}}, 0, "Error. Check Internet Connection."},
        {{{"A", 0.1}, {"B", -0.01}},
         1,
         "Tested success: 2, faild: 0, the best delay: -0.010 for B"},
        // A success is one whatever its delay; a failure never wins.
        {{{"A", std::nullopt}, {"B", 0.0}, {"C", 0.2}},
         1,
         "Tested success: 2, faild: 1, the best delay: 0.000 for B"},
    };
    for (const Case& c : cases) {
        const SearchOutcome outcome = ChooseBest(Results(c.rows));
        EXPECT_EQ(c.best, outcome.bestIndex) << c.report;
        EXPECT_EQ(c.report, presentation::SearchReport(outcome, Titles(c.rows)));
    }
}

TEST(ServerSearchTest, WebPrefixesAreRemovedWhereverTheyStand) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://ntp.example", "ntp.example"},
        {"http:\\\\ntp.example", "ntp.example"},
        {"HTTP://ntp.example", "HTTP://ntp.example"},
        {"http://ntp.example/", "ntp.example/"},
        {" ntp.example:123 http://", " ntp.example:123 "},
        {"hthttp://tp://x", "http://x"},
    };
    for (const auto& [typed, address] : cases) {
        EXPECT_EQ(address, NormaliseUrl(typed)) << typed;
    }
}

TEST(ServerSearchTest, AddTakesOnlyAHostNameOrAnAddress) {
    struct Case {
        const char* typed;
        const char* address;
        bool refused;
    };
    for (const Case& c :
         {Case{"  http://ntp.example \t", "ntp.example", false}, Case{"http://  ", "", true},
          Case{"", "", true}, Case{"192.0.2.7", "192.0.2.7", false},
          Case{"[2001:db8::1]", "[2001:db8::1]", false}, Case{"2001:db8::1", "2001:db8::1", false},
          Case{"ntp.example/path", "ntp.example/path", true},
          Case{"ntp example", "ntp example", true}, Case{"[]", "[]", true}}) {
        const std::string address = TypedServerAddress(c.typed);
        EXPECT_EQ(c.address, address) << c.typed;
        EXPECT_EQ(c.refused, !presentation::ServerAddressRefusal(address).empty()) << c.typed;
    }
}

TEST(ServerSearchTest, TestsEveryServerAtOnceAndReportsEachByItsIndex) {
    for (const bool silent : {true, false}) {
        RunHarness h;
        h.clock.Advance(600.0);  // a correction would set the clock
        h.ServerDoes(silent ? FaultConfig{.fault = Fault::kSilent} : FaultConfig{});
        constexpr int kServers = 5;
        std::mutex mutex;
        std::set<int> reported;
        int requestsAtFirstResult = -1;
        {
            ServerTests tests(h.tester);
            tests.Start(std::vector<TimeServer>(kServers, TimeServer(h.server.address())),
                        [&](int index, const RunResult& result) {
                            std::lock_guard<std::mutex> lock(mutex);
                            if (requestsAtFirstResult < 0) {
                                requestsAtFirstResult = h.server.requests();
                            }
                            EXPECT_EQ(silent, !result.ok()) << index;
                            EXPECT_EQ(!silent, result.answered) << index;
                            reported.insert(index);
                        });
        }  // waits for every test
        EXPECT_EQ((std::set<int>{0, 1, 2, 3, 4}), reported);
        if (silent) {
            // Nobody answered, yet every request had gone out before the first time-out.
            EXPECT_EQ(kServers, requestsAtFirstResult);
        }
        EXPECT_TRUE(h.boxes.boxes().empty());
        EXPECT_TRUE(h.clock.sets().empty());
    }
}

}  // namespace
