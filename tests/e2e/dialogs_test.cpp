// The configuration dialogs as a user drives them: Options, the server chooser and the
// dialog that adds a server, through their controls.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <regex>

#include "resources/tickwell_ids.h"
#include "tests/e2e/list_view_seen.h"
#include "tests/e2e/notification_area.h"
#include "tests/e2e/program_test_fixture.h"

namespace {

using namespace e2e;
using desktop::BoxIcon;
using desktop::ListViewSeen;
using desktop::Milliseconds;

constexpr const char* kNotAnInteger = "Please enter an integer.";

class DialogsTest : public ProgramTest {
  protected:
    // Starts the program with these settings and waits for its main window.
    void Start(std::map<std::string, DWORD> options, std::vector<Server> servers) {
        SeedLaterStart(std::move(options), std::move(servers));
        main = StartAndWait("", &copy);
        ASSERT_NE(nullptr, main);
    }
    // The dialog that the main window's button opens, once it shows.
    HWND Open(int button, int controlOfTheDialog) {
        EXPECT_TRUE(desktop::PostCommand(main, button));
        return WaitForDialog(controlOfTheDialog);
    }
    HWND WaitForDialog(int controlOfTheDialog) {
        return desktop::WaitForWindow(
            [&](HWND window) {
                return desktop::ProcessOf(window) == copy->id() && desktop::IsShown(window) &&
                       ::GetDlgItem(window, controlOfTheDialog) != nullptr && window != main;
            },
            kMoment);
    }
    static bool Checked(HWND dialog, int id) {
        return desktop::CheckState(desktop::Control(dialog, id)) == BST_CHECKED;
    }
    static bool Enabled(HWND dialog, int id) {
        return desktop::IsEnabled(desktop::Control(dialog, id));
    }
    static void Type(HWND dialog, int id, const std::string& text) {
        ASSERT_TRUE(desktop::SetText(desktop::Control(dialog, id), text));
    }
    static void Press(HWND dialog, int id) {
        ASSERT_TRUE(desktop::Click(desktop::Control(dialog, id)));
    }
    // The box the dialog shows for a refused value: its text, once answered.
    std::string AnswerRefusal() {
        const auto box = TickwellSession::BoxOf(*copy, kTitle, kMoment);
        if (!box) {
            return "no box";
        }
        EXPECT_EQ(BoxIcon::kWarning, box->Icon(kMoment)) << box->text();
        EXPECT_TRUE(box->Answer(IDOK));
        // Gone before the next look, which would otherwise find this box again.
        EXPECT_TRUE(desktop::WaitUntilClosed(box->window(), kMoment)) << box->text();
        return box->text();
    }
    // Which control of the program has the keyboard focus.
    HWND Focus() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(main, nullptr), &info);
        return info.hwndFocus;
    }
    static std::optional<DWORD> Stored(const std::string& option) {
        return TickwellSession::Options().ReadDword(option);
    }

    Process* copy = nullptr;
    HWND main = nullptr;
};

// ---- Options

TEST_F(DialogsTest, TheOffsetIsShownAsDirectionMinutesAndSecondsAndStoredBack) {
    Start({{"nOffset", static_cast<DWORD>(-90)}}, {{"chronyd", kChronyd}});
    HWND options = Open(IDC_MAIN_OPTIONS, IDC_OPTIONS_TIMEOUT);
    ASSERT_NE(nullptr, options);
    EXPECT_TRUE(Checked(options, IDC_OPTIONS_BACKWARD));
    EXPECT_EQ("1", Field(options, IDC_OPTIONS_MINUTES));
    EXPECT_EQ("30", Field(options, IDC_OPTIONS_SECONDS));
    Picture(options, "options-dialog");

    struct Case {
        int direction;
        const char* minutes;
        const char* seconds;
        int stored;
        int shownDirection;
        const char* shownMinutes;
    };
    for (const Case& c : {Case{IDC_OPTIONS_AHEAD, "2", "5", 125, IDC_OPTIONS_AHEAD, "2"},
                          Case{IDC_OPTIONS_AHEAD, "-5", "0", -300, IDC_OPTIONS_BACKWARD, "5"},
                          Case{IDC_OPTIONS_BACKWARD, "-5", "0", 300, IDC_OPTIONS_AHEAD, "5"}}) {
        Press(options, c.direction);
        Type(options, IDC_OPTIONS_MINUTES, c.minutes);
        Type(options, IDC_OPTIONS_SECONDS, c.seconds);
        ASSERT_TRUE(desktop::PostCommand(options, IDOK));
        ASSERT_TRUE(desktop::WaitUntilClosed(options, kMoment)) << c.stored;
        EXPECT_EQ(static_cast<DWORD>(c.stored), Stored("nOffset"));
        options = Open(IDC_MAIN_OPTIONS, IDC_OPTIONS_TIMEOUT);
        ASSERT_NE(nullptr, options);
        EXPECT_TRUE(Checked(options, c.shownDirection)) << c.stored;
        EXPECT_EQ(c.shownMinutes, Field(options, IDC_OPTIONS_MINUTES)) << c.stored;
    }
}

