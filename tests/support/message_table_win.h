// A built program's message table as the event viewer reads it: the ids it holds, how many
// inserts each text takes, and an event's text with its inserts.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/event_log.h"

class MessageTable {
  public:
    // The program, loaded as data; an empty table when it cannot be loaded.
    explicit MessageTable(std::string program);
    ~MessageTable();
    MessageTable(const MessageTable&) = delete;
    MessageTable& operator=(const MessageTable&) = delete;

    explicit operator bool() const { return module_ != nullptr; }
    std::vector<std::uint32_t> Ids() const;
    // The highest insert (%1, %2 ...) the id's text takes; none when the table lacks the id.
    std::optional<int> InsertsTaken(std::uint32_t id) const;
    // The event's text as FormatMessage words it from the table, inserts filled in; none when
    // the table lacks the id or the event has fewer inserts than its text takes.
    std::optional<std::string> Text(const LoggedEvent& event) const;

  private:
    HMODULE module_ = nullptr;
};
