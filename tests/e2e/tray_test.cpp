// The notification area's icon as a user meets it: its state, its balloons and its menu, and
// the window it hides and brings back.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include "tests/e2e/explorer_window.h"
#include "tests/e2e/notification_area.h"
#include "tests/e2e/popup_menu.h"
#include "tests/e2e/program_test_fixture.h"

namespace {

using namespace e2e;
using desktop::MessageBoxSeen;
using desktop::Process;

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
    refused.lastAutomatic->failure = FailureOf(FailureKind::kClockRefused);
    refused.lastAutomatic->failure.error = 1314;
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

}  // namespace
