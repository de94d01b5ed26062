#include "app/program_run_reporter.h"

#include "app/presentation.h"

void ProgramRunReporter::ShowBox(const RunEvent& event, BoxGuard& guard) {
    const presentation::Box box = presentation::BoxOf(event);
    if (!box.text.empty()) {
        boxes_.Show(box.text, box.caption, box.icon, guard);
    }
}

std::string ProgramRunReporter::StatusLine(const RunEvent& event) const {
    return presentation::StatusLine(event, months_);
}

std::string ProgramRunReporter::HistoryReason(const RunResult& result) const {
    return presentation::HistoryReason(result);
}

std::string ProgramRunReporter::ClockChangeNote(bool repeated) const {
    return presentation::ClockChangeNote(repeated);
}

void ProgramRunReporter::RunEnded(const RunResult& result, RunKind kind) {
    events_.RunEnded(result, kind);
}
