// One query of a server for the configuration dialogs, as a run would ask it, with the clock
// left alone. A test is no run: it changes neither the record nor the schedule, and needs
// only the clock, the network and, for a network that does not start, the reporter's box.
// Safe to use from several threads at once.
#pragma once

#include <string>

#include "sync/run_reporter.h"
#include "sync/run_result.h"
#include "sync/server_query.h"

class ServerTester {
  public:
    ServerTester(ServerAccess access, RunReporter& reporter)
        : access_(access), reporter_(reporter) {}

    // A server marked nts is asked by a key exchange and the sealed query, as a run asks it.
    RunResult Test(const TimeServer& server);

  private:
    ServerAccess access_;
    RunReporter& reporter_;
};
