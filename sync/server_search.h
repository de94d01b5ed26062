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
#include "sync/sync_run.h"

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
// The entry with the smallest measured delay: among equal ones the first in list order;
// entries without a delay (0.0) never win.
SearchOutcome ChooseBest(const ServerCatalogue& measured);

// Server tests off the calling thread: even starting their threads is left to another
// thread, so the caller (a dialog) goes on at once. Each result goes to onResult, on the
// test's own thread, as (index, delay in seconds, 0.0 for failure).
class ServerTests {
  public:
    using OnResult = std::function<void(int index, double delay)>;

    explicit ServerTests(RunContext& context) : context_(context) {}
    // Waits for the tests still running: each ends within the query's time-out.
    ~ServerTests();
    ServerTests(const ServerTests&) = delete;
    ServerTests& operator=(const ServerTests&) = delete;

    // Tests every address at once; address i reports as index i.
    void Start(const std::vector<std::string>& addresses, OnResult onResult);

  private:
    void Join();

    RunContext& context_;
    std::thread launcher_;  // starts one thread per address and waits for them
};