TEST_F(DialogsTest, RefusedValuesKeepTheDialogOpenWithTheFrameworksMessages) {
    Start({{"nOffset", static_cast<DWORD>(-900)}}, {{"chronyd", kChronyd}});
    const HWND options = Open(IDC_MAIN_OPTIONS, IDC_OPTIONS_TIMEOUT);  // backward, 15 minutes
    ASSERT_NE(nullptr, options);
    EXPECT_EQ("15", Field(options, IDC_OPTIONS_MINUTES));

    struct Case {
        int field;
        const char* typed;
        const char* message;
        const char* corrected;
    };
    const Case cases[] = {
        {IDC_OPTIONS_MINUTES, "15", "Please enter an integer between -10 and 10.", "5"},
        {IDC_OPTIONS_TIMEOUT, "10", "Please enter an integer between 20 and 300.", "20"},
        {IDC_OPTIONS_MAX_DAYS, "abc", kNotAnInteger, "14"},
        {IDC_OPTIONS_SECONDS, "60", "Please enter an integer between 0 and 59.", "0"},
        {IDC_OPTIONS_MAX_DIFF, "1000001", "Please enter an integer between 0 and 1000000.",
         "1000000"},
    };
    for (const Case& c : cases) {
        Type(options, c.field, c.typed);
        ASSERT_TRUE(desktop::PostCommand(options, IDOK));
        EXPECT_EQ(c.message, AnswerRefusal()) << c.typed;
        EXPECT_TRUE(desktop::WaitUntil(
            [&] { return Focus() == desktop::Control(options, c.field); }, kMoment))
            << c.typed;
        EXPECT_TRUE(desktop::IsShown(options));
        EXPECT_EQ(static_cast<DWORD>(-900), Stored("nOffset"));
        Type(options, c.field, c.corrected);
    }
    ASSERT_TRUE(desktop::PostCommand(options, IDOK));
    EXPECT_TRUE(desktop::WaitUntilClosed(options, kMoment));
    EXPECT_EQ(static_cast<DWORD>(-300), Stored("nOffset"));
    EXPECT_EQ(1000000u, Stored("nMaxDiff"));
}

TEST_F(DialogsTest, ExitAfterSynchronisationIsOfferedOnlyWithDailySynchronisation) {
    struct Opening {
        DWORD storedPeriod;
        int checkedButton;
        bool exitEnabled;
        DWORD storedPeriodOnOk;
    };
    for (const Opening& o :
         {Opening{2, IDC_OPTIONS_MANUAL, false, 2}, Opening{7, IDC_OPTIONS_MANUAL, false, 2}}) {
        TickwellSession fresh;
        Start({{"nSynPeriod", o.storedPeriod}, {"bExitAfter", 1}}, {{"chronyd", kChronyd}});
        const HWND options = Open(IDC_MAIN_OPTIONS, IDC_OPTIONS_TIMEOUT);
        ASSERT_NE(nullptr, options);
        for (const int button : {IDC_OPTIONS_DAILY, IDC_OPTIONS_HOURLY, IDC_OPTIONS_MANUAL}) {
            EXPECT_EQ(button == o.checkedButton, Checked(options, button)) << o.storedPeriod;
        }
        EXPECT_EQ(o.exitEnabled, Enabled(options, IDC_OPTIONS_EXIT_AFTER)) << o.storedPeriod;
        EXPECT_EQ(o.exitEnabled, Checked(options, IDC_OPTIONS_EXIT_AFTER)) << o.storedPeriod;
        ASSERT_TRUE(desktop::PostCommand(options, IDOK));
        ASSERT_TRUE(desktop::WaitUntilClosed(options, kMoment));
        EXPECT_EQ(o.storedPeriodOnOk, Stored("nSynPeriod"));
        EXPECT_EQ(o.exitEnabled ? 1u : 0u, Stored("bExitAfter"));
        copy->Kill(kMoment);
    }

    TickwellSession fresh;
    Start({}, {{"chronyd", kChronyd}});
    const HWND options = Open(IDC_MAIN_OPTIONS, IDC_OPTIONS_TIMEOUT);
    ASSERT_NE(nullptr, options);
    struct Click {
        int button;
        bool exitEnabled;
    };
    for (const Click& click : {Click{IDC_OPTIONS_HOURLY, false}, Click{IDC_OPTIONS_DAILY, true},
                               Click{IDC_OPTIONS_MANUAL, false}}) {
        Press(options, click.button);
        EXPECT_TRUE(desktop::WaitUntil(
            [&] { return Enabled(options, IDC_OPTIONS_EXIT_AFTER) == click.exitEnabled; }, kMoment))
            << click.button;
        EXPECT_FALSE(Checked(options, IDC_OPTIONS_EXIT_AFTER)) << click.button;
    }
}

