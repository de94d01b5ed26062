#include "app/add_server_dialog.h"

#include <cstdio>

#include "resources/tickwell_ids.h"

namespace {

constexpr const char* kUndefinedTitle = "Undefined";
constexpr const char* kCheckFailed = "Error. Check Internet Connection.";

}  // namespace

AddServerDialog::AddServerDialog(RunContext& context)
    : ServerTestingDialog(IDD_ADD_SERVER, context) {
    messages().OnCommand(IDC_ADD_CHECK, [this] { OnCheckServer(); });
}

void AddServerDialog::DoDataExchange(DataExchange& exchange) {
    exchange.Text(IDC_ADD_REPORT, m_sReport);
    exchange.Text(IDC_ADD_TITLE, m_sTitle);
    exchange.Text(IDC_ADD_URL, m_sUrl);
}

void AddServerDialog::OnCheckServer() {
    UpdateData(true);
    m_sUrl = TypedServerAddress(m_sUrl);
    if (m_sTitle.empty()) {
        m_sTitle = kUndefinedTitle;
    }
    UpdateData(false);
    StartTests({m_sUrl});
}

void AddServerDialog::OnTestResult(int, double delay, int) {
    m_dDelay = delay;
    if (delay != 0.0) {
        char report[64];
        std::snprintf(report, sizeof report, "Net Delay: %5.3f", delay);
        m_sReport = report;
    } else {
        m_sReport = kCheckFailed;
    }
    // Only the report: what the user typed while the check ran stays.
    ::SetDlgItemTextA(hwnd(), IDC_ADD_REPORT, m_sReport.c_str());
}

void AddServerDialog::OnOK() {
    if (busy()) {
        return;
    }
    UpdateData(true);
    m_sUrl = TypedServerAddress(m_sUrl);
    const std::string refusal = ServerAddressRefusal(m_sUrl);
    if (!refusal.empty()) {
        UpdateData(false);
        ::MessageBoxA(hwnd(), refusal.c_str(), ApplicationTitle().c_str(),
                      MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(Item(IDC_ADD_URL));
        return;
    }
    added_ = ServerEntry(m_sTitle, m_sUrl, 1);
    added_.delay = m_dDelay;
    EndDialog(IDOK);
}
