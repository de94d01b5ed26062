// Who started a run: the user, the schedule, or the schedule because the machine woke up; and
// how the history file spells it, which stays as it has always been stored.
#pragma once

#include <optional>
#include <string>

enum class RunKind { kManual, kScheduled, kAfterResume };

// Runs the schedule starts keep the rules of automatic requests.
inline bool IsAutomatic(RunKind kind) {
    return kind != RunKind::kManual;
}

// A history line that no run of ours wrote: another program set the clock.
inline constexpr const char* kClockSetElsewhereKind = "clock set elsewhere";

// "manual", "scheduled", "after resume", each followed by " through the clock service" when
// the service set the clock.
std::string StoredRunKind(RunKind kind, bool throughService);

// A history line's kind as stored: the run's kind, or none for a note of a clock set
// elsewhere; empty for a spelling no run of ours stores.
struct StoredKind {
    std::optional<RunKind> run;
    bool throughService = false;
};
std::optional<StoredKind> ReadStoredKind(const std::string& stored);