TEST_F(DialogsTest, RestoreDefaultFillsTheFieldsOnlyAndCancelDropsThem) {
    Start({{"nSynPeriod", 1}, {"nMaxDays", 30}}, {{"chronyd", kChronyd}});
    HWND options = Open(IDC_MAIN_OPTIONS, IDC_OPTIONS_TIMEOUT);
    ASSERT_NE(nullptr, options);
    EXPECT_TRUE(Checked(options, IDC_OPTIONS_HOURLY));
    // Enter presses OK, never "Restore Default".
    EXPECT_EQ(desktop::Control(options, IDC_OPTIONS_HOURLY), Focus());
    Press(options, IDC_OPTIONS_RESTORE_DEFAULT);
    EXPECT_TRUE(FieldBecomes(options, IDC_OPTIONS_MAX_DAYS, "14"));
    EXPECT_TRUE(Checked(options, IDC_OPTIONS_DAILY));
    EXPECT_TRUE(Checked(options, IDC_OPTIONS_EXIT_AFTER) &&
                Enabled(options, IDC_OPTIONS_EXIT_AFTER));
    EXPECT_EQ("20", Field(options, IDC_OPTIONS_TIMEOUT));
    EXPECT_EQ("61", Field(options, IDC_OPTIONS_MAX_DIFF));
    ASSERT_TRUE(desktop::PostCommand(options, IDCANCEL));
    ASSERT_TRUE(desktop::WaitUntilClosed(options, kMoment));
    EXPECT_EQ(1u, Stored("nSynPeriod"));
    EXPECT_EQ(30u, Stored("nMaxDays"));
    options = Open(IDC_MAIN_OPTIONS, IDC_OPTIONS_TIMEOUT);
    ASSERT_NE(nullptr, options);
    EXPECT_EQ("30", Field(options, IDC_OPTIONS_MAX_DAYS));
    EXPECT_TRUE(Checked(options, IDC_OPTIONS_HOURLY));
}

TEST_F(DialogsTest, TheTrayIconFollowsItsOptionOnlyOnOk) {
    Start({}, {{"chronyd", kChronyd}});
    ASSERT_TRUE(desktop::NotificationArea::WaitForIconOf(copy->id(), kMoment));
    struct Step {
        int answer;
        bool iconShown;
    };
    for (const Step& step : {Step{IDCANCEL, true}, Step{IDOK, false}}) {
        const HWND options = Open(IDC_MAIN_OPTIONS, IDC_OPTIONS_TIMEOUT);
        ASSERT_NE(nullptr, options);
        Press(options, IDC_OPTIONS_SHOW_ICON);
        EXPECT_TRUE(
            desktop::WaitUntil([&] { return !Checked(options, IDC_OPTIONS_SHOW_ICON); }, kMoment));
        ASSERT_TRUE(desktop::PostCommand(options, step.answer));
        ASSERT_TRUE(desktop::WaitUntilClosed(options, kMoment));
        if (step.iconShown) {
            ::Sleep(500);
            EXPECT_TRUE(desktop::NotificationArea::WaitForIconOf(copy->id(), kMoment));
        } else {
            EXPECT_TRUE(desktop::NotificationArea::WaitUntilNoIconOf(copy->id(), kMoment));
        }
    }
    EXPECT_EQ(0u, Stored("bShowIcon"));
}

