// The administrator's policies as a user meets them: a mandatory value locks its control, a
// recommended one is only a default, a mandatory Servers list locks the chooser, and a change
// of the keys counts while the program runs.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include "resources/tickwell_ids.h"
#include "tests/e2e/list_view_seen.h"
#include "tests/e2e/program_test_fixture.h"

namespace {

using namespace e2e;

class PolicyTest : public ProgramTest {
  protected:
    void Start() {
        SeedLaterStart({{"nMaxDays", 14}, {"nTimeOut", 20}}, {{"chronyd", kChronyd}});
        main = StartAndWait("", &copy);
        ASSERT_NE(nullptr, main);
    }
    HWND Open(int button, int controlOfTheDialog) {
        EXPECT_TRUE(desktop::PostCommand(main, button));
        return desktop::WaitForWindow(
            [&](HWND window) {
                return desktop::ProcessOf(window) == copy->id() && desktop::IsShown(window) &&
                       ::GetDlgItem(window, controlOfTheDialog) != nullptr && window != main;
            },
            kMoment);
    }
    void Close(HWND dialog, int button) {
        ASSERT_TRUE(desktop::PostCommand(dialog, button));
        ASSERT_TRUE(desktop::WaitUntilClosed(dialog, kMoment));
    }
    static bool Enabled(HWND dialog, int id) {
        return desktop::IsEnabled(desktop::Control(dialog, id));
    }
    // The managed line: its text while it shows, else empty.
    static std::string ManagedLine(HWND dialog, int id) {
        const HWND line = desktop::Control(dialog, id);
        return desktop::IsShown(line) ? Field(dialog, id) : std::string();
    }
    // How many controls of the dialog have a tip.
    static int TipCount(HWND dialog) {
        struct Search {
            HWND dialog;
            HWND tips;
        } search{dialog, nullptr};
        ::EnumWindows(
            [](HWND window, LPARAM parameter) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(parameter);
                char name[64] = {};
                ::GetClassNameA(window, name, sizeof name);
                if (::GetWindow(window, GW_OWNER) == s.dialog &&
                    ::lstrcmpiA(name, TOOLTIPS_CLASSA) == 0) {
                    s.tips = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        // Each control is a tool twice: by its window and by its place in the dialog.
        return search.tips == nullptr
                   ? 0
                   : static_cast<int>(::SendMessageA(search.tips, TTM_GETTOOLCOUNT, 0, 0)) / 2;
    }
    static std::optional<DWORD> Stored(const std::string& option) {
        return TickwellSession::Options().ReadDword(option);
    }

    Process* copy = nullptr;
    HWND main = nullptr;
};

TEST_F(PolicyTest, MandatoryLocksRecommendedSuggestsAndAChangeCountsAtOnce) {
    const auto machine = TickwellSession::Policy(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(machine.WriteDword("nMaxDays", 30));
    ASSERT_TRUE(
        TickwellSession::Policy(HKEY_CURRENT_USER, "Recommended").WriteDword("nTimeOut", 60));
    ASSERT_TRUE(TickwellSession::Policy(HKEY_LOCAL_MACHINE, "Servers")
                    .WriteString("1", std::string(kChronyd) + "\tCorp clock"));
    // Out of range: ignored, the stored period stays in force and its control free.
    ASSERT_TRUE(machine.WriteDword("nSynPeriod", 3));
    Start();

    HWND options = Open(IDC_MAIN_OPTIONS, IDC_OPTIONS_TIMEOUT);
    ASSERT_NE(nullptr, options);
    EXPECT_EQ(presentation::kManagedLine, ManagedLine(options, IDC_OPTIONS_MANAGED));
    EXPECT_EQ("30", Field(options, IDC_OPTIONS_MAX_DAYS));
    EXPECT_FALSE(Enabled(options, IDC_OPTIONS_MAX_DAYS));
    EXPECT_FALSE(Enabled(options, IDC_OPTIONS_MAX_DAYS_SPIN));
    EXPECT_EQ("60", Field(options, IDC_OPTIONS_TIMEOUT));
    EXPECT_TRUE(Enabled(options, IDC_OPTIONS_TIMEOUT));
    EXPECT_TRUE(Enabled(options, IDC_OPTIONS_DAILY));
    EXPECT_EQ(4, TipCount(options));  // days and time-out, each with its arrows
    Picture(options, "options-managed");
    ASSERT_TRUE(desktop::SetText(desktop::Control(options, IDC_OPTIONS_TIMEOUT), "90"));
    Close(options, IDOK);
    EXPECT_EQ(90u, Stored("nTimeOut"));  // the user's own choice now
    EXPECT_EQ(14u, Stored("nMaxDays"));  // the governed value is never written back
    // An older profile's catalogue other than the built-in table counts as chosen too.
    EXPECT_EQ("Servers nTimeOut",
              TickwellSession::Options().ReadString("sUserChoices").value_or("-"));

    const HWND chooser = Open(IDC_MAIN_SERVER, IDC_CHOOSER_LIST);
    ASSERT_NE(nullptr, chooser);
    EXPECT_EQ(presentation::kManagedLine, ManagedLine(chooser, IDC_CHOOSER_MANAGED));
    const desktop::ListViewSeen rows(desktop::Control(chooser, IDC_CHOOSER_LIST));
    ASSERT_EQ(1, rows.RowCount());
    EXPECT_EQ("Corp clock", rows.Text(0, 0));
    EXPECT_EQ(presentation::kFromPolicy, rows.Text(0, 1));
    for (const int button :
         {IDC_CHOOSER_ADD_NEW, IDC_CHOOSER_DELETE, IDC_CHOOSER_RESTORE_DEFAULT}) {
        EXPECT_FALSE(Enabled(chooser, button)) << button;
    }
    EXPECT_TRUE(Enabled(chooser, IDC_CHOOSER_TEST));
    Picture(chooser, "chooser-managed");
    Close(chooser, IDOK);
    // The user's catalogue stays as it was for the day the list goes.
    EXPECT_EQ(0u,
              TickwellSession::Servers().ReadString("Servers 0").value_or("").find("chronyd\n"));

    // The administrator takes the mandatory values away while Options is open.
    options = Open(IDC_MAIN_OPTIONS, IDC_OPTIONS_TIMEOUT);
    ASSERT_NE(nullptr, options);
    EXPECT_FALSE(Enabled(options, IDC_OPTIONS_MAX_DAYS));
    ASSERT_TRUE(machine.DeleteTree());
    EXPECT_TRUE(
        desktop::WaitUntil([&] { return Enabled(options, IDC_OPTIONS_MAX_DAYS); }, kMoment));
    EXPECT_EQ("14", Field(options, IDC_OPTIONS_MAX_DAYS));
    EXPECT_EQ("90", Field(options, IDC_OPTIONS_TIMEOUT));
    EXPECT_EQ("", ManagedLine(options, IDC_OPTIONS_MANAGED));
    EXPECT_EQ(0, TipCount(options));  // the time-out is the user's choice, no policy's
    Close(options, IDCANCEL);
    const HWND freed = Open(IDC_MAIN_SERVER, IDC_CHOOSER_LIST);
    ASSERT_NE(nullptr, freed);
    EXPECT_TRUE(Enabled(freed, IDC_CHOOSER_ADD_NEW));
    const desktop::ListViewSeen freedRows(desktop::Control(freed, IDC_CHOOSER_LIST));
    EXPECT_EQ("chronyd", freedRows.Text(0, 0));

    // ... and brings a mandatory list back while the chooser is open.
    ASSERT_TRUE(TickwellSession::Policy(HKEY_LOCAL_MACHINE, "Servers")
                    .WriteString("1", std::string(kChronyd) + "\tCorp clock"));
    EXPECT_TRUE(desktop::WaitUntil([&] { return !Enabled(freed, IDC_CHOOSER_ADD_NEW); }, kMoment));
    EXPECT_EQ("Corp clock", freedRows.Text(0, 0));
    EXPECT_EQ(presentation::kManagedLine, ManagedLine(freed, IDC_CHOOSER_MANAGED));
    Close(freed, IDOK);
    EXPECT_EQ(0u,
              TickwellSession::Servers().ReadString("Servers 0").value_or("").find("chronyd\n"));
}

}  // namespace
