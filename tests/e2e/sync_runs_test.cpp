// Synchronisations as a user meets them: started by hand or by the schedule, against good,
// silent, wrong and refusing servers, told in the window and kept in the history.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <regex>

#include "resources/tickwell_ids.h"
#include "tests/e2e/list_view_seen.h"
#include "tests/e2e/notification_area.h"
#include "tests/e2e/popup_menu.h"
#include "tests/e2e/program_test_fixture.h"
#include "tests/support/fault_sntp_server.h"

namespace {

using namespace e2e;
using desktop::BoxIcon;
using desktop::Milliseconds;
using desktop::Process;

TEST_F(ProgramTest, SynchronizeNowAgainstChronydShowsAndRecordsTheSuccess) {
    SeedLaterStart();
    Process* copy = nullptr;
    const HWND main = StartAndWait("", &copy);
    ASSERT_NE(nullptr, main);
    EXPECT_TRUE(FieldBecomes(main, IDC_MAIN_SERVER_TITLE, "chronyd"));
    EXPECT_EQ("Null", Field(main, IDC_MAIN_STATUS));  // the store holds no status line yet
    ASSERT_TRUE(desktop::PostCommand(main, IDC_MAIN_SYNCHRONIZE));

    const auto box = TickwellSession::BoxOf(*copy, kTitle);
    ASSERT_TRUE(box);
    EXPECT_EQ(presentation::kSuccessBox, box->text());
    EXPECT_EQ(BoxIcon::kInformation, box->Icon(kMoment));
    box->Answer(IDOK);

    const std::regex success(
        "Success synchro: [A-Za-z]+\\. \\d\\d, \\d{4}\\. Net delay: 0\\.\\d{3} sec\\.");
    EXPECT_TRUE(desktop::WaitUntil(
        [&] { return std::regex_match(Field(main, IDC_MAIN_STATUS), success); }, kMoment))
        << Field(main, IDC_MAIN_STATUS);
    EXPECT_TRUE(std::regex_match(Field(main, IDC_MAIN_TIME_AFTER),
                                 std::regex("\\d\\d:\\d\\d:\\d\\d   \\d{3}ms")));
    EXPECT_NE("00/00/0000", Field(main, IDC_MAIN_DATE));
    EXPECT_EQ(Field(main, IDC_MAIN_STATUS),
              TickwellSession::Options().ReadString("sConnectStatus"));
    EXPECT_EQ(Today().wDay, TickwellSession::Options().ReadDword("nSynDay"));
    Picture(main, "main-window");
}

// A server three hours ahead next to an honest one: the honest one's word keeps the clock.
TEST_F(ProgramTest, AServerThreeHoursAheadIsOverruledByTheNextOne) {
    SeedLaterStart({}, {{"ahead", kAhead}, {"chronyd", kChronyd}});
    Process* copy = nullptr;
    const HWND main = StartAndWait("", &copy);
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(desktop::PostCommand(main, IDC_MAIN_SYNCHRONIZE));
    const auto box = TickwellSession::BoxOf(*copy, presentation::kErrorCaption);
    ASSERT_TRUE(box);
    EXPECT_TRUE(std::regex_match(box->text(),
                                 std::regex("chronyd \\(127\\.0\\.0\\.1\\) disagrees by 10800 s; "
                                            "the clock was left alone\\.\n\nahead "
                                            "\\(127\\.0\\.0\\.3\\)\\.")))
        << box->text();
    box->Answer(IDOK);
    EXPECT_TRUE(FieldBecomes(main, IDC_MAIN_SERVER_TITLE, "chronyd"));
    EXPECT_EQ(0u, Field(main, IDC_MAIN_STATUS).find("chronyd (127.0.0.1) disagrees by "))
        << Field(main, IDC_MAIN_STATUS);
    EXPECT_FALSE(TickwellSession::Options().ReadString("sConnectStatus"));  // failures stay unsaved
}

TEST_F(ProgramTest, ASilentServerFailsTheRunSayingWhyAndTheHistoryKeepsBothRuns) {
    SeedLaterStart({}, {{"silent", kSilent}, {"chronyd", kChronyd}});
    Process* copy = nullptr;
    const HWND main = StartAndWait("", &copy);
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(desktop::PostCommand(main, IDC_MAIN_SYNCHRONIZE));

    // The window answers while the run waits its 5 s for the silent server: a window that
    // waited with it would not answer within a second.
    ASSERT_TRUE(desktop::WaitUntil(
        [&] { return desktop::ProgressPosition(desktop::Control(main, IDC_MAIN_PROGRESS)) > 0; },
        kMoment));
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(desktop::ResponseTime(main, Milliseconds(1000)));
        ::Sleep(200);
    }