TEST_F(DialogsTest, OnlySecureServersGivesACatalogueWithoutThemTheSecureGroupOnOk) {
    Start({}, {{"chronyd", kChronyd}});
    for (const int answer : {IDCANCEL, IDOK, IDOK}) {  // the last unchecks it again
        const HWND options = Open(IDC_MAIN_OPTIONS, IDC_OPTIONS_TIMEOUT);
        ASSERT_NE(nullptr, options);
        const bool was = Checked(options, IDC_OPTIONS_ONLY_SECURE);
        Press(options, IDC_OPTIONS_ONLY_SECURE);
        ASSERT_TRUE(desktop::WaitUntil(
            [&] { return Checked(options, IDC_OPTIONS_ONLY_SECURE) != was; }, kMoment));
        ASSERT_TRUE(desktop::PostCommand(options, answer));
        ASSERT_TRUE(desktop::WaitUntilClosed(options, kMoment));
        if (answer == IDCANCEL) {
            EXPECT_NE(std::optional<DWORD>(1), Stored("bOnlyNts"));
            EXPECT_EQ(1u, TickwellSession::Servers().ReadDword("Servers_Counter"));
        }
    }
    EXPECT_EQ(0u, Stored("bOnlyNts"));
    // Turned off again, the group stays: the catalogue is the user's now.
    EXPECT_EQ(6u, TickwellSession::Servers().ReadDword("Servers_Counter"));
    EXPECT_EQ("NTS. PTB, Braunschweig, Germany - 3\nptbtime3.ptb.de\n0 0.000 nts",
              TickwellSession::Servers().ReadString("Servers 5"));
}

TEST_F(DialogsTest, OptionsHelpFallsBackToTheWebSite) {
    Start({}, {{"chronyd", kChronyd}});
    const HWND options = Open(IDC_MAIN_OPTIONS, IDC_OPTIONS_TIMEOUT);
    ASSERT_NE(nullptr, options);
    Press(options, IDC_OPTIONS_HELP);
    const auto box = TickwellSession::BoxOf(*copy, "Error", kMoment);
    ASSERT_TRUE(box);
    box->Answer(IDOK);
    EXPECT_TRUE(
        desktop::WaitUntil([] { return TickwellSession::OpenedUrls().size() == 1; }, kMoment));
    EXPECT_TRUE(desktop::IsShown(options));
}

// ---- Server chooser and the dialog that adds a server

class ChooserTest : public DialogsTest {
  protected:
    HWND OpenChooser() {
        chooser = Open(IDC_MAIN_SERVER, IDC_CHOOSER_LIST);
        list = desktop::Control(chooser, IDC_CHOOSER_LIST);
        return chooser;
    }
    ListViewSeen Rows() const { return ListViewSeen(list); }
    std::vector<std::string> Titles() const {
        std::vector<std::string> titles;
        for (int row = 0; row < Rows().RowCount(); ++row) {
            titles.push_back(Rows().Text(row, 0));
        }
        return titles;
    }
    std::string Current() const { return Field(chooser, IDC_CHOOSER_CURRENT); }
    std::string Report() const { return Field(chooser, IDC_CHOOSER_REPORT); }
    // Presses a button that tests servers and waits until the report shows a new result
    // and the dialog has its buttons back; meanwhile it must answer every message within a
    // second, which a dialog that waited for the tests' time-outs would not.
    void PressAndWaitForTests(HWND dialog, int button, int report) {
        const std::string before = Field(dialog, report);
        Press(dialog, button);
        const bool done = desktop::WaitUntil(
            [&] {
                // The report changes after the buttons go and before they come back.
                if (Field(dialog, report) != before && Enabled(dialog, IDOK)) {
                    return true;
                }
                EXPECT_TRUE(desktop::ResponseTime(dialog, Milliseconds(1000)));
                return false;
            },
            kRunTimeout);
        ASSERT_TRUE(done) << Field(dialog, report);
    }
    // While tests run, no button of the dialog can be pressed.
    static bool ButtonsDisabled(HWND dialog, std::initializer_list<int> buttons) {
        return desktop::WaitUntil(
            [&] {
                return std::none_of(buttons.begin(), buttons.end(),
                                    [&](int button) { return Enabled(dialog, button); });
            },
            kMoment);
    }
    void Close(int answer) {
        ASSERT_TRUE(desktop::PostCommand(chooser, answer))
            << "OK " << Enabled(chooser, IDOK) << " Cancel " << Enabled(chooser, IDCANCEL)
            << " shown " << desktop::IsShown(desktop::Control(chooser, answer));
        ASSERT_TRUE(desktop::WaitUntilClosed(chooser, kMoment));
    }
    static std::optional<std::string> StoredServer(int index) {
        return TickwellSession::Servers().ReadString("Servers " + std::to_string(index));
    }

