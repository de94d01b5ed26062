// The event log of Windows under one source. Reporting never stops the program: without the
// source's registration Windows still takes the events (the viewer then cannot word them),
// and a log that cannot be opened is skipped. Each event names the user whose process
// reported it.
#pragma once

#include <windows.h>

#include <vector>

#include "base/unique_handle_win.h"
#include "platform/event_log.h"

class WindowsEventLog : public EventLog {
  public:
    explicit WindowsEventLog(const wchar_t* source);

    void Write(const LoggedEvent& event) override;

  private:
    UniqueEventSource source_;
    std::vector<BYTE> user_;  // the process's user's SID; empty when unknown
};
