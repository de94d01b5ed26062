// The Tickwell Clock service as setup installs it, under Wine: installed, started and
// configured as Windows needs it, upgraded, left out with /NOSERVICE, removed by the
// uninstaller, and a synchronisation of the installed program through it. Wine ends a
// prefix's services about 2 s after its last ordinary process has ended, so every step
// that needs the service runs inside this test program, which keeps the prefix alive.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/presentation.h"
#include "config/default_servers.h"
#include "platform/clock_service_protocol.h"
#include "base/unique_handle_win.h"
#include "resources/tickwell_ids.h"
#include "tests/e2e/tickwell_session.h"
#include "tests/installer/installation.h"
#include "tests/support/http_server.h"

namespace {

using namespace installation;
using e2e::TickwellSession;

bool Approved(const std::string& host) {
    const std::vector<std::string> approved = ApprovedServers();
    return std::find(approved.begin(), approved.end(), host) != approved.end();
}

class ClockServiceTest : public testing::Test {
  protected:
    void SetUp() override { ForgetInstall(); }
};

TEST_F(ClockServiceTest, SetupInstallsAndStartsTheServiceAndTheUninstallerRemovesIt) {
    const Outcome install = Install();
    ASSERT_EQ(0u, install.exitCode) << install.errors;
    const ClockServiceSeen installed = SeeClockService();
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), installed.openError);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), installed.state);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), installed.startType);
    EXPECT_EQ("NT AUTHORITY\\LocalService", installed.account);
    EXPECT_EQ("Tickwell Clock", installed.displayName);
    for (const DefaultServer& server : kDefaultServers) {
        EXPECT_TRUE(Approved(server.address)) << server.address;
    }
    EXPECT_EQ(0u, MaxUserOffset());

    // An upgrade replaces the service's program, so it must start it anew; what an
    // administrator approved stays approved.
    ASSERT_TRUE(ApproveServer(e2e::kChronyd));
    const Outcome upgrade = Install();
    ASSERT_EQ(0u, upgrade.exitCode) << upgrade.errors;
    const ClockServiceSeen upgraded = SeeClockService();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), upgraded.state);
    EXPECT_NE(installed.processId, upgraded.processId);
    EXPECT_TRUE(Approved(e2e::kChronyd));

    ASSERT_TRUE(UninstallAsWindowsDoes());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), SeeClockService().openError);
    EXPECT_TRUE(ApprovedServers().empty());
    EXPECT_FALSE(MaxUserOffset());
}

TEST_F(ClockServiceTest, NoServiceLeavesTheServiceOutAndRemovesAnInstalledOne) {
    struct Case {
        bool upgrade;
        std::string options;
    };
    for (const Case& c :
         {Case{false, "/S /NOSERVICE /NOAUTOSTART"}, Case{true, "/S /noautostart /NoService"}}) {
        SCOPED_TRACE(c.options);
        SetUp();
        if (c.upgrade) {
            ASSERT_EQ(0u, Install().exitCode);
            ASSERT_EQ(static_cast<DWORD>(SERVICE_RUNNING), SeeClockService().state);
        }
        const Outcome outcome = Install(c.options);
        ASSERT_EQ(0u, outcome.exitCode) << outcome.errors;
        EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), SeeClockService().openError);
        EXPECT_TRUE(ApprovedServers().empty());
        EXPECT_FALSE(kRunKey.ReadString("Tickwell"));
        EXPECT_TRUE(Contents(kFolder + "\\Tickwell.exe") == Contents(kStage / "Tickwell.exe"));
        const Outcome uninstall = Uninstall("/S");
        EXPECT_EQ(0u, uninstall.exitCode) << uninstall.errors;
    }
}