    HWND chooser = nullptr;
    HWND list = nullptr;
};

TEST_F(ChooserTest, OpensOnTheStartingServerAndAClickChoosesAnother) {
    Start({{"nStartingServ", 3}},
          {{"A", kChronyd}, {"B", kSilent}, {"C", kSilent, 0}, {"D", kChronyd}, {"E", kSilent}});
    ASSERT_NE(nullptr, OpenChooser());
    EXPECT_EQ(3, Rows().SelectedRow());
    EXPECT_EQ("D", Current());
    EXPECT_EQ((std::vector<std::string>{"A", "B", "C", "D", "E"}), Titles());
    EXPECT_EQ("User", Rows().Text(0, 1));
    EXPECT_EQ("Prog", Rows().Text(2, 1));
    EXPECT_EQ("Null", Rows().Text(2, 2));
    Picture(chooser, "server-chooser");

    ASSERT_TRUE(Rows().ClickRow(1));
    EXPECT_TRUE(FieldBecomes(chooser, IDC_CHOOSER_CURRENT, "B"));
    // Beside the rows: the first server, and the box says so.
    ASSERT_TRUE(Rows().ClickBelowRows());
    EXPECT_TRUE(FieldBecomes(chooser, IDC_CHOOSER_CURRENT, "A"));
    Close(IDOK);
    EXPECT_EQ(0u, Stored("nStartingServ"));
    EXPECT_TRUE(FieldBecomes(main, IDC_MAIN_SERVER_TITLE, "A"));
}

TEST_F(ChooserTest, TestMeasuresOneServerWithoutFreezingTheDialog) {
    Start({}, {{"chronyd", kChronyd}, {"silent", kSilent}});
    ASSERT_NE(nullptr, OpenChooser());
    PressAndWaitForTests(chooser, IDC_CHOOSER_TEST, IDC_CHOOSER_REPORT);
    EXPECT_TRUE(std::regex_match(Report(), std::regex("Net Delay: 0\\.\\d{3}"))) << Report();

    ASSERT_TRUE(Rows().ClickRow(1));
    ASSERT_TRUE(FieldBecomes(chooser, IDC_CHOOSER_CURRENT, "silent"));
    Press(chooser, IDC_CHOOSER_TEST);
    EXPECT_TRUE(ButtonsDisabled(
        chooser, {IDOK, IDCANCEL, IDC_CHOOSER_TEST, IDC_CHOOSER_FIND_BEST,
                  IDC_CHOOSER_RESTORE_DEFAULT, IDC_CHOOSER_ADD_NEW, IDC_CHOOSER_DELETE}));
    // Esc and the close box cannot end it either.
    desktop::Post(chooser, WM_COMMAND, IDCANCEL);
    desktop::Post(chooser, WM_CLOSE);
    // The first sentence as it always was, then why.
    const std::string noAnswer =
        std::string(presentation::kTestFailed) + " (No answer from 127.0.0.9 within ";
    EXPECT_TRUE(desktop::WaitUntil([&] { return Report().rfind(noAnswer, 0) == 0; }, kRunTimeout))
        << Report();
    EXPECT_TRUE(desktop::IsShown(chooser));
}

