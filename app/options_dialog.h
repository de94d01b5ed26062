// "Options": the synchronisation period, the exit after synchronisation, the tray icon, the
// fixed offset as direction, minutes and seconds, and the limits of the warnings and of a
// scheduled run. OK stores them and brings the tray icon in line at once.
#pragma once

#include "app/tray_icon.h"
#include "config/settings.h"
#include "ui/control.h"
#include "ui/dialog.h"

class OptionsDialog : public Dialog {
  public:
    // helpOwner: the main window, which owns the help window that F1 opens.
    OptionsDialog(Settings& settings, TrayIcon& tray, HWND helpOwner);

  protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(DataExchange& exchange) override;
    void OnOK() override;

  private:
    void OnHelpButton();
    void OnRestoreDefault();
    void OnPeriodChanged();
    // "Exit after synchronization." only with daily synchronisation.
    void ApplyExitAfterRule();
    void LoadFromSettings();

    Settings& settings_;
    TrayIcon& tray_;
    HWND helpOwner_;

    UpDownControl maxDiffSpin_;
    UpDownControl timeOutSpin_;
    UpDownControl secondsSpin_;
    UpDownControl minutesSpin_;
    UpDownControl maxDaysSpin_;
    int m_nPeriod = 0;
    int m_bShowIcon = 0;
    int m_bExitAfter = 0;
    int m_nMinutes = 0;
    int m_nMaxDays = 0;
    int m_nSeconds = 0;
    int m_nTimeOut = 0;
    int m_nMaxDiff = 0;
    int m_nDirection = 0;  // 0 ahead, 1 backward
};

// The fixed offset as the dialog shows it, and back.
struct OffsetParts {
    int direction;  // 0 ahead (+), 1 backward (-)
    int minutes;
    int seconds;
};
OffsetParts SplitOffset(int offsetSeconds);
int JoinOffset(const OffsetParts& parts);
