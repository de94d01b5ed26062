// The presentation module: every failure worded, the texts kept as they always were, and the
// History window's cells.
#include "app/presentation.h"

#include <gtest/gtest.h>

#include <set>

#include "app/program_run_reporter.h"
#include "tests/support/calendar.h"
#include "tests/support/failed_result.h"
#include "tests/support/fake_clock.h"
#include "tests/support/memory_profile_store.h"
#include "tests/support/platform_fakes.h"
#include "tests/support/recording_event_log.h"

namespace presentation {
namespace {

RunResult WithPipeError(RunResult result, std::uint32_t error) {
    result.failure.error = error;
    return result;
}

// Every kind of failure there is: its one sentence and the tip's few words, met by the run
// itself or by the Tickwell Clock service for it.
TEST(PresentationTest, EveryFailureHasOneSentenceAndASummary) {
    using K = FailureKind;
    struct Row {
        RunResult result;
        std::string text;
        const char* summary;
    };
    const std::string service = "The Tickwell Clock service could not synchronize: ";
    const std::string serviceAnswers = service +
                                       "the service is not running, yet process 77 "
                                       "serves its pipe.";
    const Row rows[] = {
        {Failed(K::kInternetOpen), "The Internet session could not be opened.",
         "no Internet connection"},
        {Failed(K::kUrlOpen), "The test web page could not be opened: is the computer online?",
         "no Internet connection"},
        {Failed(K::kNetworkStart), "The network could not be started.", "network not started"},
        {Failed(K::kNetworkVersion), "The network does not offer the version Tickwell needs.",
         "network not started"},
        {Failed(K::kUnresolved), "The name ntp.example.org did not resolve.",
         "name did not resolve"},
        {Failed(K::kNoAnswer), "No answer from 192.0.2.1 within 20 s.", "no answer"},
        {Failed(K::kSocketError), "The network refused the request (send: refused (10061)).",
         "network error"},
        {Failed(K::kTooShort), "The server's reply was cut short.", "bad reply"},
        {Failed(K::kNotServerMode), "The reply did not come from a time server.", "bad reply"},
        {Failed(K::kBadVersion), "The server answered in an unknown protocol version.",
         "bad reply"},
        {Kissed("RATE"), "The server asked us to slow down (RATE).", "server refused"},
        {Kissed("DENY"), "The server refused to serve us (DENY).", "server refused"},
        {Kissed("XY?Z"), "The server told us to stop asking (XY?Z).", "server refused"},
        {Failed(K::kBadStratum), "The server gave an impossible stratum.", "bad reply"},
        {Failed(K::kUnsynchronised), "The server's own clock is not synchronized.",
         "server not synchronized"},
        {Failed(K::kZeroTransmit), "The server's reply carried no time.", "bad reply"},
        {Failed(K::kRootDistance), "The server is too far from its reference clock to be trusted.",
         "bad reply"},
        {Failed(K::kClockRefused), "Windows refused to set the clock (error 1314).",
         "clock not set"},
        {Failed(K::kConversionFailed), "The fixed offset leads to a time the clock cannot hold.",
         "clock not set"},
        {Failed(K::kDisagreement),
         "Second (192.0.2.2) disagrees by 10800 s; the clock was left alone.", "servers disagree"},
        {Failed(K::kAbandoned), "The run was broken off.", "broken off"},
        {Failed(K::kServerNotApproved), "Server not approved by the administrator.",
         "server not approved"},
        {Failed(K::kOffsetAboveLimit), "Offset above the administrator's limit.",
         "offset not allowed"},
        {Failed(K::kMalformedRequest), "host cut short.", "clock service failed"},
        {Failed(K::kServiceSilent), "The Tickwell Clock service does not answer.",
         "clock service failed"},
        {Failed(K::kServiceUnidentified),
         "Cannot tell which process serves the service's pipe (error 5).", "clock service failed"},
        {Failed(K::kPipeNotTheService), "Process 77 serves the service's pipe, not the service.",
         "clock service failed"},
        {Failed(K::kPipeWithoutService),
         "The service is not running, yet process 77 serves its pipe.", "clock service failed"},
        {Failed(K::kServiceUnreadable), "The service's reply could not be read.",
         "clock service failed"},
        {Failed(K::kServiceTimedOut),
         "The Tickwell Clock service did not answer within 30 seconds.", "clock service failed"},
        {Failed(K::kOther), "a newer service's reason.", "clock service failed"},
        {Failed(K::kNtsTlsFailed), "No secure connection to the key exchange (TLS 1.3 refused).",
         "secure connection failed"},
        {Failed(K::kNtsCertificateUntrusted),
         "The certificate of time.example.net, issued by Example CA, is not trusted.",
         "certificate not trusted"},
        {Failed(K::kNtsNameMismatch),
         "The certificate is for time.example.net, not for ntp.example.org.",
         "certificate not trusted"},
        {Failed(K::kNtsCertificateExpired),
         "The certificate of time.example.net has expired or is not yet valid.",
         "certificate expired"},
        {Failed(K::kNtsKeRefused), "The key exchange refused us (error 1).",
         "key exchange refused"},
        {Failed(K::kNtsKeMalformed), "The key exchange broke the protocol: no AEAD algorithm.",
         "key exchange failed"},
        {Failed(K::kNtsNoCookies), "The key exchange gave no cookies.", "key exchange failed"},
        {Failed(K::kNtsNotAuthenticated),
         "The reply was not authenticated: forged or damaged on the way.",
         "reply not authenticated"},
        {Failed(K::kNtsRequired), "The administrator allows only secure time servers (NTS).",
         "secure time required"},
        // The service's failures: its own words for the kinds the program knows, as clauses.
        {WithPipeError(FailedInService(K::kServiceSilent), 231),
         "The Tickwell Clock service does not answer (pipe error 231).", "clock service failed"},
        {FailedInService(K::kServerNotApproved),
         (service + "server not approved by the administrator."), "clock service failed"},
        {FailedInService(K::kClockRefused),
         (service + "Windows refused to set the clock (error 1314)."), "clock service failed"},
        {FailedInService(K::kNetworkStart), (service + "the network could not be started."),
         "clock service failed"},
        {FailedInService(K::kAbandoned), (service + "the run was broken off."),
         "clock service failed"},
        {FailedInService(K::kNoAnswer), (service + "no answer from 192.0.2.1 within 20 s."),
         "clock service failed"},
        {FailedInService(K::kDisagreement),
         (service + "Second (192.0.2.2) disagrees by 10800 s; the clock was left alone."),
         "clock service failed"},
        {Kissed("RATE", true), (service + "the server asked us to slow down (RATE)."),
         "clock service failed"},
        {FailedInService(K::kPipeWithoutService), serviceAnswers, "clock service failed"},
        {FailedInService(K::kOther), (service + "a newer service's reason."),
         "clock service failed"},
        {FailedInService(K::kNtsRequired),
         (service + "the administrator allows only secure time servers (NTS)."),
         "clock service failed"},
    };
    std::set<FailureKind> worded;
    for (const Row& row : rows) {
        EXPECT_EQ(row.text, FailureSentence(row.result));
        EXPECT_EQ(row.summary, FailureSummary(row.result)) << row.text;
        EXPECT_EQ(std::string("Example (192.0.2.1): ") + row.text, FailureParagraph(row.result));
        worded.insert(row.result.failure.kind);
    }
    // The table above covers every kind there is.
    for (int kind = 1; kind <= static_cast<int>(kLastFailureKind); ++kind) {
        EXPECT_EQ(1u, worded.count(static_cast<FailureKind>(kind))) << kind;
    }
    EXPECT_EQ("", FailureSentence(RunResult{}));
    EXPECT_EQ("", FailureSummary(RunResult{}));
}

TEST(PresentationTest, TheAddressAskedIsTheNameWhenNoneIsKnown) {
    RunResult unresolved = Failed(FailureKind::kUnresolved);
    unresolved.address.clear();
    EXPECT_EQ("Example (ntp.example.org): The name ntp.example.org did not resolve.",
              FailureParagraph(unresolved));
    unresolved.serverTitle.clear();
    EXPECT_EQ("ntp.example.org: The name ntp.example.org did not resolve.",
              FailureParagraph(unresolved));
}

RunEvent FailureAt(RunStep step, FailureKind failure, std::uint32_t error = 0,
                   bool serviceChosen = false) {
    RunEvent event;
    event.kind = RunEvent::Kind::kFailed;
    event.step = step;
    event.result = Failed(failure);
    event.result.failure.error = error;
    event.local = Calendar(2003, 3, 7, 14, 5);
    event.serviceChosen = serviceChosen;
    return event;
}

// The box of each step (its first line kept word for word), its caption, and the status line.
TEST(PresentationTest, BoxesAndStatusLinesOfFailuresByStep) {
    MonthNames months;
    months.Set(3, "Mar");
    struct Row {
        RunEvent event;
        const char* box;
        const char* caption;
        const char* status;
    };
    const std::string refused =
        "Windows refused to set the clock (error 1314): run Tickwell as "
        "administrator.\n\nExample (192.0.2.1).";
    const Row rows[] = {
        {FailureAt(RunStep::kProbe, FailureKind::kInternetOpen),
         "Internet open error! Test your system and try again.\n\nExample (192.0.2.1): The "
         "Internet session could not be opened.",
         "Tickwell: error", "Internet Open Error! 14:05; 07-Mar-2003"},
        {FailureAt(RunStep::kProbe, FailureKind::kUrlOpen),
         "URL open error!\nIf you cannot see any WWW page and get mail,\ntest internet connection, "
         "please.\nIf you can it means that the program\ncannot get information from time server "
         "now.\nIf you use manual synchronization\ntry be synchronized later.\nIf it is auto mode "
         "do nothing, please.\n\nExample (192.0.2.1): The test web page could not be opened: is "
         "the computer online?",
         "Tickwell:Error", "URL Open Error! 14:05; 07-Mar-2003"},
        {FailureAt(RunStep::kNetworkStart, FailureKind::kNetworkStart), "WSAStartup failed!\n",
         "Tickwell:Error", "Communication error! 14:05; 07-Mar-2003"},
        {FailureAt(RunStep::kNetworkStart, FailureKind::kNetworkVersion),
         "Winsock stack does not support version that is needed!\n", "Tickwell:Error",
         "Communication error! 14:05; 07-Mar-2003"},
        {FailureAt(RunStep::kQuery, FailureKind::kNoAnswer),
         "Time receiving error!\n\nExample (192.0.2.1): No answer from 192.0.2.1 within 20 s.",
         "Tickwell:Error", "Communication error! 14:05; 07-Mar-2003"},
        {FailureAt(RunStep::kSet, FailureKind::kClockRefused, 1314), refused.c_str(),
         "Tickwell:Error", "Communication error! 14:05; 07-Mar-2003"},
        {FailureAt(RunStep::kSet, FailureKind::kClockRefused, 5),
         "Windows refused to set the clock (error 5).\n\nExample (192.0.2.1).", "Tickwell:Error",
         "Communication error! 14:05; 07-Mar-2003"},
        {FailureAt(RunStep::kSet, FailureKind::kConversionFailed),
         "Time conversion error!\n\nExample (192.0.2.1): The fixed offset leads to a time the "
         "clock cannot hold.",
         "Tickwell:Error", "Communication error! 14:05; 07-Mar-2003"},
        {FailureAt(RunStep::kService, FailureKind::kServiceSilent, 0, true),
         "The Tickwell Clock service does not answer. Ask your administrator to install it, or "
         "run Tickwell as administrator.\n\nExample (192.0.2.1).",
         "Tickwell:Error", "Communication error! 14:05; 07-Mar-2003"},
        {FailureAt(RunStep::kService, FailureKind::kServiceSilent, 0, false),
         "Tickwell may not set the clock and the Tickwell Clock service does not answer. Ask "
         "your administrator to install the service, or run Tickwell as administrator.\n\n"
         "Example (192.0.2.1).",
         "Tickwell:Error", "Communication error! 14:05; 07-Mar-2003"},
        // A failed pipe call: the paragraph gives its error.
        {FailureAt(RunStep::kService, FailureKind::kServiceSilent, 231, true),
         "The Tickwell Clock service does not answer. Ask your administrator to install it, or "
         "run Tickwell as administrator.\n\nExample (192.0.2.1): The Tickwell Clock service does "
         "not answer (pipe error 231).",
         "Tickwell:Error", "Communication error! 14:05; 07-Mar-2003"},
        // No receiving error: the reason leads the box and the status line.
        {FailureAt(RunStep::kQuery, FailureKind::kDisagreement),
         "Second (192.0.2.2) disagrees by 10800 s; the clock was left alone.\n\nExample "
         "(192.0.2.1).",
         "Tickwell:Error",
         "Second (192.0.2.2) disagrees by 10800 s; the clock was left alone. 14:05; 07-Mar-2003"},
    };
    for (const Row& row : rows) {
        const Box box = BoxOf(row.event);
        EXPECT_EQ(row.box, box.text);
        EXPECT_STREQ(row.caption, box.caption) << row.box;
        EXPECT_EQ(BoxIcon::kError, box.icon) << row.box;
        EXPECT_EQ(row.status, StatusLine(row.event, months)) << row.box;
    }
}

TEST(PresentationTest, SuccessJumpAndNoConnection) {
    MonthNames months;
    months.Set(3, "Mar");
    RunEvent event;
    event.result.delay = 0.123;
    event.local = Calendar(2003, 3, 7, 14, 5);
    EXPECT_EQ("Successful synchronization.", BoxOf(event).text);
    EXPECT_EQ(BoxIcon::kInformation, BoxOf(event).icon);
    EXPECT_EQ("Success synchro: Mar. 07, 2003. Net delay: 0.123 sec.", StatusLine(event, months));
    event.result.delay = 12.5;
    EXPECT_EQ("Success synchro: Mar. 07, 2003. Net delay: 12.500 sec.", StatusLine(event, months));
    event.result.secure = true;
    EXPECT_EQ("Success synchro: Mar. 07, 2003. Net delay: 12.500 sec. Secure (NTS).",
              StatusLine(event, months));

    event.kind = RunEvent::Kind::kClockJump;
    event.jumpMinutes = 3;
    EXPECT_EQ(
        "3 minutes between the time after synchronizing and the time before synchronizing.\nIt "
        "can be caused by a virus, by bad software executing, by DST or by hardware errors.\n"
        "This message is a warning only.",
        BoxOf(event).text);
    EXPECT_STREQ("Tickwell", BoxOf(event).caption);
    EXPECT_EQ(BoxIcon::kWarning, BoxOf(event).icon);

    event.kind = RunEvent::Kind::kNoConnection;
    EXPECT_EQ("", BoxOf(event).text);
    EXPECT_EQ("Net connection is absent! 14:05; Mar 07, 2003", StatusLine(event, months));

    event.kind = RunEvent::Kind::kAllLeftAlone;
    EXPECT_EQ("", BoxOf(event).text);
    EXPECT_EQ("Every time server is being left alone for now. 14:05; 07-Mar-2003",
              StatusLine(event, months));
}

TEST(PresentationTest, TheProgramsReporterShowsOnlyEventsWithABox) {
    RecordingMessageBoxes boxes;
    RecordingEventLog log;
    MemoryProfileStore marks;
    FakeClock clock;
    ProgramEvents events(log, marks, clock);
    ProgramRunReporter reporter(boxes, MonthNames(), events);
    struct NoGuard : BoxGuard {
        bool Opened(std::function<void()>) override { return true; }
        void Closed() override {}
    } guard;
    RunEvent absent;
    absent.kind = RunEvent::Kind::kNoConnection;
    reporter.ShowBox(absent, guard);
    reporter.ShowBox(FailureAt(RunStep::kProbe, FailureKind::kInternetOpen), guard);
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Tickwell: error", boxes.boxes()[0].caption);
    EXPECT_EQ("The run was broken off.", reporter.HistoryReason(Failed(FailureKind::kAbandoned)));
    EXPECT_EQ("", reporter.HistoryReason(RunResult{}));
    // Told for a refusal the service met too: scheduled runs leave that server alone as well.
    for (const bool inService : {false, true}) {
        for (const char* code : {"DENY", "RSTR", "RATE"}) {
            const RunResult kissed = Kissed(code, inService);
            const bool refused = std::string(code) != "RATE";
            EXPECT_EQ(FailureSentence(kissed) +
                          (refused ? " Scheduled runs will not ask it again until Tickwell starts "
                                     "anew."
                                   : ""),
                      reporter.HistoryReason(kissed))
                << code;
        }
    }
    EXPECT_EQ("Another program set the clock.", reporter.ClockChangeNote(false));
    EXPECT_EQ("Another time program is also setting the clock.", reporter.ClockChangeNote(true));
}

// Texts users have always read, old spellings and blanks included.
TEST(PresentationTest, KeptTexts) {
    EXPECT_EQ(
        "Warning! More then 14 days past\nafter last successful synchronization.\nSynchronize PC "
        "Clock now,\nset max period to zero for disable this message\nore exit the program.",
        OverdueWarningText(14));
    EXPECT_STREQ("Usually you do not need exit this program. Continue?\nYes - Exit, No - Minimize.",
                 kExitQuestion);
    EXPECT_STREQ("Broken by the user.", kBrokenStatus);
    EXPECT_EQ("Tickwell\xAE\tVersion\t 3.05.00\r\r\nCopyright (C) Quorvane. All rights reserved.",
              AboutText("Tickwell", 3, 5, 0));

    SyncRecord record;
    record.timeBefore = Calendar(0, 0, 0, 9, 5, 3, 7);
    record.timeAfter = Calendar(0, 0, 0, 23, 59, 59, 999);
    EXPECT_EQ("09:05:03   007ms", TimeBeforeText(record));
    EXPECT_EQ("23:59:59   999ms", TimeAfterText(record));

    MonthNames months;
    months.Set(3, "Mar");
    EXPECT_EQ("00/00/0000", SyncDateText(record, months));
    record.syncDate = Calendar(2003, 3, 7);
    EXPECT_EQ("Mar. 07, 2003", SyncDateText(record, months));
    // Stored garbage counts as nothing recorded.
    for (const SYSTEMTIME& garbage :
         {Calendar(2003, 13, 7), Calendar(2003, 2, 30), Calendar(2003, 3, 0)}) {
        record.syncDate = garbage;
        EXPECT_EQ("00/00/0000", SyncDateText(record, months));
    }

    // In place of a status line: before anything is recorded, and when the store held none.
    EXPECT_EQ("Initial. There was not synchronization yet.", StatusText(SyncRecord{}));
    record.missingStatus = SyncRecord::MissingStatus::kNotStored;
    EXPECT_EQ("Null", StatusText(record));
    record.connectStatus = "Broken by the user.";
    EXPECT_EQ("Broken by the user.", StatusText(record));

    EXPECT_EQ("14:05; 07-Mar-2003", ErrorStamp(Calendar(2003, 3, 7, 14, 5), months));
    EXPECT_EQ("Mar. 07, 2003", DateStamp(Calendar(2003, 3, 7, 14, 5), months));
}

// The search's report is checked with its choice, in the search's own tests.
TEST(PresentationTest, TheDialogsReports) {
    EXPECT_EQ(" 0.05", DelayText(0.05));
    EXPECT_EQ("0.0731", DelayText(0.0731));
    EXPECT_EQ("Null", DelayText(0.0));
    using Kind = NumberRefusal::Kind;
    EXPECT_EQ("Please enter an integer.", NumberRefusalText({Kind::kNotAnInteger}));
    EXPECT_EQ("Please enter a number.", NumberRefusalText({Kind::kNotANumber}));
    EXPECT_EQ("Please enter an integer between -10 and 10.",
              NumberRefusalText({Kind::kOutOfRange, -10, 10}));
    ServerEntry entry("T", "h", 0);
    entry.delay = 0.05;
    EXPECT_EQ("T  || Delay:  0.05 sec.", SearchProgressLine(entry));
    EXPECT_EQ("Net Delay: 0.123", NetDelayReport(0.123));
    RunResult tested;
    tested.delay = 0.123;
    EXPECT_EQ("Net Delay: 0.123", ServerTestReport(tested));
    EXPECT_EQ("Error. Check Internet Connection. (No answer from 192.0.2.1 within 20 s.)",
              ServerTestReport(Failed(FailureKind::kNoAnswer)));
    // The history tells a large step that no second server confirmed, and only that success.
    EXPECT_EQ("", HistoryReason(tested));
    tested.unconfirmed = true;
    EXPECT_EQ("Not confirmed: no second server answered.", HistoryReason(tested));
    tested.unconfirmed = false;
    tested.datesCheckedByServerTime = true;
    EXPECT_EQ(kDatesCheckedByServerTime, HistoryReason(tested));
    EXPECT_EQ("No answer from 192.0.2.1 within 20 s.",
              HistoryReason(Failed(FailureKind::kNoAnswer)));

    EXPECT_EQ("Please enter the address of the time server.", ServerAddressRefusal(""));
    EXPECT_EQ("", ServerAddressRefusal("ntp.example"));
    EXPECT_EQ(0u, ServerAddressRefusal("ntp example").find("\"ntp example\" is no host name"));
}

// A zone one hour east of UTC, without daylight saving, for the History window's time.
std::optional<SYSTEMTIME> OneHourEast(const SYSTEMTIME& utc) {
    const std::optional<DateTime> at = DateTime::FromSystemTime(utc);
    SYSTEMTIME local{};
    if (!at || !at->AddSeconds(3600).ToSystemTime(&local)) {
        return std::nullopt;
    }
    return local;
}

TEST(PresentationTest, HistoryCellsMarkTheResultAndKeepEveryField) {
    const HistoryEntry failure{"2026-12-09T09:14:03Z",
                               "manual",
                               "Chrony",
                               "localhost",
                               "127.0.0.1",
                               "failure",
                               "",
                               "",
                               "",
                               "",
                               "No answer.",
                               ""};
    HistoryEntry success = failure;
    success.result = HistoryEntry::kSuccess;
    success.reason.clear();
    HistoryEntry note = failure;
    note.result = HistoryEntry::kNote;
    success.secure = HistoryEntry::kSecure;
    const std::vector<std::string> cells = HistoryRowCells(failure, OneHourEast);
    ASSERT_EQ(std::size(kHistoryColumns), cells.size());
    EXPECT_EQ(
        (std::vector<std::string>{"FAILED", "2026-12-09 10:14:03", "manual", "Chrony", "localhost",
                                  "127.0.0.1", "", "", "", "", "", "No answer."}),
        cells);
    EXPECT_EQ("ok", HistoryRowCells(success, OneHourEast)[0]);
    EXPECT_EQ("note", HistoryRowCells(note, OneHourEast)[0]);
    EXPECT_EQ(
        "FAILED\t2026-12-09 10:14:03\tmanual\tChrony\tlocalhost\t127.0.0.1\t\t\t\t\t\tNo "
        "answer.\r\n"
        "ok\t2026-12-09 10:14:03\tmanual\tChrony\tlocalhost\t127.0.0.1\t\t\t\t\tNTS\t\r\n",
        HistoryRowsText({failure, success}, OneHourEast));
}

TEST(PresentationTest, HistoryTimeIsLocalWhenItConvertsAndAsStoredOtherwise) {
    const auto none = [](const SYSTEMTIME&) { return std::optional<SYSTEMTIME>(); };
    const struct {
        const char* stored;
        LocalTimeOfUtc local;
        const char* shown;
    } cases[] = {
        {"2026-12-31T23:30:00Z", OneHourEast, "2027-01-01 00:30:00"},
        {"2026-12-09T09:14:03Z", none, "2026-12-09T09:14:03Z"},
        {"2026-12-09T09:14:03", OneHourEast, "2026-12-09T09:14:03"},    // no zone: not UTC
        {"2026-13-09T09:14:03Z", OneHourEast, "2026-13-09T09:14:03Z"},  // no such month
        {"yesterday", OneHourEast, "yesterday"},
        {"", OneHourEast, ""},
    };
    for (const auto& c : cases) {
        HistoryEntry entry;
        entry.time = c.stored;
        EXPECT_EQ(c.shown, HistoryRowCells(entry, c.local)[1]) << c.stored;
    }
}

TEST(PresentationTest, ACheckOfASecureServerTellsWhySecureTimeFailed) {
    RunResult untrusted = Failed(FailureKind::kNtsCertificateUntrusted);
    untrusted.failure.certificateName = "nts.example";
    untrusted.failure.certificateIssuer = "Test CA";
    RunResult keyless = Failed(FailureKind::kNtsTlsFailed);
    keyless.failure.account = "no key exchange available";
    const struct {
        RunResult result;
        const char* report;
    } cases[] = {
        {untrusted,
         "Error. Secure time check failed. (The certificate of nts.example, issued by Test CA, "
         "is not trusted.)"},
        {keyless,
         "Error. Secure time check failed. (No secure connection to the key exchange (no key "
         "exchange available).)"},
        {Failed(FailureKind::kNtsNotAuthenticated),
         "Error. Secure time check failed. (The reply was not authenticated: forged or damaged "
         "on the way.)"},
        {Failed(FailureKind::kNoAnswer),
         "Error. Check Internet Connection. (No answer from 192.0.2.1 within 20 s.)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.report, ServerTestReport(c.result));
    }
}

TEST(PresentationTest, ChooserStatusTellsTheOriginAndTheSecureMark) {
    const struct {
        std::int32_t userAdded;
        bool nts;
        const char* shown;
    } cases[] = {
        {ServerEntry::kBuiltIn, false, "Prog"},       {ServerEntry::kUserAdded, false, "User"},
        {ServerEntry::kFromPolicy, false, "Org"},     {ServerEntry::kBuiltIn, true, "Prog, NTS"},
        {ServerEntry::kUserAdded, true, "User, NTS"}, {ServerEntry::kFromPolicy, true, "Org, NTS"},
    };
    for (const auto& c : cases) {
        ServerEntry entry("T", "t.example", c.userAdded);
        entry.nts = c.nts;
        EXPECT_EQ(c.shown, ChooserStatusText(entry));
    }
}

// The Kind column words what the history stored, today in the stored words themselves; a
// spelling no run of ours stores shows as it is.
TEST(PresentationTest, HistoryKindCellsWordTheStoredKind) {
    struct Row {
        std::string stored;
        const char* shown;
    };
    RunResult throughService;
    throughService.throughService = true;
    const SYSTEMTIME at = Calendar(2026, 12, 9);
    const Row rows[] = {
        {HistoryEntryOf({}, RunKind::kManual, at, "").kind, "manual"},
        {HistoryEntryOf({}, RunKind::kScheduled, at, "").kind, "scheduled"},
        {HistoryEntryOf({}, RunKind::kAfterResume, at, "").kind, "after resume"},
        {HistoryEntryOf(throughService, RunKind::kManual, at, "").kind,
         "manual through the clock service"},
        {HistoryEntryOf(throughService, RunKind::kAfterResume, at, "").kind,
         "after resume through the clock service"},
        {kClockSetElsewhereKind, "clock set elsewhere"},
        {"hourly catch-up", "hourly catch-up"},
    };
    for (const Row& row : rows) {
        HistoryEntry entry;
        entry.kind = row.stored;
        EXPECT_EQ(row.shown, HistoryRowCells(entry, OneHourEast)[2]) << row.stored;
    }
}

TEST(PresentationTest, TrayTipStartsWithTheStateAndTellsLastResultNextRunAndAnotherTimeProgram) {
    RunResult ok;
    ok.offset = 0.0124;
    RunResult secure = ok;
    secure.secure = true;
    const SYSTEMTIME now = Calendar(2026, 12, 9, 9, 20, 0);
    const DateTime nowValue = *DateTime::FromSystemTime(now);
    struct Row {
        TrayTipState state;
        const char* tip;
    };
    const Row rows[] = {
        {{"Tickwell", std::nullopt, {}, now, std::nullopt, false, TrayState::kOverdue},
         "Overdue: Tickwell - not synchronized yet"},
        {{"Tickwell", ok, Calendar(2026, 12, 9, 9, 14, 0), now,
          *DateTime::FromSystemTime(Calendar(2026, 12, 10)), false, TrayState::kSynchronised},
         "Synchronized: Tickwell - synchronized today 09:14, offset +0.012 s\nNext run: tomorrow "
         "00:00"},
        {{"Tickwell", secure, Calendar(2026, 12, 9, 9, 14, 0), now, std::nullopt, false,
          TrayState::kSynchronised},
         "Synchronized, secure: Tickwell - synchronized today 09:14, offset +0.012 s"},
        {{"Tickwell", std::nullopt, Calendar(2026, 11, 30, 17, 5, 0), now, nowValue, false,
          TrayState::kRunning},
         "Synchronizing: Tickwell - synchronized 2026-11-30 17:05\nNext run: now"},
        {{"Tickwell", Failed(FailureKind::kNoAnswer), Calendar(2026, 12, 9, 8, 0, 0), now,
          nowValue.AddSeconds(2400), true, TrayState::kFailing},
         "Failing: Tickwell - last attempt failed: no answer\nNext run: today 10:00\nAnother "
         "time program is also setting the clock."},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.tip, TrayTipText(row.state));
    }
    // The History window tells the same, the tip's rows aside.
    EXPECT_EQ("Next run: today 09:25", NextRunText(nowValue.AddSeconds(300), now));
    EXPECT_EQ("", NextRunText(std::nullopt, now));
    const TrayTipState longName{std::string(200, 'T'), std::nullopt, {}, now, std::nullopt, true};
    const std::string cut = TrayTipText(longName);
    EXPECT_EQ(kMaxTrayTipLength, cut.size());
    EXPECT_EQ(0u, cut.find("Synchronized: TTT"));
}

// Each balloon: the reason in the program's words, then what the user can do.
TEST(PresentationTest, BalloonsGiveTheReasonAndWhatToDo) {
    StatusView status;
    status.maxDays = 14;
    status.lastAutomatic = Failed(FailureKind::kClockRefused);
    const std::string install =
        "Ask your administrator to install the Tickwell Clock service, or run Tickwell as "
        "administrator.";
    const struct {
        BalloonCause cause;
        std::string text;
    } rows[] = {
        {BalloonCause::kStepRefused, "Windows refused to set the clock (error 1314). " + install},
        {BalloonCause::kAllServersRefused,
         "Every time server of the catalogue refused to serve us (DENY or RSTR). Add another "
         "server under \"Server\"; scheduled runs ask the others again when Tickwell starts "
         "anew."},
        {BalloonCause::kFailingForAnHour,
         "Scheduled synchronizations have failed for an hour. Windows refused to set the clock "
         "(error 1314). " +
             install},
        {BalloonCause::kOverdue,
         "The clock was not synchronized for more than 14 days. Choose \"Synchronize now\", or "
         "check the time servers under \"Server\"."},
        {BalloonCause::kOtherTimeProgram,
         ClockChangeNote(true) +
             " Turn one of them off, so that they do not set the clock against each other."},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.text, BalloonText(row.cause, status));
    }
    status.lastAutomatic = Failed(FailureKind::kNoAnswer);
    EXPECT_EQ("Scheduled synchronizations have failed for an hour. " +
                  FailureSentence(*status.lastAutomatic) +
                  " Check the Internet connection, or choose another server under \"Server\".",
              BalloonText(BalloonCause::kFailingForAnHour, status));
    status.lastAutomatic = Failed(FailureKind::kSocketError);
    status.lastAutomatic->failure.account = std::string(400, 'X');
    EXPECT_EQ(kMaxBalloonTextLength, BalloonText(BalloonCause::kFailingForAnHour, status).size());
}

}  // namespace
}  // namespace presentation
