#include "app/program_events.h"

#include <utility>

#include "app/balloon_rules.h"
#include "app/presentation.h"
#include "config/last_success.h"

namespace {

// The marks of the daily events in the profile: "n<name>Day" and "s<name>".
constexpr const char* kClockSetMark = "ClockSet";
constexpr const char* kPolicyAppliedMark = "PolicyApplied";
constexpr const char* kPolicyIgnoredMark = "PolicyIgnored";

// A refusal that the next run will not mend is the refused step, whoever refused it.
ProgramEventId RunEventOf(const RunResult& result) {
    if (result.ok()) {
        return ProgramEventId::kClockSet;
    }
    if (result.failure.kind == FailureKind::kDisagreement) {
        return ProgramEventId::kServersDisagree;
    }
    return LastingCauseOf(result) ? ProgramEventId::kStepRefused : ProgramEventId::kRunFailed;
}

}  // namespace

EventLevel LevelOf(ProgramEventId id) {
    switch (id) {
        case ProgramEventId::kClockSet:
        case ProgramEventId::kPolicyApplied:
            return EventLevel::kInformation;
        case ProgramEventId::kStepRefused:
        case ProgramEventId::kAllServersRefused:
            return EventLevel::kError;
        case ProgramEventId::kRunFailed:
        case ProgramEventId::kServersDisagree:
        case ProgramEventId::kOverdue:
        case ProgramEventId::kOtherTimeProgram:
        case ProgramEventId::kPolicyValueIgnored:
            break;
    }
    return EventLevel::kWarning;
}

ProgramEvents::ProgramEvents(EventLog& log, ProfileStore& marks, Clock& clock,
                             std::function<TimePoint()> steadyNow)
    : log_(log), marks_(marks), clock_(clock), steadyNow_(std::move(steadyNow)) {}

void ProgramEvents::RunEnded(const RunResult& result, RunKind kind) {
    const ProgramEventId id = RunEventOf(result);
    const std::lock_guard<std::mutex> lock(mutex_);
    if (result.ok()) {
        repeats_.Succeeded();
        if (DailyDue(kClockSetMark, "")) {
            Write(id, presentation::ClockSetInserts(result, kind));
        }
        return;
    }
    // The user's own runs are few, and the user waits for their answer.
    if (IsAutomatic(kind) && !repeats_.Due(static_cast<std::uint32_t>(id), steadyNow_())) {
        return;
    }
    Write(id, id == ProgramEventId::kServersDisagree
                  ? presentation::DisagreementInserts(result, kind)
                  : presentation::RunFailureInserts(result, kind));
}

void ProgramEvents::StatusSeen(const StatusView& status) {
    const Conditions now{status.allServersRefused,
                         IsOverdue(status.lastSuccess, status.now, status.maxDays),
                         status.otherTimeProgram};
    const std::lock_guard<std::mutex> lock(mutex_);
    const Conditions begun = onsets_.Begun(now);
    if (begun.allServersRefused) {
        Write(ProgramEventId::kAllServersRefused, {});
    }
    if (begun.overdue) {
        Write(ProgramEventId::kOverdue, presentation::OverdueInserts(status));
    }
    if (begun.otherTimeProgram) {
        Write(ProgramEventId::kOtherTimeProgram, presentation::OtherTimeProgramInserts());
    }
}

void ProgramEvents::PolicyApplied(const std::vector<AppliedPolicyValue>& values) {
    const std::string list = presentation::AppliedPolicyList(values);
    const std::lock_guard<std::mutex> lock(mutex_);
    // No policy is remembered too, so that one that comes back is told again.
    if (DailyDue(kPolicyAppliedMark, list) && !values.empty()) {
        Write(ProgramEventId::kPolicyApplied, {list});
    }
}

void ProgramEvents::PolicyValuesIgnored(const std::vector<IgnoredPolicyValue>& values) {
    std::vector<std::vector<std::string>> events;
    std::string said;
    for (const IgnoredPolicyValue& value : values) {
        events.push_back(presentation::IgnoredPolicyInserts(value));
        for (const std::string& insert : events.back()) {
            said += insert + "\n";
        }
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!DailyDue(kPolicyIgnoredMark, said)) {
        return;
    }
    for (std::vector<std::string>& inserts : events) {
        Write(ProgramEventId::kPolicyValueIgnored, std::move(inserts));
    }
}

void ProgramEvents::Write(ProgramEventId id, std::vector<std::string> inserts) {
    log_.Write({LevelOf(id), static_cast<std::uint32_t>(id), std::move(inserts)});
}

bool ProgramEvents::DailyDue(const char* name, const std::string& said) {
    const std::string dayName = std::string("n") + name + "Day";
    const std::string saidName = std::string("s") + name;
    const DailyMark last{marks_.GetInt(kMarksSection, dayName, 0),
                         marks_.GetString(kMarksSection, saidName, "")};
    const DailyMark now{DayNumber(clock_.LocalTime()), said};
    if (!DailyEventDue(last, now)) {
        return false;
    }
    marks_.PutInt(kMarksSection, dayName, now.day);
    if (now.said != last.said) {
        marks_.PutString(kMarksSection, saidName, now.said);
    }
    return true;
}
