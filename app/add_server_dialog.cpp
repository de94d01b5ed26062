#include "app/add_server_dialog.h"

#include "app/presentation.h"
#include "resources/tickwell_ids.h"

AddServerDialog::AddServerDialog(RunContext& context)
    : ServerTestingDialog(IDD_ADD_SERVER, context) {
    messages().OnCommand(IDC_ADD_CHECK, [this] { OnCheckServer(); });
}

void AddServerDialog::DoDataExchange(DataExchange& exchange) {
    exchange.Text(IDC_ADD_REPORT, report_);
    exchange.Text(IDC_ADD_TITLE, title_);
    exchange.Text(IDC_ADD_URL, url_);
}

void AddServerDialog::OnCheckServer() {
    UpdateData(true);
    url_ = TypedServerAddress(url_);
    if (title_.empty()) {
        title_ = presentation::kUndefinedTitle;
    }
    UpdateData(false);
    StartTests({url_});
}

void AddServerDialog::OnTestResult(int, double delay, int) {
    delay_ = delay;
    if (delay != 0.0) {
        report_ = presentation::NetDelayReport(delay);
    } else {
        report_ = presentation::kTestFailed;
    }
    // Only the report: what the user typed while the check ran stays.
    ::SetDlgItemTextA(hwnd(), IDC_ADD_REPORT, report_.c_str());
}

void AddServerDialog::OnOK() {
    if (busy()) {
        return;
    }
    UpdateData(true);
    url_ = TypedServerAddress(url_);
    const std::string refusal = presentation::ServerAddressRefusal(url_);
    if (!refusal.empty()) {
        UpdateData(false);
        ::MessageBoxA(hwnd(), refusal.c_str(), ApplicationTitle().c_str(),
                      MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(Item(IDC_ADD_URL));
        return;
    }
    added_ = ServerEntry(title_, url_, 1);
    added_.delay = delay_;
    EndDialog(IDOK);
}
