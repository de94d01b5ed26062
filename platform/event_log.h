// The Windows event log's Application log as a program reports to it: an event is its
// level, its id in the reporting program's message table, and the inserts that table's text
// takes, in order. The administrator's viewer words the event from the table; the program
// fills only the inserts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class EventLevel { kInformation, kWarning, kError };

struct LoggedEvent {
    EventLevel level = EventLevel::kInformation;
    std::uint32_t id = 0;
    std::vector<std::string> inserts;  // UTF-8

    bool operator==(const LoggedEvent&) const = default;
};

class EventLog {
  public:
    virtual ~EventLog() = default;
    // Never fails the caller: an event the log cannot take is dropped.
    virtual void Write(const LoggedEvent& event) = 0;
};
