#include "app/main_dialog.h"

#include <chrono>

#include "about/qv_support.h"
#include "base/picture_choice.h"
#include "app/close_rules.h"
#include "app/options_dialog.h"
#include "app/presentation.h"
#include "app/server_chooser_dialog.h"
#include "app/shell_actions.h"
#include "config/last_success.h"
#include "resources/tickwell_ids.h"
#include "resources/version.h"

MainDialog::MainDialog(SyncScheduler& scheduler, Settings& settings, TrayIcon& tray,
                       ProgramEvents& events, RunHistory* history, PolicySource& policies,
                       const std::string& displayName)
    : Dialog(IDD_MAIN),
      scheduler_(scheduler),
      settings_(settings),
      tray_(tray),
      events_(events),
      policies_(policies),
      displayName_(displayName),
      taskbarCreated_(::RegisterWindowMessageA("TaskbarCreated")),
      exitRequest_(::RegisterWindowMessageA(kExitRequestMessage)),
      showRequest_(::RegisterWindowMessageA(kShowRequestMessage)),
      historyWindow_(history) {
    messages()
        .OnCommand(IDC_MAIN_SYNCHRONIZE, [this] { OnSynchronizeNow(); })
        .OnCommand(IDC_MAIN_SET_TIME_ZONE, [this] { OnSetTimeZone(); })
        .OnCommand(IDC_MAIN_OPTIONS, [this] { OnOptions(); })
        .OnCommand(IDC_MAIN_ABOUT, [this] { OnAbout(); })
        .OnCommand(IDC_MAIN_HELP, [this] { OnHelp(); })
        .OnMessage(WM_CLOSE,
                   [this](WPARAM, LPARAM) {
                       OnClose();
                       return 0;
                   })
        .OnMessage(WM_TIMER,
                   [this](WPARAM, LPARAM) {
                       OnTimer();
                       return 0;
                   })
        .OnMessage(WM_HELP,
                   [this](WPARAM, LPARAM) {
                       OnHelpInfo();
                       return TRUE;
                   })
        .OnCommand(IDC_MAIN_SERVER, [this] { OnServer(); })
        .OnCommand(IDC_MAIN_BREAK, [this] { OnBreak(); });
}

void MainDialog::DoDataExchange(DataExchange& exchange) {
    exchange.Bind(IDC_MAIN_PROGRESS, progress_);
    exchange.Text(IDC_MAIN_TIME_AFTER, afterText_);
    exchange.Text(IDC_MAIN_TIME_BEFORE, beforeText_);
    exchange.Text(IDC_MAIN_STATUS, statusText_);
    exchange.Text(IDC_MAIN_DATE, dateText_);
    exchange.Text(IDC_MAIN_SERVER_TITLE, serverText_);
}

BOOL MainDialog::OnInitDialog() {
    if (!showAtStart_) {
        ::ShowWindow(hwnd(), SW_HIDE);
    }
    for (const UINT message : {taskbarCreated_, exitRequest_, showRequest_}) {
        LetThroughFromLowerIntegrity(message);
    }
    LoadIcons();
    ShowPictureForDpi();
    ::SendMessageA(hwnd(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(displayName_.c_str()));
    const HMENU systemMenu = ::GetSystemMenu(hwnd(), FALSE);
    ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(systemMenu, MF_STRING, IDM_SYSTEM_HISTORY, presentation::kHistoryMenuItem);
    const StatusView status = scheduler_.Status();
    ReadFields(status);
    RefreshRunViews(status);
    // Before the tray icon exists (the program adds it once this window is up), so that no
    // tray command reaches a window still starting.
    if (IsOverdue(status.lastSuccess, status.now, status.maxDays)) {
        ::MessageBoxA(hwnd(), presentation::OverdueWarningText(settings_.Options().maxDays).c_str(),
                      presentation::kWarningCaption, MB_OK | MB_ICONWARNING);
    }
    StartTimer();
    // Fills the fields, once.
    return Dialog::OnInitDialog();
}

void MainDialog::LoadIcons() {
    // At the sizes the system shows them, so that they stay sharp at any DPI.
    const struct {
        UniqueIcon& icon;
        WPARAM kind;
        int width;
        int height;
    } icons[] = {{smallIcon_, ICON_SMALL, SM_CXSMICON, SM_CYSMICON},
                 {bigIcon_, ICON_BIG, SM_CXICON, SM_CYICON}};
    for (const auto& icon : icons) {
        icon.icon.reset(static_cast<HICON>(
            ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TICKWELL), IMAGE_ICON,
                         ::GetSystemMetrics(icon.width), ::GetSystemMetrics(icon.height), 0)));
        ::SendMessageA(hwnd(), WM_SETICON, icon.kind, reinterpret_cast<LPARAM>(icon.icon.get()));
    }
}

