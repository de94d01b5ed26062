#include "app/options_dialog.h"

#include "app/shell_actions.h"
#include "resources/tickwell_ids.h"

namespace {

constexpr OptionRange kMinutes = kOffsetMinutesEntered;
constexpr OptionRange kMinutesSpin{0, kMinutes.high};  // negative minutes can only be typed
constexpr OptionRange kMaxDays = OptionRowOf(&StoredOptions::nMaxDays).entered;
constexpr OptionRange kSeconds = kOffsetSecondsEntered;
constexpr OptionRange kTimeOut = OptionRowOf(&StoredOptions::nTimeOut).entered;
constexpr OptionRange kMaxDiff = OptionRowOf(&StoredOptions::nMaxDiff).entered;

}  // namespace

OptionsDialog::OptionsDialog(Settings& settings, TrayIcon& tray, HWND helpOwner)
    : Dialog(IDD_OPTIONS),
      settings_(settings),
      tray_(tray),
      helpOwner_(helpOwner),
      form_(settings.Options()) {
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
    exchange.Radio(IDC_OPTIONS_DAILY, form_.period);
    exchange.Check(IDC_OPTIONS_SHOW_ICON, form_.showIcon);
    exchange.Check(IDC_OPTIONS_EXIT_AFTER, form_.exitAfter);
    exchange.Text(IDC_OPTIONS_MINUTES, form_.minutes);
    exchange.MinMaxInt(form_.minutes, kMinutes.low, kMinutes.high);
    exchange.Text(IDC_OPTIONS_MAX_DAYS, form_.maxDays);
    exchange.MinMaxInt(form_.maxDays, kMaxDays.low, kMaxDays.high);
    exchange.Text(IDC_OPTIONS_SECONDS, form_.seconds);
    exchange.MinMaxInt(form_.seconds, kSeconds.low, kSeconds.high);
    exchange.Text(IDC_OPTIONS_TIMEOUT, form_.timeOut);
    exchange.MinMaxInt(form_.timeOut, kTimeOut.low, kTimeOut.high);
    exchange.Text(IDC_OPTIONS_MAX_DIFF, form_.maxDiff);
    exchange.MinMaxInt(form_.maxDiff, kMaxDiff.low, kMaxDiff.high);
    exchange.Radio(IDC_OPTIONS_AHEAD, form_.direction);
}

void OptionsDialog::ApplyExitAfterRule() {
    form_.ApplyExitAfterRule();
    ::EnableWindow(Item(IDC_OPTIONS_EXIT_AFTER), form_.ExitAfterOffered() ? TRUE : FALSE);
}

void OptionsDialog::ShowForm() {
    ApplyExitAfterRule();
    UpdateData(false);
}

BOOL OptionsDialog::OnInitDialog() {
    Dialog::OnInitDialog();
    ShowForm();
    const struct {
        const UpDownControl& spin;
        OptionRange range;
        int position;
    } spins[] = {{minutesSpin_, kMinutesSpin, form_.minutes},
                 {secondsSpin_, kSeconds, form_.seconds},
                 {maxDaysSpin_, kMaxDays, form_.maxDays},
                 {timeOutSpin_, kTimeOut, form_.timeOut},
                 {maxDiffSpin_, kMaxDiff, form_.maxDiff}};
    for (const auto& spin : spins) {
        spin.spin.SetRange(spin.range.low, spin.range.high);
        spin.spin.SetPos(spin.position);
    }
    UpdateData(false);  // the up-downs wrote their clamped positions into the edits
    // The period first, so that Enter presses OK, never "Restore Default".
    constexpr int kPeriodButtons[] = {IDC_OPTIONS_DAILY, IDC_OPTIONS_HOURLY, IDC_OPTIONS_MANUAL};
    ::SetFocus(Item(kPeriodButtons[form_.period]));
    return FALSE;
}

void OptionsDialog::OnPeriodChanged() {
    UpdateData(true);  // a refused field has said so; the period counts all the same
    ApplyExitAfterRule();
    UpdateData(false);
}

void OptionsDialog::OnRestoreDefault() {
    form_.RestoreDefaults();
    ShowForm();
}

void OptionsDialog::OnHelpButton() {
    ShowHelp(hwnd());
}

void OptionsDialog::OnOK() {
    if (!UpdateData(true)) {
        return;
    }
    settings_.Publish(form_.Result());
    settings_.Save();
    tray_.Modify();
    EndDialog(IDOK);
}
