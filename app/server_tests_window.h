// Server tests whose results come back to a dialog through its own thread: each test runs
// on a thread of its own and posts its result to the window, where Take reads it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "sync/server_search.h"

class ServerTestsWindow {
  public:
    static constexpr UINT kResultMessage = WM_APP + 1;

    struct Result {
        int index;
        double delay;  // 0.0 for failure
    };

    explicit ServerTestsWindow(RunContext& context) : tests_(context) {}

    // Tests the addresses; address i comes back as index i.
    void Start(HWND window, const std::vector<std::string>& addresses);
    // Reads a kResultMessage; outstanding() then counts the results still to come.
    Result Take(WPARAM wParam, LPARAM lParam);
    int outstanding() const { return outstanding_; }

  private:
    ServerTests tests_;
    int outstanding_ = 0;
};
