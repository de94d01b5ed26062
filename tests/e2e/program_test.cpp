// Tickwell.exe as a user meets it: started, synchronising, hidden and shown, closed.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <regex>

#include "resources/tickwell_ids.h"
#include "tests/e2e/explorer_window.h"
#include "tests/e2e/notification_area.h"
#include "tests/e2e/popup_menu.h"
#include "tests/e2e/program_test_fixture.h"

namespace {

using namespace e2e;
using desktop::BoxIcon;
using desktop::MessageBoxSeen;
using desktop::Milliseconds;
using desktop::Process;

TEST_F(ProgramTest, FirstStartAsksForTheTimeZoneFirstAndStoresTheDefaults) {
    Process& copy = session.Start(" StartUp");  // shown anyway on the first start
    const auto box = TickwellSession::BoxOf(copy, kTitle, kStartTimeout);
    ASSERT_TRUE(box);
    EXPECT_EQ(
        "Tickwell needs right settings of system date and time zone.\nCheck your Time Zone "
        "Settings, please!",
        box->text());
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
    EXPECT_EQ("Successful synchronization.", box->text());
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

TEST_F(ProgramTest, ASilentServerFailsTheRunAndTheNextRunTakesTheNextServer) {
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

    const auto box = TickwellSession::BoxOf(*copy, "Tickwell:Error");
    ASSERT_TRUE(box);
    EXPECT_EQ("Time receiving error!", box->text());
    EXPECT_EQ(BoxIcon::kError, box->Icon(kMoment));
    box->Answer(IDOK);
    EXPECT_TRUE(FieldBecomes(main, IDC_MAIN_SERVER_TITLE, "chronyd"));
    EXPECT_TRUE(
        std::regex_match(Field(main, IDC_MAIN_STATUS),
                         std::regex("Communication error! \\d\\d:\\d\\d; \\d\\d-[A-Za-z]+-\\d{4}")))
        << Field(main, IDC_MAIN_STATUS);
    EXPECT_FALSE(TickwellSession::Options().ReadString("sConnectStatus"));  // failures stay unsaved
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
    EXPECT_TRUE(FieldBecomes(main, IDC_MAIN_STATUS, "Broken by the user."));
    EXPECT_TRUE(copy->IsRunning());
}

TEST_F(ProgramTest, MinimisingHidesAndTheTrayIconBringsTheWindowBackEvenAfterExplorerRestarts) {
    SeedLaterStart();
    Process* copy = nullptr;
    const HWND main = StartAndWait("", &copy);
    ASSERT_NE(nullptr, main);
    const auto icon = desktop::NotificationArea::WaitForIconOf(copy->id(), kMoment);
    ASSERT_TRUE(icon);
    EXPECT_EQ(kTitle, icon->tip);

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

TEST_F(ProgramTest, TheTrayMenusExitAsksAndEndsTheProgram) {
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

TEST_F(ProgramTest, AHiddenProgramEndsItselfAfterTheDaysSynchronisation) {
    SeedLaterStart({{"nSynPeriod", 0}, {"bExitAfter", 1}});
    ASSERT_TRUE(TickwellSession::SetConnected(true));
    Process* copy = nullptr;
    ASSERT_NE(nullptr, StartAndWait(" StartUp", &copy));
    EXPECT_EQ(0u, copy->WaitForExit(kRunTimeout));
    EXPECT_EQ(Today().wDay, TickwellSession::Options().ReadDword("nSynDay"));
    EXPECT_TRUE(MessageBoxSeen::Find("", copy->id()).empty());
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
    EXPECT_EQ("Tickwell\xAE\tVersion\t 3.05.00\r\r\nCopyright (C) Quorvane. All rights reserved.",
              desktop::ControlText(about, 1008));
    Picture(about, "about-box");
    desktop::PostCommand(about, 1053);
    desktop::PostKeyPress(about, VK_ESCAPE);
    EXPECT_TRUE(desktop::WaitUntilClosed(about, kMoment));

    ASSERT_TRUE(desktop::PostCommand(main, IDC_MAIN_HELP));
    const auto box = TickwellSession::BoxOf(*copy, "Error", kMoment);
    ASSERT_TRUE(box);
    EXPECT_EQ("Inside help system error.\n Help window is not created. \nOnline help opens.",
              box->text());
    box->Answer(IDOK);
    EXPECT_TRUE(
        desktop::WaitUntil([] { return TickwellSession::OpenedUrls().size() == 2; }, kMoment));
    EXPECT_EQ(std::vector<std::string>(2, "https://quorvane.example/tickwell/"),
              TickwellSession::OpenedUrls());
}

}  // namespace
