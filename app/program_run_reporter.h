// The program's way of telling the user what a run did: message boxes worded by the
// presentation module, and the status lines and history reasons worded the same way; and the
// administrator, through the event log, how each run ended.
#pragma once

#include <utility>

#include "app/program_events.h"
#include "platform/message_boxes.h"
#include "platform/month_names.h"
#include "sync/run_reporter.h"

class ProgramRunReporter : public RunReporter {
  public:
    ProgramRunReporter(MessageBoxes& boxes, MonthNames months, ProgramEvents& events)
        : boxes_(boxes), months_(std::move(months)), events_(events) {}

    void ShowBox(const RunEvent& event, BoxGuard& guard) override;
    std::string StatusLine(const RunEvent& event) const override;
    std::string HistoryReason(const RunResult& result) const override;
    std::string ClockChangeNote(bool repeated) const override;
    void RunEnded(const RunResult& result, RunKind kind) override;

  private:
    MessageBoxes& boxes_;
    const MonthNames months_;
    ProgramEvents& events_;
};
