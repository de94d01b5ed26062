// Tickwell.exe as a user meets it: started, one copy at a time, hidden, closed and ended.
#include <gtest/gtest.h>

#include <windows.h>

#include <future>
#include <thread>

#include "resources/tickwell_ids.h"
#include "tests/e2e/explorer_window.h"
#include "tests/e2e/notification_area.h"
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
    EXPECT_EQ("Initial. There was not synchronization yet.", Field(main, IDC_MAIN_STATUS));
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
