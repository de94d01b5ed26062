// The program: its start-up (one copy only, the settings loaded or first written, the main
// window shown or hidden), the message loop, and its end.
#pragma once

#include <windows.h>

#include <string>

#include "app/main_dialog.h"
#include "app/program_events.h"
#include "app/program_run_reporter.h"
#include "app/single_copy_win.h"
#include "app/tray_icon.h"
#include "config/registry_policy_source_win.h"
#include "config/registry_profile_store_win.h"
#include "config/run_history.h"
#include "config/settings.h"
#include "nts/certificate_check.h"
#include "nts/nts_key_exchanger.h"
#include "platform/clock.h"
#include "platform/clock_service.h"
#include "platform/connectivity.h"
#include "platform/event_log_win.h"
#include "platform/history_file.h"
#include "platform/message_boxes.h"
#include "platform/network_stack.h"
#include "platform/web_probe.h"
#include "platform/worker_threads.h"
#include "sync/sync_scheduler.h"

class SyncApp {
  public:
    static constexpr const char* kCompany = "Quorvane";

    explicit SyncApp(HINSTANCE instance);
    SyncApp(const SyncApp&) = delete;
    SyncApp& operator=(const SyncApp&) = delete;

    // Start-up, the message loop and the end; the process's exit code.
    int Run();

  private:
    // False when the program is not to run: another copy is running, or no window.
    bool InitInstance();

    HINSTANCE instance_;
    // Held for the whole run, and let go only after everything else has ended.
    SingleCopy singleCopy_;
    std::string displayName_;
    PlatformClock clock_;
    PlatformNetworkStack network_;
    PlatformWebProbe probe_;
    PlatformMessageBoxes boxes_;
    PlatformConnectivity connectivity_;
    StdWorkerThreads threads_;
    PlatformClockService clockService_;
    // Windows judges the key exchange's certificates, with the user's and the organisation's roots.
    nts::CertificateCheck certificates_;
    nts::NtsKeyExchanger keyExchanger_{certificates_};
    FolderHistoryFile historyFile_;
    RunHistory history_;
    RegistryProfileStore store_;
    RegistryPolicySource policies_;
    Settings settings_;
    TrayIcon tray_;
    WindowsEventLog eventLog_;
    ProgramEvents events_;
    ProgramRunReporter reporter_;
    SyncScheduler scheduler_;
    MainDialog mainDialog_;
};
