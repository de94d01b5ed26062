// One query of a server for the configuration dialogs, as a run would ask it, with the clock
// left alone. Tests are no scheduled run: their effects always apply. Safe to use from
// several threads at once.
#pragma once

#include <string>

#include "sync/run_result.h"
#include "sync/sync_run.h"

class ServerTester {
  public:
    explicit ServerTester(RunContext& context) : context_(context) {}

    // A network that does not start is reported as a run reports it.
    RunResult Test(const std::string& host);

  private:
    RunContext& context_;
};
