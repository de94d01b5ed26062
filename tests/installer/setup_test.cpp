// Tickwell's setup program and uninstaller as an administrator runs them, silently, under
// Wine: what an install writes, how the installed program starts, an upgrade over a running
// copy, what an uninstall leaves, and refusals that change nothing.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>

#include "base/unique_handle_win.h"
#include "tests/e2e/message_box_seen.h"
#include "tests/e2e/process.h"
#include "tests/e2e/registry_key.h"
#include "tests/installer/installation.h"

namespace {

namespace fs = std::filesystem;
using namespace installation;
using desktop::Process;
using desktop::RegistryKey;

constexpr desktop::Milliseconds kMoment{15000};
constexpr const char* kAlternativeFolder = "C:\\Tick well";

// A value of a key under HKEY_LOCAL_MACHINE, numbers in decimal, texts unexpanded.
std::optional<std::string> MachineValue(const char* key, const char* name) {
    char value[1024] = {};
    DWORD size = sizeof value;
    DWORD type = 0;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, key, name,
                       RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND | RRF_RT_REG_DWORD,
                       &type, value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(value)) : value;
}

std::optional<std::string> Entry(const char* name) {
    return MachineValue(kEntryKey, name);
}

// Everything setup may write, as text to compare before and after: the install folder's
// files, those in its folders too, with their sizes, the shortcut, the Run value, the
// uninstall entry, the settings, the program's event source, the clock service and its
// policy.
std::string Footprint(const std::string& folder = kFolder) {
    std::ostringstream seen;
    std::error_code error;
    for (const auto& file : fs::recursive_directory_iterator(folder, error)) {
        if (file.is_regular_file()) {
            seen << fs::relative(file.path(), folder).string() << " " << file.file_size() << "\n";
        }
    }
    const ClockServiceSeen service = SeeClockService();
    seen << (fs::exists(kShortcut) ? "shortcut\n" : "")
         << kRunKey.ReadString("Tickwell").value_or("no Run value") << "\n"
         << Entry("InstallLocation").value_or("no uninstall entry") << "\n"
         << (kOptions.Exists() ? "settings\n" : "")
         << (MachineValue(kEventSourceKey, "EventMessageFile") ? "event source\n" : "")
         << (service.openError == ERROR_SUCCESS
                 ? "service in state " + std::to_string(service.state) + "\n"
                 : "")
         << (ApprovedServers().empty() ? "" : "policy\n");
    return seen.str();
}

class SetupTest : public testing::Test {
  protected:
    // No trace of an install or of the settings.
    void SetUp() override {
        ForgetInstall();
        std::error_code error;
        fs::remove_all(kAlternativeFolder, error);
    }
};

// Each install is undone: the uninstaller must leave nothing but, unless asked to remove
// them too, the user's settings.
TEST_F(SetupTest, ASilentInstallWritesWhatWindowsNeedsAndASilentUninstallRemovesIt) {
    struct Case {
        std::string options;
        std::string folder;
        bool autostart;
        std::string uninstallOptions;
    };
    for (const Case& c : {Case{"/S", kFolder, true, "/S"},
                          Case{"/S /noautostart /D=" + std::string(kAlternativeFolder) + "\\",
                               kAlternativeFolder, false, "/S /RemoveSettings"}}) {
        SCOPED_TRACE(c.options);
        SetUp();
        const Outcome outcome = Install(c.options);
        ASSERT_EQ(0u, outcome.exitCode) << outcome.errors;
        const std::string program = c.folder + "\\Tickwell.exe";
        EXPECT_TRUE(InstalledAsStaged(c.folder));
        // A shortcut holds its target's path as text.
        EXPECT_NE(std::string::npos, Contents(kShortcut).find(program));
        EXPECT_EQ(c.autostart ? std::optional("\"" + program + "\" StartUp") : std::nullopt,
                  kRunKey.ReadString("Tickwell"));
        // The event viewer finds the program's texts in the file it runs.
        EXPECT_EQ(program, MachineValue(kEventSourceKey, "EventMessageFile"));
        EXPECT_EQ("7", MachineValue(kEventSourceKey, "TypesSupported"));
        // Quoted: Windows would otherwise try C:\Program.exe first.
        EXPECT_EQ("\"" + c.folder + "\\TickwellClock.exe\"", SeeClockService().commandLine);

        std::uintmax_t bytes = 0;
        for (const auto& file : fs::recursive_directory_iterator(c.folder)) {
            bytes += file.is_regular_file() ? file.file_size() : 0;
        }
        const std::string uninstaller = "\"" + c.folder + "\\Uninstall.exe\"";
        for (const auto& [name, expected] :
             std::map<std::string, std::string>{{"DisplayName", "Tickwell"},
                                                {"DisplayVersion", TICKWELL_VERSION},
                                                {"Publisher", "Quorvane"},
                                                {"DisplayIcon", program + ",0"},
                                                {"InstallLocation", c.folder},
                                                {"UninstallString", uninstaller},
                                                {"QuietUninstallString", uninstaller + " /S"},
                                                {"EstimatedSize", std::to_string(bytes / 1024)},
                                                {"NoModify", "1"},
                                                {"NoRepair", "1"}}) {
            EXPECT_EQ(expected, Entry(name.c_str())) << name;
        }
        // Wine runs every program as an elevated administrator and never shows the prompt
        // that these manifests make Windows show.
        for (const std::string& file : {kSetup, c.folder + "\\Uninstall.exe"}) {
            EXPECT_NE(std::string::npos, Contents(file).find("level=\"requireAdministrator\""));
        }

        SeedSettings();
        const Outcome uninstall = Uninstall(c.uninstallOptions, c.folder);
        EXPECT_EQ(0u, uninstall.exitCode) << uninstall.errors;
        EXPECT_EQ(std::string("no Run value\nno uninstall entry\n") +
                      (c.uninstallOptions == "/S" ? "settings\n" : ""),
                  Footprint(c.folder));
        EXPECT_FALSE(fs::exists(c.folder));
    }
    EXPECT_FALSE(fs::exists("C:\\Program Files\\Quorvane"));
}

