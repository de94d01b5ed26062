// Tickwell's Windows Installer package as a management tool runs it, silently, under Wine:
// what its public properties install, what an uninstall leaves, a major upgrade over a
// running copy that remembers the properties, and refusals that change nothing.
#include <gtest/gtest.h>

#include <windows.h>

#include <msi.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "config/default_servers.h"
#include "tests/e2e/process.h"
#include "tests/installer/installation.h"

namespace {

namespace fs = std::filesystem;
using namespace installation;
using desktop::Process;

// From CMake: the package make dist built, and one of an older version from the same files.
const std::string kPackage = TICKWELL_MSI;
const std::string kOlderPackage = TICKWELL_OLDER_MSI;
constexpr const char* kOlderVersion = TICKWELL_OLDER_VERSION;
constexpr const char* kUpgradeCode = "{0069524B-6F5E-46A2-8423-E6A4C28EDF68}";

constexpr const char* kMachineRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRememberedKey = "Software\\Quorvane\\Tickwell\\Installer";
constexpr const char* kEventSourcesKey =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
constexpr const char* kAlternativeFolder = "C:\\Tick well";
constexpr desktop::Milliseconds kMoment{15000};

struct Msiexec {
    std::optional<DWORD> exitCode;
    std::string log;
};

Msiexec RunMsiexec(const std::string& arguments) {
    const fs::path log = fs::temp_directory_path() / "msiexec-test.log";
    std::error_code error;
    fs::remove(log, error);
    const Outcome outcome = Run("msiexec.exe " + arguments + " /qn /l*v \"" + log.string() + "\"");
    return {outcome.exitCode, Contents(log)};
}

Msiexec InstallPackage(const std::string& package, const std::string& properties = "") {
    return RunMsiexec("/i \"" + package + "\" " + properties);
}

// The installed packages of this upgrade code, by product code.
std::vector<std::string> InstalledProducts() {
    std::vector<std::string> products;
    char product[39];
    for (DWORD index = 0;
         ::MsiEnumRelatedProductsA(kUpgradeCode, 0, index, product) == ERROR_SUCCESS; ++index) {
        products.emplace_back(product);
    }
    return products;
}

std::optional<std::string> ProductInfo(const std::string& product, const char* property) {
    char value[MAX_PATH] = {};
    DWORD size = sizeof value;
    if (::MsiGetProductInfoA(product.c_str(), property, value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> InstalledVersions() {
    std::vector<std::string> versions;
    for (const std::string& product : InstalledProducts()) {
        versions.push_back(ProductInfo(product, INSTALLPROPERTY_VERSIONSTRING).value_or("?"));
    }
    return versions;
}

void RemoveEveryPackage() {
    for (const std::string& product : InstalledProducts()) {
        RunMsiexec("/x " + product);
    }
}

std::optional<std::string> MachineString(const std::string& key, const char* name) {
    char value[1024] = {};
    DWORD size = sizeof value;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value,
                       &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> EventMessageFile(const std::string& source) {
    return MachineString(std::string(kEventSourcesKey) + "\\" + source, "EventMessageFile");
}

// Windows puts a per-machine package's shortcut into the common Start menu; Wine 8 resolves
// the Start menu's folder to the user's even then.
std::optional<std::string> Shortcut() {
    char programs[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs);
    for (const fs::path& shortcut : {kShortcut, fs::path(programs) / "Tickwell.lnk"}) {
        if (fs::exists(shortcut)) {
            return Contents(shortcut);
        }
    }
    return std::nullopt;
}

bool Approved(const std::string& host) {
    const std::vector<std::string> approved = ApprovedServers();
    return std::find(approved.begin(), approved.end(), host) != approved.end();
}

// Everything the package may write, as text that is empty when nothing is there.
std::string Footprint(const std::string& folder) {
    std::ostringstream seen;
    std::error_code error;
    for (const auto& file : fs::recursive_directory_iterator(folder, error)) {
        seen << file.path().filename().string() << " "
             << (file.is_regular_file() ? file.file_size() : 0) << "\n";
    }
    for (const char* source : {"Tickwell", "Tickwell Clock"}) {
        seen << EventMessageFile(source).value_or("") << "\n";
    }
    for (const char* property : {"INSTALLDIR", "AUTOSTART", "SERVICE", "SERVERS"}) {
        seen << MachineString(kRememberedKey, property).value_or("") << "\n";
    }
    const ClockServiceSeen service = SeeClockService();
    if (service.openError == ERROR_SUCCESS) {
        seen << "service in state " << service.state << "\n";
    }
    for (const std::string& host : ApprovedServers()) {
        seen << host << "\n";
    }
    for (const std::string& version : InstalledVersions()) {
        seen << "installed " << version << "\n";
    }
    seen << (Shortcut() ? "shortcut\n" : "")
         << MachineString(kMachineRunKey, "Tickwell").value_or("")
         << (fs::exists("C:\\Program Files\\Quorvane") ? "company folder\n" : "");
    const std::string footprint = seen.str();
    return footprint.find_first_not_of('\n') == std::string::npos ? "" : footprint;
}

class MsiTest : public testing::Test {
  protected:
    void SetUp() override {
        RemoveEveryPackage();
        ForgetInstall();
        std::error_code error;
        fs::remove_all(kAlternativeFolder, error);
    }
    // The setup program's tests share the prefix, and know nothing of packages.
    void TearDown() override { SetUp(); }
};

TEST_F(MsiTest, ASilentInstallDoesWhatItsPropertiesSayAndAnUninstallRemovesEverything) {
    struct Case {
        std::string properties;
        std::string folder;
        bool autostart;
        bool service;
        std::vector<std::string> moreServers;
    };
    const Case cases[] = {
        {"", kFolder, true, true, {}},
        {"INSTALLDIR=\"" + std::string(kAlternativeFolder) +
             "\\\" AUTOSTART=0 SERVERS=\"ntp.corp.example 192.0.2.7\"",
         kAlternativeFolder,
         false,
         true,
         {"ntp.corp.example", "192.0.2.7"}},
        {"SERVICE=0", kFolder, true, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.properties);
        SetUp();
        const Msiexec install = InstallPackage(kPackage, c.properties);
        ASSERT_EQ(0u, install.exitCode) << install.log;
        const std::string program = c.folder + "\\Tickwell.exe";
        const std::string service = c.folder + "\\TickwellClock.exe";
        for (const char* name : {"Tickwell.exe", "QvSupport.dll", "MbedTLS-LICENSE.txt"}) {
            EXPECT_TRUE(fs::exists(fs::path(c.folder) / name)) << name;
            EXPECT_EQ(Contents(kStage / name), Contents(fs::path(c.folder) / name)) << name;
        }
        EXPECT_EQ(c.service, fs::exists(service));
        // The Group Policy templates, in the same folders as the stage holds them.
        std::error_code error;
        for (const auto& file : fs::recursive_directory_iterator(kStage / "policies", error)) {
            const fs::path relative = fs::relative(file.path(), kStage);
            if (file.is_regular_file()) {
                EXPECT_EQ(Contents(file.path()), Contents(c.folder / relative)) << relative;
            }
        }
        EXPECT_NE(std::string::npos, Shortcut().value_or("").find(program));
        EXPECT_EQ(c.autostart ? std::optional("\"" + program + "\" StartUp") : std::nullopt,
                  MachineString(kMachineRunKey, "Tickwell"));
        // Users' defaults come from policy: nothing of the current user's.
        EXPECT_FALSE(desktop::RegistryKey("Software\\Quorvane").Exists());
        EXPECT_EQ(std::nullopt, kRunKey.ReadString("Tickwell"));
        EXPECT_EQ(program, EventMessageFile("Tickwell"));
        EXPECT_EQ(c.service ? std::optional(service) : std::nullopt,
                  EventMessageFile("Tickwell Clock"));

        const ClockServiceSeen seen = SeeClockService();
        if (c.service) {
            EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), seen.state);
            EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), seen.startType);
            EXPECT_EQ("NT AUTHORITY\\LocalService", seen.account);
            // Wine writes the path unquoted, whatever the package says.
            EXPECT_NE(std::string::npos, seen.commandLine.find(service)) << seen.commandLine;
            std::vector<std::string> expected = c.moreServers;
            for (const DefaultServer& server : kDefaultServers) {
                expected.emplace_back(server.address);
            }
            for (const std::string& host : expected) {
                EXPECT_TRUE(Approved(host)) << host;
            }
            EXPECT_EQ(expected.size(), ApprovedServers().size());
            EXPECT_EQ(0u, MaxUserOffset());
        } else {
            EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), seen.openError);
            EXPECT_TRUE(ApprovedServers().empty());
        }