void MainDialog::ShowPictureForDpi() {
    // The template's area and the gap under it.
    RECT area{0, 0, 106, 82};
    ::MapDialogRect(hwnd(), &area);
    constexpr PictureSize kPictures[] = {{IDB_MAIN_PICTURE_200, 306, 242},
                                         {IDB_MAIN_PICTURE_150, 230, 182}};
    const std::optional<int> picture = LargestPictureThatFits(kPictures, area.right, area.bottom);
    if (!picture) {
        return;
    }
    picture_.reset(static_cast<HBITMAP>(::LoadImageA(
        ::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(*picture), IMAGE_BITMAP, 0, 0, 0)));
    ::SendDlgItemMessageA(hwnd(), IDC_MAIN_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(picture_.get()));
}

void MainDialog::LetThroughFromLowerIntegrity(UINT message) {
    // An elevated copy would otherwise never hear of a new taskbar or of setup and second
    // starts, which run without elevation.
    if (message != 0) {
        ::ChangeWindowMessageFilterEx(hwnd(), message, MSGFLT_ALLOW, nullptr);
    }
}

void MainDialog::ReadFields(const StatusView& status) {
    beforeText_ = presentation::TimeBeforeText(status.record);
    afterText_ = presentation::TimeAfterText(status.record);
    dateText_ = presentation::SyncDateText(status.record, status.months);
    statusText_ = presentation::StatusText(status.record);
    serverText_ = status.serverTitle;
}

std::optional<LRESULT> MainDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (const std::optional<LRESULT> handled =
            tray_.HandleMessage(hwnd(), message, wParam, lParam, *this)) {
        return handled;
    }
    switch (message) {
        case WM_DESTROY:
            tray_.Remove();
            CloseHelp(hwnd());
            ::PostQuitMessage(0);
            return 1;
        case WM_SIZE:
            // Without a tray icon a minimised window keeps its taskbar button.
            if (wParam == SIZE_MINIMIZED &&
                DecideHide(settings_.Options().showIcon != 0) == HideAction::kHide) {
                SetShown(0);
                return 1;
            }
            return std::nullopt;
        case WM_KEYDOWN:
            if (wParam == VK_F1) {
                ShowHelp(hwnd());
            }
            return std::nullopt;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_SYSTEM_HISTORY) {
                OnHistory();
                return 0;
            }
            return std::nullopt;
        case WM_POWERBROADCAST:
            if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) {
                scheduler_.Resumed();
            }
            return TRUE;
        case WM_TIMECHANGE:
            scheduler_.ClockChanged(std::chrono::steady_clock::now());
            return 0;
        case WM_SETTINGCHANGE:
            // A refresh of Group Policy; the registry watch may not see every one.
            if (lParam != 0 && ::lstrcmpiA(reinterpret_cast<const char*>(lParam), "Policy") == 0) {
                FollowPolicies();
            }
            return std::nullopt;
        default:
            if (message == taskbarCreated_ && taskbarCreated_ != 0) {
                tray_.Restore();
                return 0;
            }
            if (message == exitRequest_ && exitRequest_ != 0) {
                StopTimer();
                ::DestroyWindow(hwnd());
                return 1;
            }
            if (message == showRequest_ && showRequest_ != 0) {
                SetShown(SW_RESTORE);
                ::SetForegroundWindow(hwnd());
                BringOpenWindowForward();
                return kShowAnswer;
            }
            return std::nullopt;
    }
}

