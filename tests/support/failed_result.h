// A failed run's result as the tests word it: server "Example" (ntp.example.org,
// 192.0.2.1), a 20 s time-out, and what each kind of failure carries besides.
#pragma once

#include <cstdint>
#include <string>

#include "sync/run_result.h"

RunResult Failed(RunFailure failure, std::string detail = {}, std::uint32_t code = 0);