TEST_F(SetupTest, TheRunValueStartsTheProgramHiddenAndAnUpgradeEndsItKeepingTheSettings) {
    ASSERT_EQ(0u, Install().exitCode);
    SeedSettings();
    MarkInstalledFiles();
    Process program = Process::Start(kRunKey.ReadString("Tickwell").value_or(""));
    const HWND main = desktop::WaitForWindow(
        {.processId = program.id(), .className = "#32770", .title = "Tickwell"}, kMoment);
    ASSERT_NE(nullptr, main);
    ::Sleep(500);  // a hidden start must not show the window a moment later
    EXPECT_FALSE(desktop::IsShown(main));

    const Outcome upgrade = Install();
    EXPECT_EQ(0u, upgrade.exitCode) << upgrade.errors;
    EXPECT_EQ(0u, program.WaitForExit(desktop::Milliseconds(0)));  // as its Exit ends it
    program.Kill(kMoment);
    EXPECT_TRUE(InstalledAsStaged(kFolder));
    EXPECT_EQ(2u, kOptions.ReadDword("nSynPeriod"));
    EXPECT_EQ("loopback\n127.0.0.1\n1 0.000", kServers.ReadString("Servers 0"));
}

TEST_F(SetupTest, SetupAndUninstallChangeNothingWhileACopyHoldsOn) {
    // A copy that hangs: a window like Tickwell's that never ends. One that no window gives
    // away: its library held open.
    struct Case {
        bool uninstall;
        bool hung;
        const char* reason;
    };
    for (const Case& c : {Case{false, true, "did not end within 5 seconds"},
                          Case{false, false, "QvSupport.dll is in use"},
                          Case{true, true, "did not end within 5 seconds"},
                          Case{true, false, "QvSupport.dll is in use"}}) {
        SCOPED_TRACE(testing::Message() << "uninstall " << c.uninstall << ", hung " << c.hung);
        SetUp();
        ASSERT_EQ(0u, Install().exitCode);
        SeedSettings();
        MarkInstalledFiles();
        const std::unique_ptr<std::remove_pointer_t<HWND>, decltype(&::DestroyWindow)> window(
            c.hung ? ::CreateWindowExA(0, "#32770", "Tickwell", WS_POPUP, 0, 0, 9, 9, nullptr,
                                       nullptr, nullptr, nullptr)
                   : nullptr,
            &::DestroyWindow);
        const UniqueHandle library(c.hung ? nullptr
                                          : ::CreateFileA((kFolder + "\\QvSupport.dll").c_str(),
                                                          GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                          OPEN_EXISTING, 0, nullptr));
        const std::string before = Footprint();

        const Outcome outcome = c.uninstall ? Uninstall("/S /REMOVESETTINGS") : Install();
        EXPECT_EQ(2u, outcome.exitCode);
        EXPECT_NE(std::string::npos, outcome.errors.find(c.reason)) << outcome.errors;
        EXPECT_EQ(before, Footprint());
    }
}

// As scripts run it to wait for its end: the uninstaller cannot remove its own running file,
// and must not take that file for a running Tickwell.
TEST_F(SetupTest, AnUninstallerRunInPlaceRemovesEverythingButItself) {
    ASSERT_EQ(0u, Install().exitCode);
    const Outcome outcome =
        installation::Run("\"" + kFolder + "\\Uninstall.exe\" /S _?=" + kFolder);
    EXPECT_EQ(0u, outcome.exitCode) << outcome.errors;
    const std::string footprint = Footprint();
    EXPECT_EQ(0u, footprint.find("Uninstall.exe ")) << footprint;
    EXPECT_EQ(footprint.substr(footprint.find('\n') + 1), "no Run value\nno uninstall entry\n");
}

TEST_F(SetupTest, ADamagedCommandLineFailsWithAClearMessageAndChangesNothing) {
    const std::string file = (kStage / "README.txt").string();
    for (const auto& [options, message] :
         std::map<std::string, std::string>{{"/S /D=" + file, "is a file, not a folder"},
                                            {"/S /D=" + file + "\\Tickwell", "cannot install into"},
                                            {"/S /D=Tickwell", "is no full path"},
                                            {"/S /NOAUTOSTART /X", "Unknown option: /X"}}) {
        const Outcome outcome = Install(options);
        EXPECT_EQ(2u, outcome.exitCode) << options;
        EXPECT_NE(std::string::npos, outcome.errors.find(message)) << outcome.errors;
        EXPECT_EQ("no Run value\nno uninstall entry\n", Footprint()) << options;
    }
    // Run by a person, setup says it in a box.
    const Process setup = Process::Start("\"" + kSetup + "\" /X");
    const auto box = desktop::MessageBoxSeen::WaitFor("", setup.id(), kMoment);
    ASSERT_TRUE(box);
    EXPECT_NE(std::string::npos, box->text().find("Unknown option: /X"));
    box->Answer(IDOK);
    EXPECT_EQ(2u, setup.WaitForExit(kMoment));
}

}  // namespace
