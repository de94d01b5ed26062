// Every text the user reads: the engine hands over results and events, and this module
// words them. Some wordings are kept exactly as users have always seen them, old spellings
// included ("faild", "ore exit", "More then"), because people and scripts look for them;
// those are marked "kept" where they are defined.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/balloon_rules.h"
#include "app/program_events.h"
#include "app/tray_state.h"
#include "base/system_time.h"
#include "config/date_time.h"
#include "config/run_history.h"
#include "config/server_catalogue.h"
#include "config/sync_record.h"
#include "platform/month_names.h"
#include "sync/run_kind.h"
#include "sync/run_reporter.h"
#include "sync/run_result.h"
#include "sync/server_search.h"
#include "ui/number_text.h"

namespace presentation {

// Captions of the boxes.
inline constexpr const char* kCaption = "Tickwell";
inline constexpr const char* kErrorCaption = "Tickwell:Error";           // kept
inline constexpr const char* kInternetErrorCaption = "Tickwell: error";  // kept
inline constexpr const char* kWarningCaption = "Tickwell: Warning";
inline constexpr const char* kHelpErrorCaption = "Error";

inline constexpr const char* kSuccessBox = "Successful synchronization.";
// Kept, with its blank after "\n" and before the line break.
inline constexpr const char* kHelpErrorBox =
    "Inside help system error.\n Help window is not created. \nOnline help opens.";
inline constexpr const char* kTimeZoneCheckBox =
    "Tickwell needs right settings of system date and time zone.\nCheck your Time Zone "
    "Settings, please!";
inline constexpr const char* kExitQuestion =
    "Usually you do not need exit this program. Continue?\nYes - Exit, No - Minimize.";

// First lines of failure boxes: each kept as users have always seen it, misspellings
// and trailing line breaks included.
inline constexpr const char* kInternetOpenBox =
    "Internet open error! Test your system and try again.";
inline constexpr const char* kUrlOpenBox =
    "URL open error!\nIf you cannot see any WWW page and get mail,\ntest internet "
    "connection, please.\nIf you can it means that the program\ncannot get "
    "information from time server now.\nIf you use manual synchronization\ntry be "
    "synchronized later.\nIf it is auto mode do nothing, please.";
inline constexpr const char* kNetworkStartBox = "WSAStartup failed!\n";
inline constexpr const char* kNetworkVersionBox =
    "Winsock stack does not support version that is needed!\n";
inline constexpr const char* kReceivingBox = "Time receiving error!";
inline constexpr const char* kConversionBox = "Time conversion error!";
inline constexpr const char* kServiceSilentBox =
    "The Tickwell Clock service does not answer. Ask your administrator to install it, or run "
    "Tickwell as administrator.";
inline constexpr const char* kNoWayToSetBox =
    "Tickwell may not set the clock and the Tickwell Clock service does not answer. Ask your "
    "administrator to install the service, or run Tickwell as administrator.";

// The stored status lines' beginnings, kept with their blank before the stamp.
inline constexpr const char* kInternetOpenStatus = "Internet Open Error! ";
inline constexpr const char* kUrlOpenStatus = "URL Open Error! ";
inline constexpr const char* kCommunicationStatus = "Communication error! ";

// The status line when scheduled runs leave every server alone (after RATE, DENY or RSTR),
// with the stamp of the failures' lines.
inline constexpr const char* kAllLeftAloneStatus =
    "Every time server is being left alone for now. ";
// Added to the history's reason when a server refused to serve us.
inline constexpr const char* kRefusedUntilRestart =
    " Scheduled runs will not ask it again until Tickwell starts anew.";

// The status line of a run the user broke off.
inline constexpr const char* kBrokenStatus = "Broken by the user.";

// The dialogs' server tests: "Error. Check Internet Connection." when none answered.
inline constexpr const char* kTestFailed = "Error. Check Internet Connection.";
// The same for a server asked by NTS whose key exchange or reply failed its checks.
inline constexpr const char* kSecureTestFailed = "Error. Secure time check failed.";
// The history's reason of a large step that no second server confirmed.
inline constexpr const char* kNotConfirmed = "Not confirmed: no second server answered.";
inline constexpr const char* kDatesCheckedByServerTime =
    "The clock was far off: the server's certificate was checked against its authenticated time, "
    "and a second server agreed.";
inline constexpr const char* kTesting = "Automatic testing...";
inline constexpr const char* kLastServer = "At least one server must be present!";
inline constexpr const char* kUndefinedTitle = "Undefined";
inline constexpr const char* kUserAdded = "User";
inline constexpr const char* kBuiltIn = "Prog";
inline constexpr const char* kFromPolicy = "Org";

// Options and the server chooser while a mandatory policy governs something they show.
inline constexpr const char* kManagedLine = "Some settings are managed by your organization.";
// The tip of a control a policy sets: "Set by your organization (policy nMaxDays)." or, for
// a recommended value, that the user may change it.
std::string PolicyTip(const std::string& policyName, bool mandatory);

// One sentence per failure: the box's paragraph, the history's reason, the service's reason.
// "No answer from 192.0.2.1 within 20 s."
std::string FailureSentence(const RunResult& result);
// The history's reason: the failure's sentence (and for a refusal that scheduled runs stop
// asking), or for a success whether it went unconfirmed.
std::string HistoryReason(const RunResult& result);
// A server test of the dialogs: "Net Delay: 0.123", or kTestFailed (kSecureTestFailed for a
// failure of secure time) with the reason in brackets.
std::string ServerTestReport(const RunResult& result);
// The tray tip's few words, from the same table: "no answer".
std::string FailureSummary(const RunResult& result);
// The address asked, or the name when it did not resolve or no address is known.
std::string AddressAsked(const RunResult& result);
// "Example (192.0.2.1)": the server's title and the address asked.
std::string ServerAsked(const RunResult& result);
// The box's second paragraph: the server's title, the address asked, the reason.
std::string FailureParagraph(const RunResult& result);

// The first line of the box for a failure at the step (kept texts).
std::string FailureFirstLine(const RunEvent& event);
// A failure box: its first line, then a paragraph on the server and the reason.
std::string FailureBoxText(const std::string& firstLine, const RunResult& result);
// Why Windows did not set the clock, and for the missing privilege what to do about it.
std::string ClockRefusedText(std::uint32_t error);
std::string ClockJumpWarning(std::int64_t minutes);

// The box of an event, and its caption and icon; an event without a box has empty text.
struct Box {
    std::string text;
    const char* caption = kCaption;
    BoxIcon icon = BoxIcon::kInformation;
};
Box BoxOf(const RunEvent& event);

// The status line the record stores for an event.
std::string StatusLine(const RunEvent& event, const MonthNames& months);
// "Success synchro: Mar. 07, 2003. Net delay: 0.123 sec."
// A time authenticated by NTS says so after the stored form.
std::string SuccessStatusLine(const SYSTEMTIME& after, double delay, const MonthNames& months,
                              bool secure = false);
// "Net connection is absent! 14:05; Mar 07, 2003"
std::string ConnectionAbsentStatus(const SYSTEMTIME& now, const MonthNames& months);
// The stamps that end the status lines of failures and start the line of a success.
std::string ErrorStamp(const SYSTEMTIME& local, const MonthNames& months);  // "14:05; 07-Mar-2003"
std::string DateStamp(const SYSTEMTIME& local, const MonthNames& months);   // "Mar. 07, 2003"

// The main window's fields: "09:05:03   007ms"; the date, or "00/00/0000" for none; the
// status line, or for none what users have always read in its place.
std::string TimeBeforeText(const SyncRecord& record);
std::string TimeAfterText(const SyncRecord& record);
std::string SyncDateText(const SyncRecord& record, const MonthNames& months);
std::string StatusText(const SyncRecord& record);

// The About box's text: name, version and the maker's notice.
std::string AboutText(const std::string& displayName, int major, int minor, int patch);

// The warning that no synchronisation succeeded for too long.
std::string OverdueWarningText(int maxDays);
// The history's notes on clock changes of other programs; repeated: they keep coming.
std::string ClockChangeNote(bool repeated);

// The dialogs: empty when the address may be added, else why not.
std::string ServerAddressRefusal(const std::string& address);
// A refused number field: "Please enter an integer between 0 and 59.".
std::string NumberRefusalText(const NumberRefusal& refusal);
// A measured delay as the server list shows it: "%5.3g", or "Null" when none was measured.
std::string DelayText(double delay);
// "<title>  || Delay: <DelayText> sec."
std::string SearchProgressLine(const ServerEntry& entry);
// "Tested success: 3, faild: 1, the best delay: 0.123 for T", or kTestFailed.
std::string SearchReport(const SearchOutcome& outcome, const ServerCatalogue& measured);
// "Net Delay: 0.123": one server tested.
std::string NetDelayReport(double delay);

// The icon's state in a word, which starts the tray tip: "Failing".
const char* TrayStateWord(TrayState state);

// The tray tip's input.
struct TrayTipState {
    std::string name;                 // "Tickwell"
    std::optional<RunResult> last;    // this copy's last run
    SYSTEMTIME syncDate{};            // of the last success, local; year 0 for none
    SYSTEMTIME now{};                 // local
    std::optional<DateTime> nextRun;  // local; empty for a manual schedule
    bool otherTimeProgram = false;
    TrayState state = TrayState::kSynchronised;
};
// When the schedule makes its next attempt, as the tray tip and the History window tell it:
// "Next run: today 10:00", "Next run: now"; empty when none is due (a manual schedule).
std::string NextRunText(const std::optional<DateTime>& nextRun, const SYSTEMTIME& now);
// The shell's tip holds 128 characters with the terminating zero.
inline constexpr std::size_t kMaxTrayTipLength = 127;
// "Synchronized: Tickwell - synchronized today 09:14, offset +0.012 s\nNext run: tomorrow
// 00:00"; "Synchronized, secure: ..." when the last run's time was authenticated (NTS).
std::string TrayTipText(const TrayTipState& state);

// The balloon's title, and the most its text may hold (the shell's field keeps 256
// characters with the terminating zero).
inline constexpr const char* kBalloonTitle = "Tickwell";
inline constexpr std::size_t kMaxBalloonTextLength = 255;
// Why the balloon speaks, then what the user can do about it.
std::string BalloonText(BalloonCause cause, const StatusView& status);

// The History window's columns, and an entry's cells in them: the first marks a failure, the
// time is the user's local time (the file keeps UTC; a time that does not convert shows as
// stored), and "NTS" marks an authenticated time.
inline constexpr const char* kHistoryColumns[] = {"Result",  "Time",    "Kind",   "Server",
                                                  "Host",    "Address", "Offset", "Delay",
                                                  "Stratum", "Step",    "Secure", "Reason"};
inline constexpr const char* kSecureCell = "NTS";
// The platform's conversion of a UTC moment to local time; empty when it cannot.
using LocalTimeOfUtc = std::function<std::optional<SYSTEMTIME>(const SYSTEMTIME& utc)>;
std::vector<std::string> HistoryRowCells(const HistoryEntry& entry, const LocalTimeOfUtc& local);
// Entries as the History window copies them: one line each, the cells by tabs.
std::string HistoryRowsText(const std::vector<HistoryEntry>& entries, const LocalTimeOfUtc& local);
// The main window's system menu item that opens the History window.
inline constexpr const char* kHistoryMenuItem = "History";

// A run's kind as the History window and the event log name it: "manual".
const char* RunKindWords(RunKind kind);

// The inserts of the program's events in the Application log, in the order the message
// table's texts take them: a run's events start with the server's title, the address asked
// and the run's kind.
// The exchange of a clock set, until secure time exists.
inline constexpr const char* kNotSecure = "not secure";
// Then the offset found, the step made, the exchange, and who set the clock.
std::vector<std::string> ClockSetInserts(const RunResult& result, RunKind kind);
// Then the reason, as the history gives it.
std::vector<std::string> RunFailureInserts(const RunResult& result, RunKind kind);
// Then the other server, the address it was asked at, and how many seconds they were apart.
std::vector<std::string> DisagreementInserts(const RunResult& result, RunKind kind);
// The days allowed (nMaxDays) and when the last synchronisation was, local.
std::vector<std::string> OverdueInserts(const StatusView& status);
// How many changes of another program within an hour are too many.
std::vector<std::string> OtherTimeProgramInserts();
// A policy key as an administrator finds it in the registry editor.
std::string PolicyKeyText(PolicyScope scope);
// The values applied, one a line: "nSynPeriod = 1 (HKEY_LOCAL_MACHINE\...)".
std::string AppliedPolicyList(const std::vector<AppliedPolicyValue>& values);
// The key, the value's name, its data, and why it was ignored.
std::vector<std::string> IgnoredPolicyInserts(const IgnoredPolicyValue& value);

// The server chooser's list columns, and an entry's Status cell: where it came from, and
// ", NTS" for a server asked by secure time: "Prog, NTS".
inline constexpr const char* kChooserColumns[] = {"Name", "Status", "Delay(sec.)"};
std::string ChooserStatusText(const ServerEntry& entry);

}  // namespace presentation