void MainDialog::OnTrayChoice(TrayChoice choice) {
    switch (choice) {
        case TrayChoice::kOpen:
            SetShown(1);
            ::SetForegroundWindow(hwnd());
            ::SetFocus(hwnd());
            return;
        case TrayChoice::kSynchronizeNow:
            OnSynchronizeNow();
            return;
        case TrayChoice::kOptions:
            OnOptions();
            return;
        case TrayChoice::kHistory:
            OnHistory();
            return;
        case TrayChoice::kNotifications:
            settings_.StoreNotify(settings_.notify == 0);
            return;
        case TrayChoice::kExit:
            OnTrayExit();
            return;
    }
}

void MainDialog::SetShown(int show) {
    if (show == 0) {
        const bool hide = DecideHide(settings_.Options().showIcon != 0) == HideAction::kHide;
        ::ShowWindow(hwnd(), hide ? SW_HIDE : SW_MINIMIZE);
        return;
    }
    ::SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetWindowPos(hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::ShowWindow(hwnd(), show);
}

void MainDialog::OnCancel() {
    SetShown(0);
}

void MainDialog::ShowFields(const StatusView& status) {
    ReadFields(status);
    UpdateData(false);
    RefreshRunViews(status);
}

void MainDialog::RefreshRunViews(const StatusView& status) {
    events_.StatusSeen(status);
    const TrayState state = DecideTrayState(status);
    tray_.ShowState(state);
    presentation::TrayTipState tip;
    tip.state = state;
    tip.name = displayName_;
    tip.last = status.last;
    tip.syncDate = status.record.syncDate;
    tip.now = status.now;
    tip.nextRun = status.nextRun;
    tip.otherTimeProgram = status.otherTimeProgram;
    tray_.SetTip(presentation::TrayTipText(tip));
    if (const std::optional<BalloonCause> cause = balloons_.Decide(
            status, state, settings_.notify != 0, std::chrono::steady_clock::now())) {
        tray_.ShowBalloon(presentation::kBalloonTitle, presentation::BalloonText(*cause, status));
    }
    historyWindow_.ShowNextRun(presentation::NextRunText(status.nextRun, status.now));
    if (status.runsEnded != runsShown_) {
        runsShown_ = status.runsEnded;
        historyWindow_.Refresh();
    }
}

void MainDialog::StepProgress() {
    progress_.SetPos(progressPos_);
    progressPos_ += kProgressStep;
    if (progressPos_ > 100) {
        progressPos_ = 0;
    }
}

void MainDialog::StartTimer() {
    timerId_ = ::SetTimer(hwnd(), kTimerId, kTickMilliseconds, nullptr);
}

void MainDialog::StopTimer() {
    if (timerId_ != 0) {
        ::KillTimer(hwnd(), timerId_);
        timerId_ = 0;
    }
}

void MainDialog::FollowPolicies() {
    const PolicyChange change = settings_.ApplyPolicies(ReadPolicies(policies_));
    events_.PoliciesRead(settings_.Policy());
    if (change.catalogue) {
        scheduler_.Publish(*change.catalogue, change.chosen);
    }
    if (change.outcome) {
        scheduler_.SettingsChanged();
        tray_.Modify();
    }
    if ((change.outcome || change.catalogue) && openFollower_ != nullptr) {
        openFollower_->FollowPolicies();
    }
}

void MainDialog::OnTimer() {
    if (policyWatch_.Changed()) {
        FollowPolicies();
    }
    scheduler_.Tick();
    const StatusView status = scheduler_.Status();
    if (status.running) {
        // The fields wait for the run's end; the tray shows that it runs.
        RefreshRunViews(status);
        StepProgress();
        return;
    }
    progress_.SetPos(0);
    ShowFields(status);
    // Last: the close rules may end the program.
    if (ExitsAfterSynchronisation({!IsShown(), settings_.Options().exitAfter != 0,
                                   status.todaysRunDone, status.resumePending})) {
        ::SendMessageA(hwnd(), WM_CLOSE, 0, 0);
    }
}

bool MainDialog::BringOpenWindowForward() {
    // A dialog or box owned by this window disables it while it is open.
    if (::IsWindowEnabled(hwnd())) {
        return false;
    }
    ::SetForegroundWindow(::GetLastActivePopup(hwnd()));
    return true;
}

bool MainDialog::OtherWindowsOpen() const {
    struct Search {
        HWND main;
        bool found;
    } search{hwnd(), false};
    ::EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(parameter);
            DWORD process = 0;
            ::GetWindowThreadProcessId(window, &process);
            if (window != s.main && process == ::GetCurrentProcessId() &&
                ::IsWindowVisible(window)) {
                s.found = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void MainDialog::OnClose() {
    const CloseAction action = DecideClose(
        {settings_.Options().exitAfter != 0, closingFromMenu_, IsShown(), OtherWindowsOpen()});
    if (action == CloseAction::kWaitForNextTick) {
        return;  // the timer goes on: a later tick asks again
    }
    if (action == CloseAction::kAsk && BringOpenWindowForward()) {
        return;  // the exit question, or another box, is open already
    }
    StopTimer();
    if (action == CloseAction::kEndSilently) {
        ::DestroyWindow(hwnd());
        return;
    }
    if (::MessageBoxA(hwnd(), presentation::kExitQuestion, displayName_.c_str(),
                      MB_YESNO | MB_ICONINFORMATION) == IDYES) {
        ::DestroyWindow(hwnd());
        return;
    }
    SetShown(0);
    StartTimer();
}

void MainDialog::OnSynchronizeNow() {
    scheduler_.StartManualRun();
}

void MainDialog::OnSetTimeZone() {
    OpenDateTimeSettings();
}

INT_PTR MainDialog::RunDialog(Dialog& dialog, PolicyFollower& follower) {
    // The tray menu reaches this window while a dialog or box is open: bring that one up.
    if (BringOpenWindowForward()) {
        return IDCANCEL;
    }
    openFollower_ = &follower;
    const INT_PTR result = dialog.DoModal(hwnd());
    openFollower_ = nullptr;
    return result;
}

void MainDialog::OnOptions() {
    OptionsDialog dialog(settings_, tray_, hwnd());
    if (RunDialog(dialog, dialog) == IDOK) {
        scheduler_.SettingsChanged();
    }
}

void MainDialog::OnServer() {
    ServerChooserDialog dialog(settings_, scheduler_);
    RunDialog(dialog, dialog);
}

void MainDialog::OnAbout() {
    ShowAbout();
}

void MainDialog::ShowAbout() {
    QvShowAbout(presentation::AboutText(displayName_, TICKWELL_VERSION_MAJOR,
                                        TICKWELL_VERSION_MINOR, TICKWELL_VERSION_PATCH));
}

void MainDialog::OnHelp() {
    ShowHelp(hwnd());
}

void MainDialog::OnHelpInfo() {
    ShowHelp(hwnd());
}

void MainDialog::OnTrayExit() {
    closingFromMenu_ = true;
    ::SendMessageA(hwnd(), WM_CLOSE, 0, 0);
    closingFromMenu_ = false;
}

void MainDialog::OnHistory() {
    historyWindow_.Open();
}

void MainDialog::OnBreak() {
    scheduler_.BreakRun(presentation::kBrokenStatus);
}
