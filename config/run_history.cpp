#include "config/run_history.h"

#include <string_view>

#include "base/decimal_text.h"

namespace {

// The lines of a history written before secure time have no last field.
constexpr std::size_t kOlderFields = 11;
constexpr std::size_t kFields = 12;

std::string Quoted(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        return field;
    }
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    return quoted + '"';
}

// A spreadsheet that opens the file runs a cell that starts with one of these as a formula,
// so a text field that does gets an apostrophe before it, which the spreadsheet shows as text.
// A field that starts with an apostrophe followed by what would be guarded is guarded too,
// so that reading takes off exactly what writing put on.
bool NeedsGuard(std::string_view field) {
    if (field.empty()) {
        return false;
    }
    if (field.front() == '\'') {
        return NeedsGuard(field.substr(1));
    }
    return std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos;
}

std::string Guarded(const std::string& text) {
    return NeedsGuard(text) ? "'" + text : text;
}

std::string Unguarded(std::string field) {
    if (!field.empty() && field.front() == '\'' && NeedsGuard(std::string_view(field).substr(1))) {
        field.erase(0, 1);
    }
    return field;
}

// The numbers keep their sign; only the texts are guarded.
std::vector<std::string> Fields(const HistoryEntry& e) {
    return {e.time,
            Guarded(e.kind),
            Guarded(e.server),
            Guarded(e.host),
            Guarded(e.address),
            e.result,
            e.offset,
            e.delay,
            e.stratum,
            e.step,
            Guarded(e.reason),
            e.secure};
}

// Records of fields; a quoted field may hold commas, quotes and line breaks.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false;
    bool any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
            continue;
        }
        if (c == '"') {
            quoted = true;
            any = true;
        } else if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
        } else if (c == '\n') {
            record.push_back(std::move(field));
            field.clear();
            records.push_back(std::move(record));
            record.clear();
            any = false;
        } else if (c != '\r') {
            field += c;
            any = true;
        }
    }
    if (any || !record.empty() || !field.empty()) {
        record.push_back(std::move(field));
        records.push_back(std::move(record));
    }
    return records;
}

}  // namespace

std::string SecondsText(double seconds, bool withSign) {
    return DecimalText(seconds, 6, withSign);
}

std::string HistoryText(const std::vector<HistoryEntry>& oldestFirst) {
    std::string text = std::string(RunHistory::kHeader) + "\r\n";
    for (const HistoryEntry& entry : oldestFirst) {
        const std::vector<std::string> fields = Fields(entry);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            text += (i == 0 ? "" : ",") + Quoted(fields[i]);
        }
        text += "\r\n";
    }
    return text;
}

std::vector<HistoryEntry> ParseHistory(const std::string& text) {
    std::vector<HistoryEntry> entries;
    for (std::vector<std::string>& f : ParseCsv(text)) {
        if ((f.size() != kFields && f.size() != kOlderFields) || f[0] == "time") {
            continue;
        }
        f.resize(kFields);
        entries.push_back({f[0], Unguarded(f[1]), Unguarded(f[2]), Unguarded(f[3]), Unguarded(f[4]),
                           f[5], f[6], f[7], f[8], f[9], Unguarded(f[10]), f[11]});
    }
    return entries;
}

bool RunHistory::Append(const HistoryEntry& entry) {
    return file_.Rewrite([&entry](const std::string& old) {
        std::vector<HistoryEntry> entries = ParseHistory(old);
        entries.push_back(entry);
        if (entries.size() > kMaxRuns) {
            entries.erase(entries.begin(),
                          entries.begin() + static_cast<std::ptrdiff_t>(entries.size() - kMaxRuns));
        }
        return HistoryText(entries);
    });
}

std::vector<HistoryEntry> RunHistory::Entries() {
    std::vector<HistoryEntry> entries = ParseHistory(file_.Read());
    return {entries.rbegin(), entries.rend()};
}
