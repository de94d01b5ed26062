// Tickwell.exe as a user meets it: started, synchronising, hidden and shown, closed.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <future>
#include <regex>
#include <sstream>
#include <thread>

#include "resources/tickwell_ids.h"
#include "tests/e2e/explorer_window.h"
#include "tests/e2e/list_view_seen.h"
#include "tests/e2e/notification_area.h"
#include "tests/e2e/popup_menu.h"
#include "tests/e2e/program_test_fixture.h"
#include "tests/support/fault_sntp_server.h"

namespace {

using namespace e2e;

// The text as a regular expression that matches only itself.
std::string Literal(const std::string& text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}
using desktop::BoxIcon;
using desktop::MessageBoxSeen;
using desktop::Milliseconds;
using desktop::Process;

TEST_F(ProgramTest, FirstStartAsksForTheTimeZoneFirstAndStoresTheDefaults) {
    Process& copy = session.Start(" StartUp");  // shown anyway on the first start
    const auto box = TickwellSession::BoxOf(copy, kTitle, kStartTimeout);
    ASSERT_TRUE(box);
    EXPECT_EQ(presentation::kTimeZoneCheckBox, box->text());
    EXPECT_EQ(BoxIcon::kInformation, box->Icon(kMoment));
    EXPECT_EQ(nullptr, TickwellSession::MainWindowOf(copy, Milliseconds(0)));
    EXPECT_TRUE(TickwellSession::Options().Exists());
    EXPECT_EQ(19u, TickwellSession::Servers().ReadDword("Servers_Counter"));
    EXPECT_EQ(1u, TickwellSession::Options().ReadDword("bFirstStart"));  // no jump warning yet

    box->Answer(IDOK);
    const HWND main = TickwellSession::MainWindowOf(copy);
    ASSERT_NE(nullptr, main);
    EXPECT_TRUE(WaitUntilShown(main, true));
    EXPECT_EQ(kTitle, desktop::TextOf(main));
    EXPECT_EQ("00/00/0000", Field(main, IDC_MAIN_DATE));
}

TEST_F(ProgramTest, TheLastWordStartUpStartsHidden) {
    struct Case {
        const char* arguments;
        bool shown;
    };
    for (const Case& c : {Case{" StartUp", false}, Case{" /StartUp", false}, Case{" startup", true},
                          Case{" StartUp ", true}, Case{"", true}}) {
        TickwellSession fresh;
        SeedLaterStart();
        Process* copy = nullptr;
        const HWND main = StartAndWait(c.arguments, &copy);
        ASSERT_NE(nullptr, main) << c.arguments;
        // Settled: the window of a hidden start must not appear a moment later.
        ::Sleep(500);
        EXPECT_EQ(c.shown, desktop::IsShown(main)) << "arguments: \"" << c.arguments << "\"";
        EXPECT_EQ(kTitle, desktop::TextOf(main));
        copy->Kill(kMoment);
    }
}

TEST_F(ProgramTest, TwoStartsAtOnceLeaveOneCopy) {
    TickwellSession other;  // each copy in a session of its own, so both references last
    SeedLaterStart();
    Process& one = session.Start(" StartUp");
    Process& two = other.Start(" StartUp");
    ASSERT_TRUE(
        desktop::WaitUntil([&] { return one.IsRunning() != two.IsRunning(); }, kStartTimeout));
    ::Sleep(1000);
    EXPECT_NE(one.IsRunning(), two.IsRunning());
    EXPECT_NE(nullptr, TickwellSession::MainWindowOf(one.IsRunning() ? one : two));
}

TEST_F(ProgramTest, ASecondCopyRestoresTheFirstAndEnds) {
    for (const char* second : {"", " StartUp"}) {
        TickwellSession fresh;
        SeedLaterStart();
        Process* first = nullptr;
        const HWND main = StartAndWait(" StartUp", &first);
        ASSERT_NE(nullptr, main);
        ASSERT_FALSE(desktop::IsShown(main));

        Process& copy = fresh.Start(second);
        EXPECT_EQ(0u, copy.WaitForExit(kStartTimeout)) << second;
        EXPECT_TRUE(WaitUntilShown(main, true)) << second;
        EXPECT_TRUE(first->IsRunning());
        first->Kill(kMoment);
    }
}

TEST_F(ProgramTest, AStartWhileTheCopyEndsRunsAsTheNextCopy) {
    TickwellSession later;  // a session of its own, so that both references last
    SeedLaterStart();
    Process* ending = nullptr;
    const HWND main = StartAndWait(" StartUp", &ending);
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(desktop::NotificationArea::WaitForIconOf(ending->id(), kMoment));

    // Under Wine the copy has mostly ended before the next start looks; the test below holds
    // one in its end.
    desktop::Post(main, ::RegisterWindowMessageA("Quorvane.Tickwell.Exit"));
    Process& next = later.Start("");
    EXPECT_EQ(0u, ending->WaitForExit(kMoment));
    const HWND window = TickwellSession::MainWindowOf(next);
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(WaitUntilShown(window, true));
    ::Sleep(1000);
    EXPECT_TRUE(next.IsRunning());
    EXPECT_EQ(1u, desktop::TopLevelWindows({.className = "#32770", .title = kTitle}).size());
}

TEST_F(ProgramTest, AStartWaitsForACopyWithoutAWindowToLetGo) {
    char user[257] = {};
    DWORD length = sizeof user;
    ::GetUserNameA(user, &length);
    const std::string name = std::string("Local\\Quorvane.Tickwell.") + user;
    // A copy that ends slowly: it holds the mutex, has no window and at last lets go, or its
    // thread ends without letting go.
    for (const bool releases : {true, false}) {
        TickwellSession fresh;
        SeedLaterStart();
        std::promise<void> held;
        std::promise<void> letGo;
        std::thread ending([&] {
            const HANDLE mutex = ::CreateMutexA(nullptr, TRUE, name.c_str());
            held.set_value();
            letGo.get_future().wait();
            if (releases) {
                ::ReleaseMutex(mutex);
            }
            ::CloseHandle(mutex);
        });
        held.get_future().wait();
        Process& next = fresh.Start("");
        ::Sleep(3000);
        EXPECT_TRUE(next.IsRunning()) << releases;
        EXPECT_EQ(nullptr, TickwellSession::MainWindowOf(next, Milliseconds(0))) << releases;
        letGo.set_value();
        ending.join();
        const HWND window = TickwellSession::MainWindowOf(next);
        ASSERT_NE(nullptr, window) << releases;
        EXPECT_TRUE(WaitUntilShown(window, true)) << releases;
    }
}

TEST_F(ProgramTest, AnExplorerWindowNamedTickwellIsNoRunningCopy) {
    SeedLaterStart();
    desktop::ExplorerLookalike folder(kTitle);
    ASSERT_NE(nullptr, folder.window());
    Process* copy = nullptr;
    const HWND main = StartAndWait("", &copy);
    ASSERT_NE(nullptr, main);
    EXPECT_TRUE(WaitUntilShown(main, true));
    EXPECT_TRUE(copy->IsRunning());
}

TEST_F(ProgramTest, SynchronizeNowAgainstChronydShowsAndRecordsTheSuccess) {
    SeedLaterStart();
    Process* copy = nullptr;
    const HWND main = StartAndWait("", &copy);
    ASSERT_NE(nullptr, main);
    EXPECT_TRUE(FieldBecomes(main, IDC_MAIN_SERVER_TITLE, "chronyd"));
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

// How many lines of the history (line breaks aside) the pattern finds.
int HistoryLines(const std::string& pattern) {
    std::istringstream text(TickwellSession::HistoryText());
    const std::regex wanted(pattern);
    int found = 0;
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        found += std::regex_search(line, wanted) ? 1 : 0;
    }
    return found;
}

// Whether the icon, as explorer shows it, carries the failing state's red mark: more red than
// the clock's centre could hold.
bool ShowsTheRedMark(const desktop::TrayIcon& icon) {
    const std::optional<desktop::Image> shown = desktop::CaptureWindow(icon.window);
    int red = 0;
    for (int y = 0; shown && y < shown->height; ++y) {
        for (int x = 0; x < shown->width; ++x) {
            const std::uint8_t* pixel = shown->Pixel(x, y);
            red += pixel[0] > 170 && pixel[1] < 90 && pixel[2] < 90 ? 1 : 0;
        }
    }
    return red >= 12;
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

    // The window answers at once while the run waits for the silent server.
    ASSERT_TRUE(desktop::WaitUntil(
        [&] { return desktop::ProgressPosition(desktop::Control(main, IDC_MAIN_PROGRESS)) > 0; },
        kMoment));
    for (int i = 0; i < 10; ++i) {
        const auto answered = desktop::ResponseTime(main, Milliseconds(1000));
        ASSERT_TRUE(answered);
        EXPECT_LT(*answered, std::chrono::milliseconds(100));
        ::Sleep(200);
    }

    const auto box = TickwellSession::BoxOf(*copy, presentation::kErrorCaption);
    ASSERT_TRUE(box);
    RunResult silent;
    silent.failure = RunFailure::kNoAnswer;
    silent.serverTitle = "silent";
    silent.address = "127.0.0.9";
    silent.timeoutMs = 5000;
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
                                "\\d+\\.\\d{6},\\d\\.\\d{6},8,[+-]\\d+\\.\\d{6},$") == 1;
        },
        kMoment))
        << TickwellSession::HistoryText();
    const std::string text = TickwellSession::HistoryText();
    EXPECT_EQ(0u, text.find("time,kind,server,host,address,result,offset,delay,stratum,step,"
                            "reason\r\n"));
    EXPECT_EQ(1, HistoryLines("^" + time +
                              ",manual,silent,127\\.0\\.0\\.9,127\\.0\\.0\\.9,failure,,,,,No "
                              "answer from 127\\.0\\.0\\.9 within 5 s\\.$"))
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
    EXPECT_EQ(presentation::FailureSentence(silent), list.Text(1, 10));
    Picture(history, "history-window");
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
    const std::regex tip(
        "Synchronized: Tickwell - synchronized today \\d\\d:\\d\\d, offset [+-]\\d+\\.\\d{3} "
        "s\nNext run: tomorrow 00:00");
    EXPECT_TRUE(desktop::WaitUntil(
        [&] {
            const auto icon = desktop::NotificationArea::WaitForIconOf(copy->id(), kMoment);
            return icon && std::regex_match(icon->tip, tip) && !ShowsTheRedMark(*icon);
        },
        kMoment));
}