    const auto box = TickwellSession::BoxOf(*copy, presentation::kErrorCaption);
    ASSERT_TRUE(box);
    RunResult silent;
    silent.failure = FailureOf(FailureKind::kNoAnswer);
    silent.failure.timeoutMs = 5000;
    silent.serverTitle = "silent";
    silent.address = "127.0.0.9";
    EXPECT_EQ(
        std::string(presentation::kReceivingBox) + "\n\n" + presentation::FailureParagraph(silent),
        box->text());
    EXPECT_EQ(BoxIcon::kError, box->Icon(kMoment));
    box->Answer(IDOK);
    EXPECT_TRUE(FieldBecomes(main, IDC_MAIN_SERVER_TITLE, "chronyd"));
    EXPECT_TRUE(
        std::regex_match(Field(main, IDC_MAIN_STATUS),
                         std::regex("Communication error! \\d\\d:\\d\\d; \\d\\d-[A-Za-z]+-\\d{4}")))
        << Field(main, IDC_MAIN_STATUS);
    EXPECT_FALSE(TickwellSession::Options().ReadString("sConnectStatus"));  // failures stay unsaved

    ASSERT_TRUE(desktop::PostCommand(main, IDC_MAIN_SYNCHRONIZE));
    const auto success = TickwellSession::BoxOf(*copy, kTitle);
    ASSERT_TRUE(success);
    success->Answer(IDOK);
    const std::string time = "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ";
    EXPECT_TRUE(desktop::WaitUntil(
        [&] {
            return HistoryLines("^" + time +
                                ",manual,chronyd,127\\.0\\.0\\.1,127\\.0\\.0\\.1,success,[+-]"
                                "\\d+\\.\\d{6},\\d\\.\\d{6},8,[+-]\\d+\\.\\d{6},,$") == 1;
        },
        kMoment))
        << TickwellSession::HistoryText();
    const std::string text = TickwellSession::HistoryText();
    EXPECT_EQ(0u, text.find("time,kind,server,host,address,result,offset,delay,stratum,step,"
                            "reason,secure\r\n"));
    EXPECT_EQ(1, HistoryLines("^" + time +
                              ",manual,silent,127\\.0\\.0\\.9,127\\.0\\.0\\.9,failure,,,,,No "
                              "answer from 127\\.0\\.0\\.9 within 5 s\\.,$"))
        << text;

