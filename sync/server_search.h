// Testing servers of the catalogue for the configuration dialogs: every test runs on a
// thread of its own, all at once, so that a search over many dead servers takes about one
// time-out; and the search's choice, which is that of a search that asked one server after
// another in list order.
#pragma once

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "config/server_catalogue.h"
#include "sync/run_result.h"
#include "sync/server_tester.h"

// An address as typed, without the web prefixes "http://" and "http:" with two backslashes
// wherever they stand (case-sensitive, one pass left to right); nothing else is trimmed.
std::string NormaliseUrl(const std::string& typed);
// What "Add" takes from the typed address: normalised, without surrounding blanks.
std::string TypedServerAddress(const std::string& typed);

struct SearchOutcome {
    int bestIndex = 0;  // 0 when no server answered
    double bestDelay = 0.0;
    int successes = 0;
};
// Of the tests' results, one per entry in list order, the successful one with the smallest
// delay: among equal ones the first.
SearchOutcome ChooseBest(const std::vector<RunResult>& results);

// Server tests off the calling thread: even starting their threads is left to another
// thread, so the caller (a dialog) goes on at once. Each result goes to onResult, on the
// test's own thread, with the index of its address.
class ServerTests {
  public:
    using OnResult = std::function<void(int index, const RunResult& result)>;

    explicit ServerTests(ServerTester& tester) : tester_(tester) {}
    // Waits for the tests still running: each ends within the query's time-out.
    ~ServerTests();
    ServerTests(const ServerTests&) = delete;
    ServerTests& operator=(const ServerTests&) = delete;

    // Tests every server at once; server i reports as index i.
    void Start(const std::vector<TimeServer>& servers, OnResult onResult);

  private:
    void Join();

    ServerTester& tester_;
    std::thread launcher_;  // starts one thread per address and waits for them
};