// Wine refuses every step of the clock above half a second, as Windows refuses one to a
// user without the right: the scheduled run against a server three hours ahead (the only
// one, so none confirms or contradicts it) fails so, which the next run will not mend. The
// icon turns to failing and a balloon says why and what to do; a click on it opens the
// History window.
TEST_F(ProgramTest, ARefusedScheduledStepShowsABalloonThatOpensTheHistory) {
    SeedLaterStart({{"nSynPeriod", 0}, {"bExitAfter", 0}}, {{"ahead", kAhead}});
    ASSERT_TRUE(TickwellSession::SetConnected(true));
    Process* copy = nullptr;
    ASSERT_NE(nullptr, StartAndWait(" StartUp", &copy));
    ASSERT_TRUE(desktop::WaitUntil(
        [] { return HistoryLines(",scheduled,ahead,127\\.0\\.0\\.3,.*,failure,") == 1; },
        kRunTimeout))
        << TickwellSession::HistoryText();
    std::optional<desktop::TrayIcon> icon;
    EXPECT_TRUE(desktop::WaitUntil(
        [&] {
            icon = desktop::NotificationArea::WaitForIconOf(copy->id(), kMoment);
            return icon && icon->tip.find("Failing: Tickwell - last attempt failed: ") == 0 &&
                   ShowsTheRedMark(*icon);
        },
        kMoment))
        << (icon ? icon->tip : "no icon");
    ASSERT_TRUE(icon);

    const auto balloon = desktop::NotificationArea::WaitForBalloon(*icon, kRunTimeout);
    ASSERT_TRUE(balloon);
    StatusView refused;
    refused.lastAutomatic = RunResult{};
    refused.lastAutomatic->failure = RunFailure::kClockRefused;
    refused.lastAutomatic->code = 1314;
    EXPECT_EQ(presentation::BalloonText(BalloonCause::kStepRefused, refused), balloon->text);
    ::Sleep(500);  // painted
    RECT area{};
    const auto tray = desktop::RectOf(desktop::NotificationArea::Window());
    const auto shown = desktop::RectOf(balloon->window);
    ASSERT_TRUE(tray && shown);
    ::UnionRect(&area, &*tray, &*shown);
    const auto picture = desktop::CaptureScreen(area);
    ASSERT_TRUE(picture);
    EXPECT_TRUE(
        desktop::PngWriter::Write(*picture, TickwellSession::ScreenshotPath("balloon-refused")));

    ASSERT_TRUE(desktop::NotificationArea::ClickBalloon(*icon));
    EXPECT_NE(
        nullptr,
        desktop::WaitForWindow(
            {.processId = copy->id(), .title = "Tickwell History", .visibleOnly = true}, kMoment));
}

