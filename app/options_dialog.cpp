#include "app/options_dialog.h"

#include <cstdlib>

#include "app/shell_actions.h"
#include "resources/tickwell_ids.h"

namespace {

struct Range {
    int low;
    int high;
};
constexpr Range kMinutes{-10, 10};
constexpr Range kMinutesSpin{0, 10};  // negative minutes can only be typed
constexpr Range kMaxDays{0, 45};
constexpr Range kSeconds{0, 59};
constexpr Range kTimeOut{20, 300};
constexpr Range kMaxDiff{0, 1000000};

}  // namespace

OffsetParts SplitOffset(int offsetSeconds) {
    const int magnitude = std::abs(offsetSeconds);
    return {offsetSeconds < 0 ? 1 : 0, magnitude / 60, magnitude % 60};
}

int JoinOffset(const OffsetParts& parts) {
    const int seconds = parts.minutes * 60 + parts.seconds;
    return parts.direction == 1 ? -seconds : seconds;
}

OptionsDialog::OptionsDialog(Settings& settings, TrayIcon& tray, HWND helpOwner)
    : Dialog(IDD_OPTIONS), settings_(settings), tray_(tray), helpOwner_(helpOwner) {
    messages()
        .OnCommand(IDC_OPTIONS_HELP, [this] { OnHelpButton(); })
        .OnCommand(IDC_OPTIONS_RESTORE_DEFAULT, [this] { OnRestoreDefault(); })
        .OnMessage(WM_HELP,
                   [this](WPARAM, LPARAM) {
                       ShowHelp(helpOwner_);
                       return TRUE;
                   })
        .OnCommand(IDC_OPTIONS_HOURLY, [this] { OnPeriodChanged(); })
        .OnCommand(IDC_OPTIONS_DAILY, [this] { OnPeriodChanged(); })
        .OnCommand(IDC_OPTIONS_MANUAL, [this] { OnPeriodChanged(); });
}

void OptionsDialog::DoDataExchange(DataExchange& exchange) {
    exchange.Bind(IDC_OPTIONS_MAX_DIFF_SPIN, maxDiffSpin_);
    exchange.Bind(IDC_OPTIONS_TIMEOUT_SPIN, timeOutSpin_);
    exchange.Bind(IDC_OPTIONS_SECONDS_SPIN, secondsSpin_);
    exchange.Bind(IDC_OPTIONS_MINUTES_SPIN, minutesSpin_);
    exchange.Bind(IDC_OPTIONS_MAX_DAYS_SPIN, maxDaysSpin_);
    exchange.Radio(IDC_OPTIONS_DAILY, m_nPeriod);
    exchange.Check(IDC_OPTIONS_SHOW_ICON, m_bShowIcon);
    exchange.Check(IDC_OPTIONS_EXIT_AFTER, m_bExitAfter);
    exchange.Text(IDC_OPTIONS_MINUTES, m_nMinutes);
    exchange.MinMaxInt(m_nMinutes, kMinutes.low, kMinutes.high);
    exchange.Text(IDC_OPTIONS_MAX_DAYS, m_nMaxDays);
    exchange.MinMaxInt(m_nMaxDays, kMaxDays.low, kMaxDays.high);
    exchange.Text(IDC_OPTIONS_SECONDS, m_nSeconds);
    exchange.MinMaxInt(m_nSeconds, kSeconds.low, kSeconds.high);
    exchange.Text(IDC_OPTIONS_TIMEOUT, m_nTimeOut);
    exchange.MinMaxInt(m_nTimeOut, kTimeOut.low, kTimeOut.high);
    exchange.Text(IDC_OPTIONS_MAX_DIFF, m_nMaxDiff);
    exchange.MinMaxInt(m_nMaxDiff, kMaxDiff.low, kMaxDiff.high);
    exchange.Radio(IDC_OPTIONS_AHEAD, m_nDirection);
}

void OptionsDialog::ApplyExitAfterRule() {
    const bool daily = m_nPeriod != Settings::kHourly && m_nPeriod != Settings::kOnlyManual;
    if (!daily) {
        m_bExitAfter = 0;
    }
    ::EnableWindow(Item(IDC_OPTIONS_EXIT_AFTER), daily ? TRUE : FALSE);
}

void OptionsDialog::LoadFromSettings() {
    m_nPeriod = settings_.nSynPeriod;
    m_bShowIcon = settings_.bShowIcon;
    m_bExitAfter = settings_.bExitAfter;
    const OffsetParts offset = SplitOffset(settings_.nOffset);
    m_nDirection = offset.direction;
    m_nMinutes = offset.minutes;
    m_nSeconds = offset.seconds;
    m_nMaxDays = settings_.nMaxDays;
    m_nTimeOut = settings_.nTimeOut;
    m_nMaxDiff = settings_.nMaxDiff;
    ApplyExitAfterRule();
    UpdateData(false);
}

BOOL OptionsDialog::OnInitDialog() {
    Dialog::OnInitDialog();
    LoadFromSettings();
    const struct {
        const UpDownControl& spin;
        Range range;
        int position;
    } spins[] = {{minutesSpin_, kMinutesSpin, m_nMinutes},
                 {secondsSpin_, kSeconds, m_nSeconds},
                 {maxDaysSpin_, kMaxDays, m_nMaxDays},
                 {timeOutSpin_, kTimeOut, m_nTimeOut},
                 {maxDiffSpin_, kMaxDiff, m_nMaxDiff}};
    for (const auto& spin : spins) {
        spin.spin.SetRange(spin.range.low, spin.range.high);
        spin.spin.SetPos(spin.position);
    }
    UpdateData(false);  // the up-downs wrote their clamped positions into the edits
    return TRUE;
}

void OptionsDialog::OnPeriodChanged() {
    UpdateData(true);  // a refused field has said so; the period counts all the same
    ApplyExitAfterRule();
    UpdateData(false);
}

void OptionsDialog::OnRestoreDefault() {
    settings_.restoreDefaults();
    LoadFromSettings();
}

void OptionsDialog::OnHelpButton() {
    ShowHelp(hwnd());
}

void OptionsDialog::OnOK() {
    if (!UpdateData(true)) {
        return;
    }
    settings_.nSynPeriod = m_nPeriod;
    settings_.bShowIcon = m_bShowIcon;
    settings_.bExitAfter = m_bExitAfter;
    settings_.nOffset = JoinOffset({m_nDirection, m_nMinutes, m_nSeconds});
    settings_.nMaxDays = m_nMaxDays;
    settings_.nTimeOut = m_nTimeOut;
    settings_.nMaxDiff = m_nMaxDiff;
    settings_.save();
    tray_.Modify();
    EndDialog(IDOK);
}