TEST_F(ChooserTest, FindTheBestAsksEveryServerAtOnceAndChoosesTheFastest) {
    Start({}, {{"dead 1", kSilent},
               {"chronyd", kChronyd},
               {"dead 2", kSilent},
               {"localhost", "localhost"}});
    ASSERT_NE(nullptr, OpenChooser());
    const auto started = std::chrono::steady_clock::now();
    PressAndWaitForTests(chooser, IDC_CHOOSER_FIND_BEST, IDC_CHOOSER_REPORT);
    // Four servers, two of them silent for the whole time-out: one time-out, not two.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(8000));
    std::smatch best;
    const std::string report = Report();
    ASSERT_TRUE(std::regex_match(
        report, best,
        std::regex(
            "Tested success: 2, faild: 2, the best delay: 0\\.\\d{3} for (chronyd|localhost)")))
        << report;
    EXPECT_EQ(best[1].str(), Current());
    EXPECT_EQ("Null", Rows().Text(0, 2));
    EXPECT_EQ(-1, Rows().SelectedRow());
    Close(IDOK);
    EXPECT_EQ("dead 1\n127.0.0.9\n1 0.000", StoredServer(0));
}

TEST_F(ChooserTest, NoAnswerAtAllChoosesTheFirstServer) {
    Start({{"nStartingServ", 1}}, {{"dead 1", kSilent}, {"dead 2", kSilent}});
    ASSERT_NE(nullptr, OpenChooser());
    EXPECT_EQ("dead 2", Current());
    PressAndWaitForTests(chooser, IDC_CHOOSER_FIND_BEST, IDC_CHOOSER_REPORT);
    EXPECT_EQ(presentation::kTestFailed, Report());
    EXPECT_EQ("dead 1", Current());
}

TEST_F(ChooserTest, DeletingKeepsTheChoiceInRangeAndNeverTheLastServer) {
    Start({}, {{"A", kSilent}, {"B", kSilent}, {"C", kSilent}, {"D", kSilent}});
    ASSERT_NE(nullptr, OpenChooser());
    struct Step {
        int clickRow;  // -1: no click
        std::vector<std::string> rows;
        std::string current;
    };
    const Step steps[] = {
        {0, {"B", "C", "D"}, "B"},  // row 0 stays chosen: the former row 1
        {2, {"B", "C"}, "C"},       // the last row: the one before it
        {-1, {"B"}, "B"},           // row 1 chosen: the one before it again
    };
    for (const Step& step : steps) {
        if (step.clickRow >= 0) {
            ASSERT_TRUE(Rows().ClickRow(step.clickRow));
            ::Sleep(200);
        }
        Press(chooser, IDC_CHOOSER_DELETE);
        EXPECT_TRUE(desktop::WaitUntil([&] { return Titles() == step.rows; }, kMoment))
            << step.current;
        EXPECT_TRUE(FieldBecomes(chooser, IDC_CHOOSER_CURRENT, step.current));
    }
    Press(chooser, IDC_CHOOSER_DELETE);
    EXPECT_EQ(presentation::kLastServer, AnswerRefusal());
    EXPECT_EQ(std::vector<std::string>{"B"}, Titles());
}

TEST_F(ChooserTest, CancelDropsDeletionsAndWhatFindTheBestChose) {
    Start({}, {{"A", kSilent}, {"B", kSilent}, {"C", kChronyd}});
    for (const bool findTheBest : {false, true}) {
        ASSERT_NE(nullptr, OpenChooser());
        Press(chooser, IDC_CHOOSER_DELETE);
        ASSERT_TRUE(desktop::WaitUntil([&] { return Rows().RowCount() == 2; }, kMoment));
        if (findTheBest) {
            PressAndWaitForTests(chooser, IDC_CHOOSER_FIND_BEST, IDC_CHOOSER_REPORT);
            EXPECT_EQ("C", Current());
        }
        Close(IDCANCEL);
        ASSERT_NE(nullptr, OpenChooser());
        EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), Titles()) << findTheBest;
        EXPECT_EQ("A", Current()) << findTheBest;
        EXPECT_EQ("Null", Rows().Text(2, 2)) << findTheBest;
        Close(IDCANCEL);
        EXPECT_TRUE(FieldBecomes(main, IDC_MAIN_SERVER_TITLE, "A")) << findTheBest;
    }
    EXPECT_EQ(3u, TickwellSession::Servers().ReadDword("Servers_Counter"));  // nothing stored
}

