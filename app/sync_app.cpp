#include "app/sync_app.h"

#include <commctrl.h>

#include <chrono>
#include <string>

#include "app/history_window.h"
#include "app/presentation.h"
#include "app/shell_actions.h"
#include "app/start_request.h"
#include "resources/tickwell_ids.h"

namespace {

// Longer than any wait an abandoned run can be interrupted in.
constexpr std::chrono::seconds kWorkerPatience{1};

}  // namespace

SyncApp::SyncApp(HINSTANCE instance)
    : instance_(instance),
      historyFile_(HistoryFolder(), kHistoryFileName),
      history_(historyFile_),
      store_(kCompany, RegistryProfileStore::ApplicationNameOfThisProgram()),
      settings_(store_),
      tray_(settings_, displayName_),
      eventLog_(ProgramEvents::kSource),
      events_(eventLog_, store_, clock_),
      reporter_(boxes_, LoadedMonthNames(), events_),
      scheduler_(SchedulerServices{clock_, network_, probe_, reporter_, connectivity_, threads_,
                                   clockService_, &history_, &keyExchanger_},
                 settings_),
      mainDialog_(scheduler_, settings_, tray_, events_, &history_, policies_, displayName_) {}

bool SyncApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&controls);

    char name[256] = {};
    ::LoadStringA(instance_, IDS_DISPLAY_NAME, name, sizeof name);
    displayName_ = name;
    Dialog::SetApplicationTitle(displayName_);
    Dialog::SetRefusalWording(presentation::NumberRefusalText);

    if (!singleCopy_.Claim(displayName_)) {
        return false;
    }

    // Asked before anything reads the store: reading creates the keys.
    const bool firstStart = !store_.HasSection(Settings::kOptionsSection);
    // Before the settings: what a policy sets is never stored, not even as a first default.
    settings_.ApplyPolicies(ReadPolicies(policies_));
    events_.PoliciesRead(settings_.Policy());
    SyncRecord record;
    if (firstStart) {
        try {
            settings_.WriteFirstDefaults();
        } catch (...) {
            // The first defaults are a convenience; the program runs on its defaults anyway.
        }
        ::MessageBoxA(nullptr, presentation::kTimeZoneCheckBox, displayName_.c_str(),
                      MB_OK | MB_ICONINFORMATION);
        OpenDateTimeSettings();
    } else {
        settings_.Load(record);
    }
    scheduler_.Restore(record);

    const bool startUp = ReadStartRequest(::GetCommandLineA()) == StartRequest::kStartUp;
    const bool showAtStart = firstStart || !startUp;
    mainDialog_.SetShowAtStart(showAtStart);
    if (!mainDialog_.Create(nullptr)) {
        return false;
    }
    if (showAtStart) {
        ::ShowWindow(mainDialog_.hwnd(), SW_SHOWNORMAL);
    }
    ::UpdateWindow(mainDialog_.hwnd());
    // The icon is no part of the window: adding it asks the shell in another process, which
    // the window need not wait for.
    tray_.Init(instance_, mainDialog_.hwnd());
    tray_.Modify();
    return true;
}

int SyncApp::Run() {
    if (!InitInstance()) {
        return 0;
    }
    const int exitCode = RunMessageLoop();
    if (!scheduler_.WindDown(kWorkerPatience)) {
        // A worker still sits in a wait nothing can interrupt; it must not keep the process.
        ::ExitProcess(static_cast<UINT>(exitCode));
    }
    return exitCode;
}
