#include "app/add_server_dialog.h"

#include "app/presentation.h"
#include "resources/tickwell_ids.h"

AddServerDialog::AddServerDialog(ServerTester& tester)
    : ServerTestingDialog(IDD_ADD_SERVER, tester) {
    messages().OnCommand(IDC_ADD_CHECK, [this] { OnCheckServer(); });
}

void AddServerDialog::DoDataExchange(DataExchange& exchange) {
    exchange.Text(IDC_ADD_REPORT, report_);
    exchange.Text(IDC_ADD_TITLE, title_);
    exchange.Text(IDC_ADD_URL, url_);
    exchange.Check(IDC_ADD_SECURE, secure_);
}

void AddServerDialog::OnCheckServer() {
    UpdateData(true);
    url_ = TypedServerAddress(url_);
    if (title_.empty()) {
        title_ = presentation::kUndefinedTitle;
    }
    UpdateData(false);
    StartTests({TimeServer(url_, secure_)});
}

void AddServerDialog::OnTestResult(int, const RunResult& result, int) {
    delay_ = result.ok() ? std::optional<double>(result.delay) : std::nullopt;
    report_ = presentation::ServerTestReport(result);
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
    added_.delay = delay_.value_or(0.0);  // the catalogue's 0.0: not measured
    added_.nts = secure_;
    EndDialog(IDOK);
}