TEST_F(ChooserTest, RestoreDefaultKeepsTheUsersServersAndAddsTheBuiltInTable) {
    Start({{"nStartingServ", 1}},
          {{"Mine", kChronyd}, {"Old built-in", kSilent, 0}, {"Deleted", kSilent}});
    ASSERT_NE(nullptr, OpenChooser());
    ASSERT_TRUE(Rows().ClickRow(2));
    Press(chooser, IDC_CHOOSER_DELETE);
    ASSERT_TRUE(desktop::WaitUntil([&] { return Rows().RowCount() == 2; }, kMoment));
    Press(chooser, IDC_CHOOSER_RESTORE_DEFAULT);
    ASSERT_TRUE(desktop::WaitUntil([&] { return Rows().RowCount() == 20; }, kMoment));
    EXPECT_EQ("Mine", Rows().Text(0, 0));
    EXPECT_EQ("Prog", Rows().Text(1, 1));
    EXPECT_EQ("Mine", Current());
    const auto titles = Titles();
    EXPECT_EQ(titles.end(), std::find(titles.begin(), titles.end(), "Deleted"));
    Close(IDCANCEL);  // never asks a built-in server for real
}

TEST_F(ChooserTest, AddNewStripsWebPrefixesAndCarriesTheLastCheckedDelay) {
    Start({}, {{"deleted", kSilent}, {"chronyd", kChronyd}});
    ASSERT_NE(nullptr, OpenChooser());
    Press(chooser, IDC_CHOOSER_DELETE);  // stays deleted when a server is added
    ASSERT_TRUE(desktop::WaitUntil([&] { return Rows().RowCount() == 1; }, kMoment));

    Press(chooser, IDC_CHOOSER_ADD_NEW);
    HWND add = WaitForDialog(IDC_ADD_CHECK);
    ASSERT_NE(nullptr, add);
    Picture(add, "add-server-dialog");
    Type(add, IDC_ADD_URL, std::string("http://") + kSlow);
    PressAndWaitForTests(add, IDC_ADD_CHECK, IDC_ADD_REPORT);
    std::smatch delay;
    const std::string report = Field(add, IDC_ADD_REPORT);
    // At least the 50 ms the slow server holds its reply; how much more depends on the load.
    ASSERT_TRUE(std::regex_match(report, delay, std::regex("Net Delay: (\\d+\\.\\d{3})")))
        << report;
    EXPECT_GE(std::stod(delay[1].str()), 0.05) << report;
    EXPECT_EQ("Undefined", Field(add, IDC_ADD_TITLE));
    EXPECT_EQ(kSlow, Field(add, IDC_ADD_URL));

    // What is no host name or address is refused, and the dialog stays.
    for (const char* refused : {" http:// ", "ntp example", "127.0.0.9/"}) {
        Type(add, IDC_ADD_URL, refused);
        ASSERT_TRUE(desktop::PostCommand(add, IDOK));
        EXPECT_NE("no box", AnswerRefusal()) << refused;
        EXPECT_TRUE(desktop::IsShown(add)) << refused;
    }

    // Another address, typed with the other prefix: it is added with the delay just measured.
    Type(add, IDC_ADD_URL, " http:\\\\127.0.0.9 ");
    ASSERT_TRUE(desktop::PostCommand(add, IDOK));
    ASSERT_TRUE(desktop::WaitUntilClosed(add, kMoment));
    ASSERT_TRUE(desktop::WaitUntil([&] { return Rows().RowCount() == 2; }, kMoment));
    EXPECT_EQ("Undefined", Rows().Text(1, 0));
    EXPECT_EQ("User", Rows().Text(1, 1));

    // Cancel after a check adds nothing; capitals are no prefix.
    Press(chooser, IDC_CHOOSER_ADD_NEW);
    add = WaitForDialog(IDC_ADD_CHECK);
    ASSERT_NE(nullptr, add);
    Type(add, IDC_ADD_URL, "HTTP://127.0.0.1");
    PressAndWaitForTests(add, IDC_ADD_CHECK, IDC_ADD_REPORT);
    EXPECT_EQ("HTTP://127.0.0.1", Field(add, IDC_ADD_URL));
    EXPECT_TRUE(std::regex_match(Field(add, IDC_ADD_REPORT),
                                 std::regex("Error\\. Check Internet Connection\\. \\(.+\\.\\)")))
        << Field(add, IDC_ADD_REPORT);
    ASSERT_TRUE(desktop::PostCommand(add, IDCANCEL));
    ASSERT_TRUE(desktop::WaitUntilClosed(add, kMoment));

    Close(IDOK);
    EXPECT_EQ(2u, TickwellSession::Servers().ReadDword("Servers_Counter"));
    EXPECT_EQ("chronyd\n127.0.0.1\n1 0.000", StoredServer(0));
    EXPECT_EQ("Undefined\n127.0.0.9\n1 " + delay[1].str().substr(0, 5), StoredServer(1));
}

