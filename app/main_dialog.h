// The program's one top-level window: the record of the last synchronisation, the buttons
// for every action and the progress of a running run. Its one-second timer drives the
// scheduler, which it reads through one status view and commands; the tray icon tells it what
// the user chose there. Usually hidden: minimising it, or
// answering No to the exit question, hides it, and the tray icon brings it back.
#pragma once

#include <windows.h>

#include <string>

#include "app/balloon_rules.h"
#include "app/history_window.h"
#include "app/managed_settings.h"
#include "app/program_events.h"
#include "app/tray_icon.h"
#include "config/policy_change_watch_win.h"
#include "config/policy_source.h"
#include "config/settings.h"
#include "base/unique_handle_win.h"
#include "sync/sync_scheduler.h"
#include "ui/control.h"
#include "ui/dialog.h"

class MainDialog : public Dialog, public TrayChoices {
  public:
    // A registered message by which setup asks a running copy to end, as a confirmed Exit
    // ends it: no question, nothing lost.
    static constexpr const char* kExitRequestMessage = "Quorvane.Tickwell.Exit";
    // A registered message by which a second start asks the running copy to show its window.
    static constexpr const char* kShowRequestMessage = "Quorvane.Tickwell.Show";
    // The main window's answer to it, which no other window gives: a start that gets none
    // takes the copy for one that is ending.
    static constexpr LRESULT kShowAnswer = 0x54574C;

    static constexpr UINT_PTR kTimerId = 1;
    static constexpr UINT kTickMilliseconds = 1000;
    static constexpr int kProgressStep = 10;

    // history may be null: the History window then stays empty. policies: read again
    // whenever they may have changed.
    MainDialog(SyncScheduler& scheduler, Settings& settings, TrayIcon& tray, ProgramEvents& events,
               RunHistory* history, PolicySource& policies, const std::string& displayName);

    // Read once, when the window is created.
    void SetShowAtStart(bool show) { showAtStart_ = show; }
    // 0 hides the window (to the taskbar when there is no tray icon); otherwise it comes to
    // the front, shown with this command.
    void SetShown(int show);

    void OnTrayChoice(TrayChoice choice) override;

  protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(DataExchange& exchange) override;
    std::optional<LRESULT> WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Esc hides the window, as minimising does.
    void OnCancel() override;

  private:
    void OnSynchronizeNow();
    void OnSetTimeZone();
    void OnOptions();
    void OnServer();
    // Runs a configuration dialog owned by this window; one at a time.
    INT_PTR RunDialog(Dialog& dialog, PolicyFollower& follower);
    void OnAbout();
    void OnHelp();
    void OnClose();
    // The scheduler's tick, then what it shows: while a run is active the progress steps and
    // only the tray follows; otherwise every field, and "Exit after synchronization.".
    void OnTimer();
    // The administrator's policies read again and in force at once: the options, the
    // catalogue of the next scheduled run, the tray icon.
    void FollowPolicies();
    // What the screen shows, however the window came to be shown or hidden.
    bool IsShown() const { return ::IsWindowVisible(hwnd()) != FALSE; }
    void ShowFields(const StatusView& status);
    void StepProgress();
    void OnTrayExit();
    void OnHelpInfo();
    void OnBreak();
    void OnHistory();
    // The tray's state, tip and balloon, the History window and the event log, in line with
    // the last run.
    void RefreshRunViews(const StatusView& status);
    void ShowAbout();
    void StartTimer();
    void StopTimer();
    void ReadFields(const StatusView& status);
    // A dialog or box of the program is open: it is brought forward and true returned.
    bool BringOpenWindowForward();
    bool OtherWindowsOpen() const;
    void LetThroughFromLowerIntegrity(UINT message);
    void LoadIcons();
    void ShowPictureForDpi();

    SyncScheduler& scheduler_;
    Settings& settings_;
    TrayIcon& tray_;
    ProgramEvents& events_;
    PolicySource& policies_;
    PolicyChangeWatch policyWatch_;
    PolicyFollower* openFollower_ = nullptr;  // the configuration dialog open, if any
    const std::string& displayName_;
    // Explorer sends it to every top-level window when it starts again.
    const UINT taskbarCreated_;
    const UINT exitRequest_;
    const UINT showRequest_;

    ProgressControl progress_;
    std::string afterText_;
    std::string beforeText_;
    std::string statusText_;
    std::string dateText_;
    std::string serverText_;
    UINT_PTR timerId_ = 0;
    bool closingFromMenu_ = false;
    bool showAtStart_ = true;
    int progressPos_ = 0;
    UniqueIcon smallIcon_;
    UniqueIcon bigIcon_;
    UniqueBitmap picture_;  // for a DPI above 100 %
    HistoryWindow historyWindow_;
    int runsShown_ = 0;
    BalloonRules balloons_;
};