// The tray menu's "Notifications" turns the balloons off and on again, stored at once.
TEST_F(ProgramTest, TheTrayMenusNotificationsSwitchesBalloonsAndStoresIt) {
    SeedLaterStart();
    Process* copy = nullptr;
    ASSERT_NE(nullptr, StartAndWait(" StartUp", &copy));
    const auto icon = desktop::NotificationArea::WaitForIconOf(copy->id(), kMoment);
    ASSERT_TRUE(icon);
    for (const DWORD stored : {0u, 1u}) {
        ASSERT_TRUE(desktop::NotificationArea::RightClick(*icon));
        const HWND menu = desktop::WaitForPopupMenu(copy->id(), kMoment);
        ASSERT_NE(nullptr, menu);
        desktop::ChooseMenuItemByMnemonic(menu, 'n');
        EXPECT_TRUE(desktop::WaitUntil(
            [&] { return TickwellSession::Options().ReadDword("bNotify") == stored; }, kMoment))
            << stored;
    }
}

// This test's own SNTP server, on the port the program asks: on ::1, since under Wine a UDP
// socket bound to another 127.0.0.x address at that port collides with chronyd's.
net::Endpoint TestServerEndpoint() {
    return net::Endpoint::Ipv6Loopback(123);
}

// An outage: two servers that never answer (one of them this test's, which counts) and a
// name that does not resolve. The scheduled runs ask each once, then pause a minute before
// the next pass (walking on through the catalogue, they used to ask a server every 5 to 6 s
// for as long as it lasted).
TEST_F(ProgramTest, AnOutagePausesTheScheduledRunsAfterOnePassOverTheCatalogue) {
    FaultSntpServer first({.fault = Fault::kSilent}, TestServerEndpoint());
    SeedLaterStart(
        {{"nSynPeriod", 0}, {"bExitAfter", 0}},
        {{"first", first.address()}, {"second", kSilent}, {"nowhere", "nowhere.sntp.test"}});
    ASSERT_TRUE(TickwellSession::SetConnected(true));
    ASSERT_NE(nullptr, StartAndWait(" StartUp"));
    ASSERT_TRUE(desktop::WaitUntil([] { return HistoryLines(",scheduled,nowhere,") == 1; },
                                   kStartTimeout + 2 * kRunTimeout))
        << TickwellSession::HistoryText();
    EXPECT_EQ(3, HistoryLines(",scheduled,[a-z]+,.*,failure,"));
    EXPECT_EQ(1, first.requests());

    // The next pass starts with the first server again, no sooner than a minute after the
    // pass ended; meanwhile nothing ran (the next run's line comes when it fails).
    ASSERT_TRUE(desktop::WaitUntil([&] { return first.requests() == 2; },
                                   Milliseconds(60000) + 2 * kRunTimeout));
    const std::vector<std::chrono::steady_clock::time_point> asked = first.RequestTimes();
    EXPECT_GE(asked.at(1) - asked.at(0), std::chrono::seconds(60));
    EXPECT_EQ(3, HistoryLines(",scheduled,")) << TickwellSession::HistoryText();
    EXPECT_EQ(1, HistoryLines(",scheduled,second,"));
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
    kissed.failure = RunFailure::kKissOfDeath;
    kissed.detail = "RATE";
    EXPECT_EQ(1, HistoryLines(",scheduled,rate,::1,::1,failure,.*," +
                              Literal(presentation::HistoryReason(kissed)) + "$"))
        << TickwellSession::HistoryText();

    desktop::Post(main, WM_SYSCOMMAND, IDM_SYSTEM_HISTORY);
    const HWND history = desktop::WaitForWindow(
        {.processId = copy->id(), .title = "Tickwell History", .visibleOnly = true}, kMoment);
    ASSERT_NE(nullptr, history);
    EXPECT_TRUE(desktop::WaitUntil(
        [&] {
            return std::regex_match(Field(history, IDC_HISTORY_NEXT_RUN),
                                    std::regex("Next run: (today|tomorrow) \\d\\d:\\d\\d"));
        },
        kMoment))
        << Field(history, IDC_HISTORY_NEXT_RUN);
    // Past the 15 s that any server waits between two requests.
    ::Sleep(20000);
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
            return HistoryLines(noted + Literal(presentation::ClockChangeNote(false)) + "$") == 3 &&
                   HistoryLines(noted + Literal(presentation::ClockChangeNote(true)) + "$") == 1;
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

TEST_F(ProgramTest, NoHidesAndTheWindowKeepsTicking) {
    SeedLaterStart();
    Process* copy = nullptr;
    const HWND main = StartAndWait("", &copy);
    ASSERT_NE(nullptr, main);
    desktop::Post(main, WM_CLOSE);
    AnswerExitQuestion(*copy, IDNO);
    EXPECT_TRUE(WaitUntilShown(main, false));

    // "Break" changes only the status line, which the next tick shows.
    ASSERT_TRUE(desktop::PostCommand(main, IDC_MAIN_BREAK));
    EXPECT_TRUE(FieldBecomes(main, IDC_MAIN_STATUS, presentation::kBrokenStatus));
    EXPECT_TRUE(copy->IsRunning());
}

TEST_F(ProgramTest, MinimisingHidesAndTheTrayIconBringsTheWindowBackEvenAfterExplorerRestarts) {
    SeedLaterStart();
    Process* copy = nullptr;
    const HWND main = StartAndWait("", &copy);
    ASSERT_NE(nullptr, main);
    const auto icon = desktop::NotificationArea::WaitForIconOf(copy->id(), kMoment);
    ASSERT_TRUE(icon);
    EXPECT_EQ(0u, icon->tip.find("Overdue: Tickwell - not synchronized yet")) << icon->tip;

    desktop::Post(main, WM_SYSCOMMAND, SC_MINIMIZE);
    EXPECT_TRUE(WaitUntilShown(main, false));
    desktop::NotificationArea::DoubleClick(*icon);
    // Shown first, then restored: a look in between finds it still minimised.
    EXPECT_TRUE(
        desktop::WaitUntil([&] { return desktop::IsShown(main) && !::IsIconic(main); }, kMoment));

    // A restarted Explorer has forgotten every icon and says so to every window.
    NOTIFYICONDATAA forget{};
    forget.cbSize = NOTIFYICONDATAA_V1_SIZE;
    forget.hWnd = main;
    forget.uID = 137;
    ASSERT_TRUE(::Shell_NotifyIconA(NIM_DELETE, &forget));
    ASSERT_TRUE(desktop::NotificationArea::WaitUntilNoIconOf(copy->id(), kMoment));
    desktop::Post(main, ::RegisterWindowMessageA("TaskbarCreated"));
    EXPECT_TRUE(desktop::NotificationArea::WaitForIconOf(copy->id(), kMoment));
}

TEST_F(ProgramTest, WithoutTheTrayIconMinimisingAndNoKeepATaskbarButton) {
    SeedLaterStart({{"bShowIcon", 0}});
    Process* copy = nullptr;
    const HWND main = StartAndWait("", &copy);
    ASSERT_NE(nullptr, main);
    desktop::Post(main, WM_SYSCOMMAND, SC_MINIMIZE);
    EXPECT_TRUE(desktop::WaitUntil([&] { return ::IsIconic(main) != FALSE; }, kMoment));
    EXPECT_TRUE(desktop::IsShown(main));
    desktop::Post(main, WM_CLOSE);
    AnswerExitQuestion(*copy, IDNO);
    ::Sleep(500);
    EXPECT_TRUE(desktop::IsShown(main) && ::IsIconic(main));
}

TEST_F(ProgramTest, TheTrayMenusExitAsksOnceAndEndsTheProgram) {
    SeedLaterStart();
    Process* copy = nullptr;
    const HWND main = StartAndWait(" StartUp", &copy);
    ASSERT_NE(nullptr, main);
    const auto icon = desktop::NotificationArea::WaitForIconOf(copy->id(), kMoment);
    ASSERT_TRUE(icon);
    desktop::NotificationArea::RightClick(*icon);
    const HWND menu = desktop::WaitForPopupMenu(copy->id(), kMoment);
    ASSERT_NE(nullptr, menu);
    Picture(menu, "tray-menu");
    desktop::ChooseMenuItemByMnemonic(menu, 'e');
    ASSERT_TRUE(TickwellSession::BoxOf(*copy, kTitle, kMoment));

    // Exit again while the question is open: the same question, no second one.
    desktop::NotificationArea::RightClick(*icon);
    const HWND again = desktop::WaitForPopupMenu(copy->id(), kMoment);
    ASSERT_NE(nullptr, again);
    desktop::ChooseMenuItemByMnemonic(again, 'e');
    ::Sleep(1000);
    EXPECT_EQ(1u, MessageBoxSeen::Find(kTitle, copy->id()).size());
    AnswerExitQuestion(*copy, IDYES);
    EXPECT_EQ(0u, copy->WaitForExit(kMoment));
    EXPECT_TRUE(desktop::NotificationArea::WaitUntilNoIconOf(copy->id(), kMoment));
}

TEST_F(ProgramTest, SetupsExitRequestEndsTheProgramWithoutAQuestion) {
    SeedLaterStart();
    Process* copy = nullptr;
    const HWND main = StartAndWait(" StartUp", &copy);
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(desktop::NotificationArea::WaitForIconOf(copy->id(), kMoment));
    desktop::Post(main, ::RegisterWindowMessageA("Quorvane.Tickwell.Exit"));
    EXPECT_EQ(0u, copy->WaitForExit(kMoment));
    EXPECT_TRUE(desktop::NotificationArea::WaitUntilNoIconOf(copy->id(), kMoment));
}

TEST_F(ProgramTest, OnlyAHiddenProgramEndsItselfAfterTheDaysSynchronisation) {
    enum class Meanwhile { kNothing, kSecondStart, kOptionsOpen };
    for (const Meanwhile meanwhile :
         {Meanwhile::kNothing, Meanwhile::kSecondStart, Meanwhile::kOptionsOpen}) {
        TickwellSession fresh;
        SeedLaterStart({{"nSynPeriod", 0}, {"bExitAfter", 1}});
        Process* copy = nullptr;
        const HWND main = StartAndWait(" StartUp", &copy);
        ASSERT_NE(nullptr, main);
        HWND options = nullptr;
        if (meanwhile == Meanwhile::kSecondStart) {
            EXPECT_EQ(0u, fresh.Start().WaitForExit(kStartTimeout));
            ASSERT_TRUE(WaitUntilShown(main, true));
        } else if (meanwhile == Meanwhile::kOptionsOpen) {
            ASSERT_TRUE(desktop::Post(main, WM_COMMAND, ID_TRAY_OPTIONS));  // the tray menu's
            options = desktop::WaitForWindow(
                [&](HWND window) {
                    return desktop::ProcessOf(window) == copy->id() && desktop::IsShown(window) &&
                           ::GetDlgItem(window, IDC_OPTIONS_TIMEOUT) != nullptr;
                },
                kMoment);
            ASSERT_NE(nullptr, options);
        }
        ASSERT_TRUE(TickwellSession::SetConnected(true));
        if (meanwhile == Meanwhile::kNothing) {
            EXPECT_EQ(0u, copy->WaitForExit(kRunTimeout));
            EXPECT_TRUE(MessageBoxSeen::Find("", copy->id()).empty());
        } else {
            EXPECT_TRUE(desktop::WaitUntil(
                [] { return TickwellSession::Options().ReadDword("nSynDay") == Today().wDay; },
                kRunTimeout));
            ::Sleep(3000);  // ticks that would have ended it
            EXPECT_TRUE(copy->IsRunning());
        }
        EXPECT_EQ(Today().wDay, TickwellSession::Options().ReadDword("nSynDay"));
        if (options != nullptr) {
            // Closed, the dialog no longer holds the hidden program back.
            ASSERT_TRUE(desktop::PostCommand(options, IDCANCEL));
            EXPECT_EQ(0u, copy->WaitForExit(kRunTimeout));
        }
        ASSERT_TRUE(TickwellSession::SetConnected(false));
    }
}

TEST_F(ProgramTest, AboutShowsTheVersionAndHelpFallsBackToTheWebSite) {
    SeedLaterStart();
    Process* copy = nullptr;
    const HWND main = StartAndWait("", &copy);
    ASSERT_NE(nullptr, main);

    ASSERT_TRUE(desktop::PostCommand(main, IDC_MAIN_ABOUT));
    const HWND about = desktop::WaitForWindow(
        [&](HWND window) {
            return desktop::ProcessOf(window) == copy->id() && window != main &&
                   desktop::IsShown(window) && ::GetDlgItem(window, 1008) != nullptr;
        },
        kMoment);
    ASSERT_NE(nullptr, about);
    EXPECT_EQ("", desktop::TextOf(about));
    EXPECT_EQ(presentation::AboutText("Tickwell", 3, 5, 0), desktop::ControlText(about, 1008));
    Picture(about, "about-box");
    desktop::PostCommand(about, 1053);
    desktop::PostKeyPress(about, VK_ESCAPE);
    EXPECT_TRUE(desktop::WaitUntilClosed(about, kMoment));
    // The link opened the site; help opens it once more only after that.
    EXPECT_TRUE(
        desktop::WaitUntil([] { return TickwellSession::OpenedUrls().size() == 1; }, kMoment));

    ASSERT_TRUE(desktop::PostCommand(main, IDC_MAIN_HELP));
    const auto box = TickwellSession::BoxOf(*copy, presentation::kHelpErrorCaption, kMoment);
    ASSERT_TRUE(box);
    EXPECT_EQ(presentation::kHelpErrorBox, box->text());
    box->Answer(IDOK);
    EXPECT_TRUE(
        desktop::WaitUntil([] { return TickwellSession::OpenedUrls().size() == 2; }, kMoment));
    EXPECT_EQ(std::vector<std::string>(2, "https://quorvane.example/tickwell/"),
              TickwellSession::OpenedUrls());
}

}  // namespace
