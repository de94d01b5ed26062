// The tray icon's tip: the last result, when the schedule runs next, and the warning that
// another time program sets the clock too.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "config/date_time.h"
#include "base/system_time.h"
#include "sync/run_result.h"

struct TrayTipState {
    std::string name;                 // "Tickwell"
    std::optional<RunResult> last;    // this copy's last run
    SYSTEMTIME syncDate{};            // of the last success, local; year 0 for none
    SYSTEMTIME now{};                 // local
    std::optional<DateTime> nextRun;  // local; empty for a manual schedule
    bool otherTimeProgram = false;
};

// The shell's tip holds 128 characters with the terminating zero.
inline constexpr std::size_t kMaxTrayTipLength = 127;

// "Tickwell - synchronized today 09:14, offset +0.012 s\nNext run: tomorrow 00:00"
std::string TrayTipText(const TrayTipState& state);
