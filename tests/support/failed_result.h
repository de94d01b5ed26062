// A failed run's result as the tests word it: server "Example" (ntp.example.org, 192.0.2.1),
// and the detail each kind of failure carries: a 20 s time-out, the kiss code RATE, Windows'
// error 1314, "Second" (192.0.2.2) 10800 s apart, pipe error 0, process 77 ...
#pragma once

#include <string>

#include "sync/run_result.h"

RunResult Failed(FailureKind kind);
// The same failure, met by the Tickwell Clock service for the run.
RunResult FailedInService(FailureKind kind);
// The failure with another kiss code.
RunResult Kissed(const std::string& code, bool inService = false);