        const std::vector<std::string> products = InstalledProducts();
        ASSERT_EQ(1u, products.size());
        EXPECT_EQ(TICKWELL_VERSION, ProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING));
        EXPECT_EQ(c.folder + "\\", ProductInfo(products[0], INSTALLPROPERTY_INSTALLLOCATION));

        const Msiexec uninstall = RunMsiexec("/x " + products[0]);
        EXPECT_EQ(0u, uninstall.exitCode) << uninstall.log;
        EXPECT_EQ("", Footprint(c.folder));
        EXPECT_FALSE(fs::exists(c.folder));
        UniqueRegistryKey company;
        EXPECT_NE(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvane", 0,
                                                 KEY_READ, company.put()));
    }
}

TEST_F(MsiTest, AnUpgradeEndsTheRunningCopyAndRemembersTheProperties) {
    const std::string properties = "INSTALLDIR=\"" + std::string(kAlternativeFolder) +
                                   "\\\" AUTOSTART=0 SERVERS=ntp.corp.example";
    const Msiexec older = InstallPackage(kOlderPackage, properties);
    ASSERT_EQ(0u, older.exitCode) << older.log;
    ASSERT_EQ(std::vector<std::string>{kOlderVersion}, InstalledVersions());
    SeedSettings();
    MarkInstalledFiles(kAlternativeFolder);
    Process program =
        Process::Start("\"" + std::string(kAlternativeFolder) + "\\Tickwell.exe\" StartUp");
    ASSERT_NE(nullptr, desktop::WaitForWindow(
                           {.processId = program.id(), .className = "#32770", .title = "Tickwell"},
                           kMoment));

    const Msiexec upgrade = InstallPackage(kPackage);
    EXPECT_EQ(0u, upgrade.exitCode) << upgrade.log;
    EXPECT_EQ(0u, program.WaitForExit(desktop::Milliseconds(0)));  // as its Exit ends it
    program.Kill(kMoment);
    EXPECT_EQ(std::vector<std::string>{TICKWELL_VERSION}, InstalledVersions());
    EXPECT_TRUE(InstalledAsStaged(kAlternativeFolder));
    EXPECT_FALSE(fs::exists(kFolder));
    EXPECT_EQ(std::nullopt, MachineString(kMachineRunKey, "Tickwell"));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), SeeClockService().state);
    EXPECT_TRUE(Approved("ntp.corp.example"));
    EXPECT_EQ("ntp.corp.example", MachineString(kRememberedKey, "SERVERS"));
    EXPECT_EQ(2u, kOptions.ReadDword("nSynPeriod"));
}

