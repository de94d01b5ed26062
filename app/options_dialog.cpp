#include "app/options_dialog.h"

#include "app/presentation.h"
#include "app/shell_actions.h"
#include "resources/tickwell_ids.h"

namespace {

constexpr OptionRange kMinutes = kOffsetMinutesEntered;
constexpr OptionRange kMinutesSpin{0, kMinutes.high};  // negative minutes can only be typed
constexpr OptionRange kMaxDays = OptionRowOf(&StoredOptions::nMaxDays).entered;
constexpr OptionRange kSeconds = kOffsetSecondsEntered;
constexpr OptionRange kTimeOut = OptionRowOf(&StoredOptions::nTimeOut).entered;
constexpr OptionRange kMaxDiff = OptionRowOf(&StoredOptions::nMaxDiff).entered;

// The controls of each option a policy may set.
struct PolicyControls {
    std::int32_t StoredOptions::*field;
    int ids[3];
};
constexpr PolicyControls kPolicyControls[] = {
    {&StoredOptions::nSynPeriod, {IDC_OPTIONS_DAILY, IDC_OPTIONS_HOURLY, IDC_OPTIONS_MANUAL}},
    {&StoredOptions::bShowIcon, {IDC_OPTIONS_SHOW_ICON}},
    {&StoredOptions::bExitAfter, {IDC_OPTIONS_EXIT_AFTER}},
    {&StoredOptions::nMaxDays, {IDC_OPTIONS_MAX_DAYS, IDC_OPTIONS_MAX_DAYS_SPIN}},
    {&StoredOptions::nTimeOut, {IDC_OPTIONS_TIMEOUT, IDC_OPTIONS_TIMEOUT_SPIN}},
    {&StoredOptions::nMaxDiff, {IDC_OPTIONS_MAX_DIFF, IDC_OPTIONS_MAX_DIFF_SPIN}},
    {&StoredOptions::bOnlyNts, {IDC_OPTIONS_ONLY_SECURE}},
};

}  // namespace

OptionsDialog::OptionsDialog(Settings& settings, TrayIcon& tray, HWND helpOwner)
    : Dialog(IDD_OPTIONS),
      settings_(settings),
      tray_(tray),
      helpOwner_(helpOwner),
      managed_(settings.Policy()),
      form_(settings.Options(), settings.Policy().unchosen.Options()) {
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
    exchange.Check(IDC_OPTIONS_ONLY_SECURE, form_.onlySecure);
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
    const bool offered = form_.ExitAfterOffered() && !managed_.Locked(&StoredOptions::bExitAfter);
    ::EnableWindow(Item(IDC_OPTIONS_EXIT_AFTER), offered ? TRUE : FALSE);
}

void OptionsDialog::ShowManaged() {
    for (const PolicyControls& option : kPolicyControls) {
        const bool locked = managed_.Locked(option.field);
        const std::string tip = managed_.Tip(option.field);
        for (const int id : option.ids) {
            if (id == 0) {
                continue;
            }
            ::EnableWindow(Item(id), locked ? FALSE : TRUE);
            tips_.Set(Item(id), tip);
        }
    }
    ApplyExitAfterRule();
    ShowBottomLine(hwnd(), IDC_OPTIONS_MANAGED, presentation::kManagedLine,
                   managed_.OptionsManaged());
}

void OptionsDialog::ShowForm() {
    ApplyExitAfterRule();
    UpdateData(false);
}

BOOL OptionsDialog::OnInitDialog() {
    Dialog::OnInitDialog();
    tips_.Create(hwnd());
    ShowForm();
    ShowManaged();
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
    const HWND period = Item(kPeriodButtons[form_.period]);
    ::SetFocus(::IsWindowEnabled(period) ? period : Item(IDOK));
    return FALSE;
}

void OptionsDialog::FollowPolicies() {
    managed_ = ManagedSettings(settings_.Policy());
    form_ = OptionsForm(settings_.Options(), settings_.Policy().unchosen.Options());
    ShowManaged();
    ShowForm();
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
    settings_.Choose(form_.Result(), form_.Edits());
    if (form_.TurnedOnlySecureOn()) {
        settings_.AddSecureServersWhenNone();
    }
    tray_.Modify();
    EndDialog(IDOK);
}
