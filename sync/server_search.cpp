#include "sync/server_search.h"

#include <system_error>

namespace {

// Beyond any delay a server can measure.
constexpr double kNoBestYet = 1000000.0;

// No thread to test the address on: a failed test.
RunResult Untested(const std::string& address) {
    RunResult result;
    result.failure = FailureOf(FailureKind::kSocketError);
    result.failure.account = "no thread for the test";
    result.host = address;
    return result;
}

}  // namespace

namespace {

std::string RemoveAll(std::string text, const std::string& part) {
    std::string kept;
    std::size_t from = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, from)) {
        kept.append(text, from, at - from);
        from = at + part.size();
    }
    kept.append(text, from, std::string::npos);
    return kept;
}

}  // namespace

std::string NormaliseUrl(const std::string& typed) {
    return RemoveAll(RemoveAll(typed, "http://"), "http:\\\\");
}

std::string TypedServerAddress(const std::string& typed) {
    const std::string address = NormaliseUrl(typed);
    constexpr const char* kBlanks = " \t";
    const std::size_t first = address.find_first_not_of(kBlanks);
    if (first == std::string::npos) {
        return {};
    }
    return address.substr(first, address.find_last_not_of(kBlanks) - first + 1);
}

SearchOutcome ChooseBest(const std::vector<RunResult>& results) {
    SearchOutcome outcome;
    double best = kNoBestYet;
    for (int i = 0; i < static_cast<int>(results.size()); ++i) {
        if (!results[i].ok()) {
            continue;
        }
        const double delay = results[i].delay;
        ++outcome.successes;
        if (delay < best) {
            best = delay;
            outcome.bestIndex = i;
            outcome.bestDelay = delay;
        }
    }
    return outcome;
}

ServerTests::~ServerTests() {
    Join();
}

void ServerTests::Join() {
    if (launcher_.joinable()) {
        launcher_.join();
    }
}

void ServerTests::Start(const std::vector<TimeServer>& addresses, OnResult onResult) {
    Join();  // the last tests have all reported; their threads end at once
    const auto launch = [this, addresses, onResult] {
        std::vector<std::thread> tests;
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            const int index = static_cast<int>(i);
            try {
                tests.emplace_back([this, index, server = addresses[i], onResult] {
                    onResult(index, tester_.Test(server));
                });
            } catch (const std::system_error&) {
                onResult(index, Untested(addresses[i].host));
            }
        }
        for (std::thread& test : tests) {
            test.join();
        }
    };
    try {
        launcher_ = std::thread(launch);
    } catch (const std::system_error&) {
        launch();  // no thread to spare: start them from here
    }
}
