// "Options": the synchronisation period, the exit after synchronisation, the tray icon, the
// fixed offset as direction, minutes and seconds, the limits of the warnings and of a
// scheduled run, and whether only secure (NTS) servers are asked, edited in a copy. OK
// publishes and stores them, brings the tray icon in line at once, and gives a catalogue
// without secure servers the built-in ones when only those may be asked; Cancel drops them.
#pragma once

#include "app/managed_settings.h"
#include "app/options_form.h"
#include "app/tray_icon.h"
#include "config/settings.h"
#include "ui/control.h"
#include "ui/dialog.h"
#include "ui/tool_tips.h"

class OptionsDialog : public Dialog, public PolicyFollower {
  public:
    // helpOwner: the main window, which owns the help window that F1 opens.
    OptionsDialog(Settings& settings, TrayIcon& tray, HWND helpOwner);
    // What the user typed and has not stored gives way to the options as they now are.
    void FollowPolicies() override;

  protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(DataExchange& exchange) override;
    void OnOK() override;

  private:
    void OnHelpButton();
    void OnRestoreDefault();
    void OnPeriodChanged();
    void ApplyExitAfterRule();
    void ShowForm();
    // The line, the locks and the tips of the administrator's policies.
    void ShowManaged();

    Settings& settings_;
    TrayIcon& tray_;
    HWND helpOwner_;

    UpDownControl maxDiffSpin_;
    UpDownControl timeOutSpin_;
    UpDownControl secondsSpin_;
    UpDownControl minutesSpin_;
    UpDownControl maxDaysSpin_;
    ManagedSettings managed_;
    OptionsForm form_;
    ToolTips tips_;
};
