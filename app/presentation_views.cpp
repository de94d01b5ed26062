// The wording of the windows: the main window's fields, the warnings, the dialogs' reports,
// the tray tip and the History window.
#include <cstdio>

#include "app/presentation.h"
#include "base/decimal_text.h"
#include "platform/clock_service_protocol.h"
#include "sync/run_kind.h"

namespace presentation {

const char* RunKindWords(RunKind kind) {
    switch (kind) {
        case RunKind::kManual:
            return "manual";
        case RunKind::kScheduled:
            return "scheduled";
        case RunKind::kAfterResume:
            return "after resume";
    }
    return "";
}

namespace {

constexpr const char* kOtherTimeProgram = "Another time program is also setting the clock.";
constexpr const char* kClockSetElsewhere = "Another program set the clock.";

std::string ClockText(const SYSTEMTIME& t) {
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d   %03dms", t.wHour, t.wMinute, t.wSecond,
                  t.wMilliseconds);
    return text;
}

std::string DayAndTime(const SYSTEMTIME& when, const SYSTEMTIME& now) {
    char text[64];
    const std::optional<DateTime> today = DateTime::FromSystemTime(now);
    SYSTEMTIME tomorrow{};
    const bool isTomorrow = today &&
                            today->AddSeconds(DateTime::kSecondsPerDay).ToSystemTime(&tomorrow) &&
                            SameDay(when, tomorrow);
    if (SameDay(when, now) || isTomorrow) {
        std::snprintf(text, sizeof text, "%s %02d:%02d", isTomorrow ? "tomorrow" : "today",
                      when.wHour, when.wMinute);
    } else {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", when.wYear, when.wMonth,
                      when.wDay, when.wHour, when.wMinute);
    }
    return text;
}

// The Kind column; a spelling that no run of ours stores (a later version's) shows as stored.
std::string KindCell(const std::string& stored) {
    const std::optional<StoredKind> kind = ReadStoredKind(stored);
    if (!kind) {
        return stored;
    }
    if (!kind->run) {
        return "clock set elsewhere";
    }
    const std::string words = RunKindWords(*kind->run);
    return kind->throughService ? words + " through the clock service" : words;
}

// "2026-12-09T09:14:03Z" as "2026-12-09 10:14:03" in local time.
std::string LocalTimeCell(const std::string& stored, const LocalTimeOfUtc& local) {
    SYSTEMTIME utc{};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char zone = 0;
    if (std::sscanf(stored.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &year, &month, &day, &hour,
                    &minute, &second, &zone) != 7 ||
        zone != 'Z') {
        return stored;
    }
    utc.wYear = static_cast<std::uint16_t>(year);
    utc.wMonth = static_cast<std::uint16_t>(month);
    utc.wDay = static_cast<std::uint16_t>(day);
    utc.wHour = static_cast<std::uint16_t>(hour);
    utc.wMinute = static_cast<std::uint16_t>(minute);
    utc.wSecond = static_cast<std::uint16_t>(second);
    if (!DateTime::FromSystemTime(utc)) {
        return stored;
    }
    const std::optional<SYSTEMTIME> shown = local(utc);
    if (!shown) {
        return stored;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", shown->wYear, shown->wMonth,
                  shown->wDay, shown->wHour, shown->wMinute, shown->wSecond);
    return text;
}

}  // namespace

std::string ChooserStatusText(const ServerEntry& entry) {
    const std::string origin = entry.userAdded == ServerEntry::kUserAdded    ? kUserAdded
                               : entry.userAdded == ServerEntry::kFromPolicy ? kFromPolicy
                                                                             : kBuiltIn;
    return entry.nts ? origin + ", " + kSecureCell : origin;
}

// Kept: three blanks between the seconds and the milliseconds.
std::string TimeBeforeText(const SyncRecord& record) {
    return ClockText(record.timeBefore);
}

std::string TimeAfterText(const SyncRecord& record) {
    return ClockText(record.timeAfter);
}

std::string SyncDateText(const SyncRecord& record, const MonthNames& months) {
    // A stored date that is no calendar date counts as nothing recorded, here as everywhere.
    if (record.syncDate.wYear == 0 || !DateTime::FromSystemTime(record.syncDate)) {
        return "00/00/0000";
    }
    return DateStamp(record.syncDate, months);
}