    // The History window, from the tray menu: the newest run first, the failure marked.
    const auto icon = desktop::NotificationArea::WaitForIconOf(copy->id(), kMoment);
    ASSERT_TRUE(icon);
    desktop::NotificationArea::RightClick(*icon);
    const HWND menu = desktop::WaitForPopupMenu(copy->id(), kMoment);
    ASSERT_NE(nullptr, menu);
    desktop::ChooseMenuItemByMnemonic(menu, 'h');
    const HWND history = desktop::WaitForWindow(
        {.processId = copy->id(), .title = "Tickwell History", .visibleOnly = true}, kMoment);
    ASSERT_NE(nullptr, history);
    const desktop::ListViewSeen list(desktop::Control(history, IDC_HISTORY_LIST));
    ASSERT_TRUE(desktop::WaitUntil([&] { return list.RowCount() == 2; }, kMoment));
    EXPECT_EQ("ok", list.Text(0, 0));
    EXPECT_EQ("chronyd", list.Text(0, 3));
    EXPECT_EQ("FAILED", list.Text(1, 0));
    EXPECT_EQ("127.0.0.9", list.Text(1, 5));
    EXPECT_EQ("", list.Text(1, 10));  // asked plainly: not secure
    EXPECT_EQ(presentation::FailureSentence(silent), list.Text(1, 11));
    // Local time, to the second, as the cells show it; the file keeps UTC.
    EXPECT_TRUE(
        std::regex_match(list.Text(0, 1), std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d")))
        << list.Text(0, 1);
    Picture(history, "history-window");
}

// Secure time from chronyd: its certificate leads to the organisation's root (the tests' CA,
// which Wine takes from the namespace's bundle), the reply authenticates, and the status line,
// the history and the tray tip say so.
TEST_F(ProgramTest, SynchronizeNowThroughNtsSaysTheTimeWasSecure) {
    SeedLaterStart({}, {{"secure", "nts.test", 1, true}});
    Process* copy = nullptr;
    const HWND main = StartAndWait("", &copy);
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(desktop::PostCommand(main, IDC_MAIN_SYNCHRONIZE));
    const auto box = TickwellSession::BoxOf(*copy, kTitle);
    ASSERT_TRUE(box);
    EXPECT_EQ(presentation::kSuccessBox, box->text());
    box->Answer(IDOK);
    EXPECT_TRUE(desktop::WaitUntil(
        [&] {
            return std::regex_search(Field(main, IDC_MAIN_STATUS),
                                     std::regex(" sec\\. Secure \\(NTS\\)\\.$"));
        },
        kMoment))
        << Field(main, IDC_MAIN_STATUS);
    EXPECT_EQ(1, HistoryLines(",manual,secure,nts\\.test,127\\.0\\.0\\.1,success,.*,nts$"))
        << TickwellSession::HistoryText();
    EXPECT_TRUE(desktop::WaitUntil(
        [&] {
            const auto icon = desktop::NotificationArea::WaitForIconOf(copy->id(), kMoment);
            return icon && icon->tip.starts_with("Synchronized, secure: Tickwell - ");
        },
        kMoment));
    desktop::Post(main, WM_SYSCOMMAND, IDM_SYSTEM_HISTORY);
    const HWND history = desktop::WaitForWindow(
        {.processId = copy->id(), .title = "Tickwell History", .visibleOnly = true}, kMoment);
    ASSERT_NE(nullptr, history);
    const desktop::ListViewSeen list(desktop::Control(history, IDC_HISTORY_LIST));
    ASSERT_TRUE(desktop::WaitUntil([&] { return list.RowCount() == 1; }, kMoment));
    EXPECT_EQ("NTS", list.Text(0, 10));
}

// "Only secure time servers": the run passes over the plain server it would have asked.
TEST_F(ProgramTest, OnlySecureServersKeepsTheRunOffThePlainServer) {
    FaultSntpServer plain({}, net::Endpoint::Ipv6Loopback(123));  // clear of chronyd
    SeedLaterStart({{"bOnlyNts", 1}},
                   {{"plain", plain.address()}, {"secure", "nts.test", 1, true}});
    Process* copy = nullptr;
    const HWND main = StartAndWait("", &copy);
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(desktop::PostCommand(main, IDC_MAIN_SYNCHRONIZE));
    const auto box = TickwellSession::BoxOf(*copy, kTitle);
    ASSERT_TRUE(box);
    EXPECT_EQ(presentation::kSuccessBox, box->text());
    box->Answer(IDOK);
    EXPECT_TRUE(desktop::WaitUntil(
        [] { return HistoryLines(",manual,secure,nts\\.test,.*,success,.*,nts$") == 1; }, kMoment))
        << TickwellSession::HistoryText();
    EXPECT_EQ(0, plain.requests());
}

// Asleep, the clock drifted: a resume runs the daily schedule again although today's run
// succeeded, and the tray tip tells the last result and the next run.
TEST_F(ProgramTest, AResumeFromSleepRunsTheDailyScheduleAgain) {
    SeedLaterStart({{"nSynPeriod", 0}, {"bExitAfter", 0}});
    ASSERT_TRUE(TickwellSession::SetConnected(true));
    Process* copy = nullptr;
    const HWND main = StartAndWait(" StartUp", &copy);
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(
        desktop::WaitUntil([] { return HistoryLines(",scheduled,chronyd,") == 1; }, kRunTimeout));
    ::Sleep(2000);  // ticks enough to start another run, were one due
    EXPECT_EQ(1, HistoryLines(",success,"));

    desktop::Post(main, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    // The run after the resume asks chronyd again no sooner than 15 s after the first.
    EXPECT_TRUE(desktop::WaitUntil([] { return HistoryLines(",after resume,chronyd,") == 1; },
                                   Milliseconds(15000) + kRunTimeout))
        << TickwellSession::HistoryText();
    // Tomorrow's run starts at a random moment of the day's first 15 minutes.
    const std::regex tip(
        "Synchronized: Tickwell - synchronized today \\d\\d:\\d\\d, offset [+-]\\d+\\.\\d{3} "
        "s\nNext run: tomorrow 00:(0\\d|1[0-4])");
    EXPECT_TRUE(desktop::WaitUntil(
        [&] {
            const auto icon = desktop::NotificationArea::WaitForIconOf(copy->id(), kMoment);
            return icon && std::regex_match(icon->tip, tip) && !ShowsTheRedMark(*icon);
        },
        kMoment));
}

// This test's own SNTP server, on the port the program asks: on ::1, since under Wine a UDP
// socket bound to another 127.0.0.x address at that port collides with chronyd's.
net::Endpoint TestServerEndpoint() {
    return net::Endpoint::Ipv6Loopback(123);
}

// An outage: two servers that never answer (one of them this test's, which counts) and a
// name that does not resolve. The scheduled runs ask each once, then pause before the next
// pass, which the History window announces (walking on through the catalogue, they used to
// ask a server every 5 to 6 s for as long as it lasted). How long the pauses are is the
// native pacing tests' to check.
TEST_F(ProgramTest, AnOutagePausesTheScheduledRunsAfterOnePassOverTheCatalogue) {
    FaultSntpServer first({.fault = Fault::kSilent}, TestServerEndpoint());
    SeedLaterStart(
        {{"nSynPeriod", 0}, {"bExitAfter", 0}},
        {{"first", first.address()}, {"second", kSilent}, {"nowhere", "nowhere.sntp.test"}});
    ASSERT_TRUE(TickwellSession::SetConnected(true));
    Process* copy = nullptr;
    const HWND main = StartAndWait(" StartUp", &copy);
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(desktop::WaitUntil([] { return HistoryLines(",scheduled,nowhere,") == 1; },
                                   kStartTimeout + 2 * kRunTimeout))
        << TickwellSession::HistoryText();
    EXPECT_EQ(3, HistoryLines(",scheduled,[a-z]+,.*,failure,"));
    EXPECT_EQ(1, HistoryLines(",scheduled,second,"));

    ExpectTheHistoryWindowToAnnounceTheNextRun(*copy, main);
    ::Sleep(2000);  // ticks that would start the next pass, were it not paused
    EXPECT_EQ(1, first.requests());
    EXPECT_EQ(3, HistoryLines(",scheduled,")) << TickwellSession::HistoryText();
}

// A server that answers RATE ("slow down") is asked once and left alone for a quarter of an
// hour: it was the only one, so the status line says nothing is asked, and the History window
// tells when the next attempt is due.
TEST_F(ProgramTest, AServerAskingToSlowDownIsAskedOnceAndTheStatusSaysItIsLeftAlone) {
    FaultSntpServer slowDown({.fault = Fault::kKissOfDeath, .kissCode = "RATE"},
                             TestServerEndpoint());
    SeedLaterStart({{"nSynPeriod", 0}, {"bExitAfter", 0}}, {{"rate", slowDown.address()}});
    ASSERT_TRUE(TickwellSession::SetConnected(true));
    Process* copy = nullptr;
    const HWND main = StartAndWait("", &copy);
    ASSERT_NE(nullptr, main);
    const std::regex leftAlone(Literal(presentation::kAllLeftAloneStatus) +
                               "\\d\\d:\\d\\d; \\d\\d-[A-Za-z]+-\\d{4}");
    EXPECT_TRUE(desktop::WaitUntil(
        [&] { return std::regex_match(Field(main, IDC_MAIN_STATUS), leftAlone); },
        kStartTimeout + kRunTimeout))
        << Field(main, IDC_MAIN_STATUS);
    RunResult kissed;
    kissed.failure = FailureOf(FailureKind::kKissOfDeath);
    kissed.failure.kiss = KissCode::FromText("RATE");
    EXPECT_EQ(1, HistoryLines(",scheduled,rate,::1,::1,failure,.*," +
                              Literal(presentation::HistoryReason(kissed)) + ",$"))
        << TickwellSession::HistoryText();

    ExpectTheHistoryWindowToAnnounceTheNextRun(*copy, main);
    ::Sleep(2000);  // ticks that would ask it again, were it not left alone
    EXPECT_EQ(1, slowDown.requests());
    EXPECT_EQ(1, HistoryLines(",scheduled,"));
}

// Clock changes that no run of ours made are noted; more than three in an hour name the
// cause in the history and the tray tip.
TEST_F(ProgramTest, AnotherProgramSettingTheClockRepeatedlyIsNamed) {
    SeedLaterStart({{"nSynPeriod", 2}});
    Process* copy = nullptr;
    const HWND main = StartAndWait("", &copy);
    ASSERT_NE(nullptr, main);
    for (int i = 0; i < 4; ++i) {
        desktop::Post(main, WM_TIMECHANGE);
    }
    const std::string noted = ",clock set elsewhere,,,,note,,,,,";
    EXPECT_TRUE(desktop::WaitUntil(
        [&] {
            return HistoryLines(noted + Literal(presentation::ClockChangeNote(false)) + ",$") ==
                       3 &&
                   HistoryLines(noted + Literal(presentation::ClockChangeNote(true)) + ",$") == 1;
        },
        kMoment))
        << TickwellSession::HistoryText();
    EXPECT_TRUE(desktop::WaitUntil(
        [&] {
            const auto icon = desktop::NotificationArea::WaitForIconOf(copy->id(), kMoment);
            return icon && icon->tip == "Overdue: Tickwell - not synchronized yet\n" +
                                            presentation::ClockChangeNote(true);
        },
        kMoment));

    // The window's system menu opens the History window too.
    desktop::Post(main, WM_SYSCOMMAND, IDM_SYSTEM_HISTORY);
    const HWND history = desktop::WaitForWindow(
        {.processId = copy->id(), .title = "Tickwell History", .visibleOnly = true}, kMoment);
    ASSERT_NE(nullptr, history);
    EXPECT_EQ("note",
              desktop::ListViewSeen(desktop::Control(history, IDC_HISTORY_LIST)).Text(3, 0));
    // Escape closes it as any dialog's does.
    ASSERT_TRUE(desktop::PostKeyPress(desktop::Control(history, IDC_HISTORY_LIST), VK_ESCAPE));
    EXPECT_TRUE(WaitUntilShown(history, false));
}

}  // namespace