TEST_F(MsiTest, RefusedStepsChangeNothing) {
    // Silent, Wine's installer logs no condition's message, only the action that failed;
    // and it ends with ERROR_FUNCTION_FAILED where a custom action failed, not with
    // Windows's ERROR_INSTALL_FAILURE.
    struct Case {
        const char* refused;
        std::string installed;  // empty: nothing
        std::string arguments;
        bool hung;
        DWORD exitCode;
        const char* failedAction;
    };
    const Case cases[] = {
        {"a downgrade", kPackage, "/i \"" + kOlderPackage + "\" SERVERS=ntp.corp.example", false,
         ERROR_INSTALL_FAILURE, "LaunchConditions. Return value 0"},
        {"an upgrade over a hung copy", kOlderPackage, "/i \"" + kPackage + "\"", true,
         ERROR_FUNCTION_FAILED, "EndRunningCopies. Return value 0"},
        {"an uninstall while a copy hangs", kPackage, "/x \"" + kPackage + "\"", true,
         ERROR_FUNCTION_FAILED, "EndRunningCopies. Return value 0"},
        {"a server that is no host", "",
         "/i \"" + kPackage + "\" SERVERS=\"ntp.corp.example ntp!corp\"", false,
         ERROR_FUNCTION_FAILED, "ConfigureService. Return value 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refused);
        SetUp();
        if (!c.installed.empty()) {
            ASSERT_EQ(0u, InstallPackage(c.installed).exitCode);
            MarkInstalledFiles();
        }
        // A window like Tickwell's that never ends.
        const std::unique_ptr<std::remove_pointer_t<HWND>, decltype(&::DestroyWindow)> window(
            c.hung ? ::CreateWindowExA(0, "#32770", "Tickwell", WS_POPUP, 0, 0, 9, 9, nullptr,
                                       nullptr, nullptr, nullptr)
                   : nullptr,
            &::DestroyWindow);
        const std::string before = Footprint(kFolder);

        const Msiexec refused = RunMsiexec(c.arguments);
        EXPECT_EQ(c.exitCode, refused.exitCode);
        EXPECT_NE(std::string::npos, refused.log.find(c.failedAction)) << refused.log;
        EXPECT_EQ(before, Footprint(kFolder));
    }
}

}  // namespace