// Kept: "Null" when the store held no status line, and the initial line before anything is
// recorded.
std::string StatusText(const SyncRecord& record) {
    if (!record.connectStatus.empty()) {
        return record.connectStatus;
    }
    return record.missingStatus == SyncRecord::MissingStatus::kNotStored
               ? "Null"
               : "Initial. There was not synchronization yet.";
}

// Kept: the tab and the doubled carriage return the About box has always had.
std::string AboutText(const std::string& displayName, int major, int minor, int patch) {
    char version[32];
    std::snprintf(version, sizeof version, "%d.%02d.%02d", major, minor, patch);
    // \xAE is the registered sign in the program's code page, Windows-1252.
    return displayName + "\xAE\tVersion\t " + version +
           "\r\r\nCopyright (C) Quorvane. All rights reserved.";
}

// Kept: "More then", "for disable" and "ore exit" are what users have always read.
std::string OverdueWarningText(int maxDays) {
    return "Warning! More then " + std::to_string(maxDays) +
           " days past\nafter last successful synchronization.\nSynchronize PC Clock now,\nset "
           "max period to zero for disable this message\nore exit the program.";
}

std::string ClockChangeNote(bool repeated) {
    return repeated ? kOtherTimeProgram : kClockSetElsewhere;
}

std::string ServerAddressRefusal(const std::string& address) {
    if (address.empty()) {
        return "Please enter the address of the time server.";
    }
    const std::string error = HostError(address);
    if (!error.empty()) {
        return "\"" + address +
               "\" is no host name, IPv4 or IPv6 address of a time server: " + error + ".";
    }
    return {};
}

std::string NumberRefusalText(const NumberRefusal& refusal) {
    switch (refusal.kind) {
        case NumberRefusal::Kind::kNotAnInteger:
            return "Please enter an integer.";
        case NumberRefusal::Kind::kNotANumber:
            return "Please enter a number.";
        case NumberRefusal::Kind::kOutOfRange:
            return "Please enter an integer between " + std::to_string(refusal.min) + " and " +
                   std::to_string(refusal.max) + ".";
    }
    return {};
}

std::string PolicyTip(const std::string& policyName, bool mandatory) {
    if (mandatory) {
        return "Set by your organization (policy " + policyName + ").";
    }
    return "Recommended by your organization (policy " + policyName + "); you may change it.";
}