TEST_F(ChooserTest, TheSecureGroupJoinsOnceAndAnAddedServerKeepsItsSecureMark) {
    Start({}, {{"chronyd", kChronyd}});
    ASSERT_NE(nullptr, OpenChooser());
    for (int press = 0; press < 2; ++press) {  // the second finds every address there
        Press(chooser, IDC_CHOOSER_ADD_SECURE);
        ASSERT_TRUE(desktop::WaitUntil([&] { return Rows().RowCount() == 6; }, kMoment));
    }
    EXPECT_EQ("User", Rows().Text(0, 1));
    EXPECT_EQ("NTS. Cloudflare, worldwide (anycast)", Rows().Text(1, 0));
    EXPECT_EQ("Prog, NTS", Rows().Text(1, 1));

    Press(chooser, IDC_CHOOSER_ADD_NEW);
    const HWND add = WaitForDialog(IDC_ADD_CHECK);
    ASSERT_NE(nullptr, add);
    Type(add, IDC_ADD_TITLE, "Mine");
    Type(add, IDC_ADD_URL, "nts.example");
    Press(add, IDC_ADD_SECURE);
    ASSERT_TRUE(desktop::WaitUntil([&] { return Checked(add, IDC_ADD_SECURE); }, kMoment));
    ASSERT_TRUE(desktop::PostCommand(add, IDOK));
    ASSERT_TRUE(desktop::WaitUntilClosed(add, kMoment));
    ASSERT_TRUE(desktop::WaitUntil([&] { return Rows().RowCount() == 7; }, kMoment));
    EXPECT_EQ("User, NTS", Rows().Text(6, 1));

    Close(IDOK);
    EXPECT_EQ(7u, TickwellSession::Servers().ReadDword("Servers_Counter"));
    EXPECT_EQ("NTS. Cloudflare, worldwide (anycast)\ntime.cloudflare.com\n0 0.000 nts",
              StoredServer(1));
    EXPECT_EQ("Mine\nnts.example\n1 0.000 nts", StoredServer(6));
}

// ---- Every window at 200 %, for a person to look at beside the pictures at 100 %

TEST_F(ChooserTest, EveryWindowAtTwiceTheDpi) {
    // Read by every program Wine starts from now on; this test's own windows keep theirs.
    const desktop::RegistryKey desktopSettings("Control Panel\\Desktop");
    ASSERT_TRUE(desktopSettings.WriteDword("LogPixels", 192));
    struct Restore {
        const desktop::RegistryKey& key;
        ~Restore() { key.WriteDword("LogPixels", 96); }
    } restore{desktopSettings};
    Start({}, {{"chronyd", kChronyd}, {"silent", kSilent}});
    Picture(main, "main-window-200");
    HWND options = Open(IDC_MAIN_OPTIONS, IDC_OPTIONS_TIMEOUT);
    ASSERT_NE(nullptr, options);
    Picture(options, "options-dialog-200");
    ASSERT_TRUE(desktop::PostCommand(options, IDCANCEL));
    ASSERT_TRUE(desktop::WaitUntilClosed(options, kMoment));
    ASSERT_NE(nullptr, OpenChooser());
    Picture(chooser, "server-chooser-200");
    Press(chooser, IDC_CHOOSER_ADD_NEW);
    const HWND add = WaitForDialog(IDC_ADD_CHECK);
    ASSERT_NE(nullptr, add);
    Picture(add, "add-server-dialog-200");
    ASSERT_TRUE(desktop::PostCommand(add, IDCANCEL));
    ASSERT_TRUE(desktop::WaitUntilClosed(add, kMoment));
    Close(IDCANCEL);
    ASSERT_TRUE(desktop::PostCommand(main, IDC_MAIN_ABOUT));
    const HWND about = WaitForDialog(1008);
    ASSERT_NE(nullptr, about);
    Picture(about, "about-box-200");
}

}  // namespace
