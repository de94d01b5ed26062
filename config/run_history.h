// The history of synchronisation runs: one CSV line per run (and per clock change made by
// another program), appended by every copy of the program to one file, of which the last
// kMaxRuns lines are kept.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/history_file.h"

struct HistoryEntry {
    std::string time;  // ISO 8601, UTC: "2026-12-09T09:14:03Z"
    std::string kind;  // "manual", "scheduled", "after resume", "clock set elsewhere"
    std::string server;
    std::string host;
    std::string address;
    std::string result;  // kSuccess, kFailure or kNote
    std::string offset;  // seconds, "+0.012345"; empty when not measured
    std::string delay;
    std::string stratum;
    std::string step;  // how far the run moved the clock; empty when it did not
    std::string reason;
    std::string secure;  // kSecure when the time was authenticated; empty otherwise

    static constexpr const char* kSecure = "nts";
    static constexpr const char* kSuccess = "success";
    static constexpr const char* kFailure = "failure";
    static constexpr const char* kNote = "note";

    bool operator==(const HistoryEntry&) const = default;
};

class RunHistory {
  public:
    static constexpr std::size_t kMaxRuns = 1000;
    static constexpr const char* kHeader =
        "time,kind,server,host,address,result,offset,delay,stratum,step,reason,secure";

    explicit RunHistory(HistoryFile& file) : file_(file) {}

    // False when the file could not be written; the caller goes on without it.
    bool Append(const HistoryEntry& entry);
    // Newest first.
    std::vector<HistoryEntry> Entries();

  private:
    HistoryFile& file_;
};

// The file's text from its entries, oldest first, and back; a line that is not an entry
// (the header, a damaged one) is skipped.
std::string HistoryText(const std::vector<HistoryEntry>& oldestFirst);
std::vector<HistoryEntry> ParseHistory(const std::string& text);
// "+0.012345": six decimals, a point whatever the locale.
std::string SecondsText(double seconds, bool withSign);