std::string DelayText(double delay) {
    if (delay == 0.0) {
        return "Null";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%5.3g", delay);
    return text;
}

// Kept: two blanks before "||".
std::string SearchProgressLine(const ServerEntry& entry) {
    return entry.title + "  || Delay: " + DelayText(entry.delay) + " sec.";
}

// Kept: "faild".
std::string SearchReport(const SearchOutcome& outcome, const ServerCatalogue& measured) {
    if (outcome.successes == 0) {
        return kTestFailed;
    }
    char text[128];
    std::snprintf(text, sizeof text, "Tested success: %d, faild: %d, the best delay: %5.3f for ",
                  outcome.successes, measured.Size() - outcome.successes, outcome.bestDelay);
    return text + measured.At(outcome.bestIndex).title;
}

std::string NetDelayReport(double delay) {
    char report[64];
    std::snprintf(report, sizeof report, "Net Delay: %5.3f", delay);
    return report;
}

const char* TrayStateWord(TrayState state) {
    switch (state) {
        case TrayState::kSynchronised:
            return "Synchronized";
        case TrayState::kRunning:
            return "Synchronizing";
        case TrayState::kFailing:
            return "Failing";
        case TrayState::kOverdue:
            return "Overdue";
    }
    return "";
}

std::string NextRunText(const std::optional<DateTime>& nextRun, const SYSTEMTIME& now) {
    if (!nextRun) {
        return {};
    }
    const std::optional<DateTime> current = DateTime::FromSystemTime(now);
    SYSTEMTIME next{};
    if (current && WholeSeconds(*nextRun - *current) <= 0) {
        return "Next run: now";
    }
    if (nextRun->ToSystemTime(&next)) {
        return "Next run: " + DayAndTime(next, now);
    }
    return {};
}

std::string TrayTipText(const TrayTipState& state) {
    const bool secure = state.state == TrayState::kSynchronised && state.last && state.last->ok() &&
                        state.last->secure;
    std::string tip = std::string(TrayStateWord(state.state)) + (secure ? ", secure" : "") + ": " +
                      state.name + " - ";
    if (state.last && !state.last->ok()) {
        tip += "last attempt failed: " + FailureSummary(*state.last);
    } else if (state.syncDate.wYear != 0) {
        tip += "synchronized " + DayAndTime(state.syncDate, state.now);
        if (state.last) {
            tip += ", offset " + DecimalText(state.last->offset, 3, true) + " s";
        }
    } else {
        tip += "not synchronized yet";
    }
    const std::string next = NextRunText(state.nextRun, state.now);
    if (!next.empty()) {
        tip += "\n" + next;
    }
    if (state.otherTimeProgram) {
        tip += std::string("\n") + kOtherTimeProgram;
    }
    return tip.substr(0, kMaxTrayTipLength);
}

namespace {

// What the user can do about a cause that retrying will not mend.
const char* LastingAdvice(BalloonCause cause) {
    switch (cause) {
        case BalloonCause::kStepRefused:
            return " Ask your administrator to install the Tickwell Clock service, or run Tickwell "
                   "as administrator.";
        case BalloonCause::kServiceRefused:
            return " Ask your administrator to look after the Tickwell Clock service.";
        case BalloonCause::kPolicyRefused:
            return " Ask your administrator which time servers Tickwell may use, and choose one "
                   "under \"Server\".";
        default:
            return " Check the Internet connection, or choose another server under \"Server\".";
    }
}

}  // namespace

std::string BalloonText(BalloonCause cause, const StatusView& status) {
    const RunResult last = status.lastAutomatic.value_or(RunResult{});
    std::string text;
    switch (cause) {
        case BalloonCause::kStepRefused:
        case BalloonCause::kServiceRefused:
        case BalloonCause::kPolicyRefused:
            text = FailureSentence(last) + LastingAdvice(cause);
            break;
        case BalloonCause::kAllServersRefused:
            text =
                "Every time server of the catalogue refused to serve us (DENY or RSTR). Add "
                "another server under \"Server\"; scheduled runs ask the others again when "
                "Tickwell starts anew.";
            break;
        case BalloonCause::kFailingForAnHour:
            // A refused step an hour on still wants the administrator, not the network.
            text = "Scheduled synchronizations have failed for an hour. " + FailureSentence(last) +
                   LastingAdvice(LastingCauseOf(last).value_or(cause));
            break;
        case BalloonCause::kOverdue:
            text = "The clock was not synchronized for more than " +
                   std::to_string(status.maxDays) +
                   " days. Choose \"Synchronize now\", or check the time servers under "
                   "\"Server\".";
            break;
        case BalloonCause::kOtherTimeProgram:
            text = std::string(kOtherTimeProgram) +
                   " Turn one of them off, so that they do not set the clock against each other.";
            break;
    }
    return text.substr(0, kMaxBalloonTextLength);
}

std::vector<std::string> HistoryRowCells(const HistoryEntry& e, const LocalTimeOfUtc& local) {
    const std::string mark = e.result == HistoryEntry::kFailure   ? "FAILED"
                             : e.result == HistoryEntry::kSuccess ? "ok"
                                                                  : e.result;
    const std::string secure = e.secure == HistoryEntry::kSecure ? kSecureCell : "";
    return {mark,
            LocalTimeCell(e.time, local),
            KindCell(e.kind),
            e.server,
            e.host,
            e.address,
            e.offset,
            e.delay,
            e.stratum,
            e.step,
            secure,
            e.reason};
}

std::string HistoryRowsText(const std::vector<HistoryEntry>& entries, const LocalTimeOfUtc& local) {
    std::string text;
    for (const HistoryEntry& entry : entries) {
        const std::vector<std::string> fields = HistoryRowCells(entry, local);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            text += (i == 0 ? "" : "\t") + fields[i];
        }
        text += "\r\n";
    }
    return text;
}

}  // namespace presentation