// While a service starts, the manager refuses to start another (ERROR_SERVICE_DATABASE_LOCKED),
// as at boot or with another installer at work: setup waits for it.
TEST_F(ClockServiceTest, SetupStartsTheServiceOnceAnotherServiceHasStarted) {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(manager);
    // No service program: the manager waits for it to connect until it ends, seconds later.
    const UniqueServiceHandle slow(
        ::CreateServiceW(manager.get(), L"TickwellTestSlowStart", nullptr, SERVICE_ALL_ACCESS,
                         SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                         L"C:\\windows\\system32\\ping.exe -n 8 127.0.0.1", nullptr, nullptr,
                         nullptr, nullptr, nullptr));
    ASSERT_TRUE(slow) << ::GetLastError();
    std::thread starting([&] { ::StartServiceW(slow.get(), 0, nullptr); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const Outcome install = Install();
    starting.join();
    ::DeleteService(slow.get());
    ASSERT_EQ(0u, install.exitCode) << install.errors;
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), SeeClockService().state);
}

// Makes the service's pipe before the service can, as any local user's program could, and
// would answer one request with success; counts the requests it gets.
class PipeSquatter {
  public:
    PipeSquatter()
        : pipe_(::CreateNamedPipeW(ClockServicePipeNameWide().c_str(), PIPE_ACCESS_DUPLEX,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 4096, 4096, 0,
                                   nullptr)),
          thread_([this] {
              ::ConnectNamedPipe(pipe_.get(), nullptr);
              std::array<std::uint8_t, 4096> request{};
              DWORD bytes = 0;
              if (!stopping_ && ::ReadFile(pipe_.get(), request.data(),
                                           static_cast<DWORD>(request.size()), &bytes, nullptr)) {
                  ++requests_;
                  ClockServiceReply success;
                  success.status = ClockServiceStatus::kSynchronised;
                  const std::vector<std::uint8_t> reply =
                      EncodeClockServiceReply(success, kClockServiceProtocolVersion);
                  ::WriteFile(pipe_.get(), reply.data(), static_cast<DWORD>(reply.size()), &bytes,
                              nullptr);
              }
          }) {}
    ~PipeSquatter() {
        stopping_ = true;
        // Ends a wait for a client that never came.
        UniqueHandle(::CreateFileW(ClockServicePipeNameWide().c_str(), GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
        thread_.join();
    }
    bool made() const { return pipe_.get() != INVALID_HANDLE_VALUE; }
    int requests() const { return requests_; }

  private:
    UniqueHandle pipe_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};

// The service cannot start while another process holds its pipe, and the installed program,
// told that the service does not run, sends that process nothing: the run fails and says why.
TEST_F(ClockServiceTest, AProcessHoldingThePipeIsNeverAskedAndTheRunSaysWhy) {
    const PipeSquatter squatter;
    ASSERT_TRUE(squatter.made());
    const Outcome install = Install();
    EXPECT_EQ(2u, install.exitCode);
    EXPECT_NE(std::string::npos, install.errors.find("the service stopped as it started"))
        << install.errors;
    TickwellSession::SeedProfile({{"chronyd", e2e::kChronyd}}, {{"nClockService", 1}});
    const HttpServer web;  // the manual run's probe page
    desktop::Process copy = desktop::Process::Start("\"" + kFolder + "\\Tickwell.exe\"");
    const HWND main = TickwellSession::MainWindowOf(copy);
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(desktop::PostCommand(main, IDC_MAIN_SYNCHRONIZE));
    const auto box = TickwellSession::BoxOf(copy, "");
    ASSERT_TRUE(box);
    RunResult distrusted;
    distrusted.throughService = true;
    distrusted.failure = FailureOf(FailureKind::kPipeWithoutService);
    distrusted.failure.process = ::GetCurrentProcessId();
    const std::string reason = presentation::FailureSentence(distrusted);
    EXPECT_NE(std::string::npos, box->text().find(reason)) << box->text();
    box->Answer(IDOK);
    std::string status;
    EXPECT_TRUE(desktop::WaitUntil(
        [&] {
            status = desktop::ControlText(main, IDC_MAIN_STATUS);
            return status.rfind(presentation::kCommunicationStatus, 0) == 0;
        },
        e2e::kRunTimeout))
        << status;
    copy.Kill(e2e::kStartTimeout);
    EXPECT_EQ(0, squatter.requests());
}

// Wine gives every process the privilege to set the clock, so clockService 1 stands in
// for a user without it: every synchronisation goes through the service.
TEST_F(ClockServiceTest, TheInstalledProgramSynchronisesThroughTheServiceWithinThePolicy) {
    const Outcome install = Install();
    ASSERT_EQ(0u, install.exitCode) << install.errors;
    ASSERT_TRUE(ApproveServer(e2e::kChronyd));
    const HttpServer web;  // the manual run's probe page
    struct Case {
        e2e::Server server;
        std::string box;
    };
    for (const Case& c : {Case{{"chronyd", e2e::kChronyd}, presentation::kSuccessBox},
                          Case{{"slow", e2e::kSlow}, "server not approved by the administrator"}}) {
        SCOPED_TRACE(c.server.address);
        desktop::RegistryKey("Software\\Quorvane").DeleteTree();
        TickwellSession::SeedProfile({c.server}, {{"nClockService", 1}});
        desktop::Process copy = desktop::Process::Start("\"" + kFolder + "\\Tickwell.exe\"");
        const HWND main = TickwellSession::MainWindowOf(copy);
        ASSERT_NE(nullptr, main);
        ASSERT_TRUE(desktop::PostCommand(main, IDC_MAIN_SYNCHRONIZE));

        const auto box = TickwellSession::BoxOf(copy, "");
        ASSERT_TRUE(box);
        EXPECT_NE(std::string::npos, box->text().find(c.box)) << box->text();
        box->Answer(IDOK);
        if (c.server.address == e2e::kChronyd) {
            // The status line shows once the run has ended, and is the one stored.
            std::string status;
            EXPECT_TRUE(desktop::WaitUntil(
                [&] {
                    status = desktop::ControlText(main, IDC_MAIN_STATUS);
                    return status.rfind("Success synchro: ", 0) == 0;
                },
                e2e::kRunTimeout))
                << status;
            EXPECT_EQ(status, TickwellSession::Options().ReadString("sConnectStatus"));
            EXPECT_EQ(e2e::Today().wDay, TickwellSession::Options().ReadDword("nSynDay"));
        }
        copy.Kill(e2e::kStartTimeout);
    }
}

// An administrator who requires secure time: the installed program's plain request for an
// approved server is refused before any server is asked, and the box says why.
TEST_F(ClockServiceTest, WhereSecureTimeIsRequiredAPlainServerIsRefused) {
    const Outcome install = Install();
    ASSERT_EQ(0u, install.exitCode) << install.errors;
    ASSERT_TRUE(ApproveServer(e2e::kChronyd));
    ASSERT_TRUE(RequireNts(1));
    const HttpServer web;  // the manual run's probe page
    TickwellSession::SeedProfile({{"chronyd", e2e::kChronyd}}, {{"nClockService", 1}});
    desktop::Process copy = desktop::Process::Start("\"" + kFolder + "\\Tickwell.exe\"");
    const HWND main = TickwellSession::MainWindowOf(copy);
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(desktop::PostCommand(main, IDC_MAIN_SYNCHRONIZE));
    const auto box = TickwellSession::BoxOf(copy, "");
    ASSERT_TRUE(box);
    RunResult refused;
    refused.throughService = true;
    refused.failure = FailureOf(FailureKind::kNtsRequired);
    EXPECT_NE(std::string::npos, box->text().find(presentation::FailureSentence(refused)))
        << box->text();
    box->Answer(IDOK);
    copy.Kill(e2e::kStartTimeout);
}

// The first program of a prefix made just before (installer.fresh-prefix): the service
// control manager is still starting the prefix's own services as setup starts Tickwell's.
TEST(FreshPrefixTest, SetupStartsTheServiceWhileTheManagerIsStillBusy) {
    const Outcome install = Install();
    ASSERT_EQ(0u, install.exitCode) << install.errors;
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), SeeClockService().state);
}

}  // namespace
