#include "app/server_chooser_dialog.h"

#include <commctrl.h>

#include <cstdio>

#include "app/add_server_dialog.h"
#include "resources/tickwell_ids.h"

namespace {

constexpr const char* kTestFailed = "Error. Check Internet Connection.";
constexpr const char* kLastServer = "At least one server must be present!";

struct Column {
    const char* heading;
    int width;  // pixels
};
constexpr Column kColumns[] = {{"Name", 248}, {"Status", 70}, {"Delay(sec.)", 70}};

}  // namespace

ServerChooserDialog::ServerChooserDialog(Settings& settings, ServerCursor& cursor,
                                         RunContext& context)
    : ServerTestingDialog(IDD_SERVER_CHOOSER, context),
      settings_(settings),
      cursor_(cursor),
      context_(context) {
    messages()
        .OnCommand(IDC_CHOOSER_TEST, [this] { OnTest(); })
        .OnCommand(IDC_CHOOSER_FIND_BEST, [this] { OnFindBest(); })
        .OnNotify(IDC_CHOOSER_LIST, NM_CLICK, [this](const NMHDR&) { return OnClickServerList(); })
        .OnCommand(IDC_CHOOSER_DELETE, [this] { OnDeleteSelected(); })
        .OnCommand(IDC_CHOOSER_RESTORE_DEFAULT, [this] { OnRestoreDefault(); })
        .OnCommand(IDC_CHOOSER_ADD_NEW, [this] { OnAddNew(); });
}

void ServerChooserDialog::DoDataExchange(DataExchange& exchange) {
    exchange.Bind(IDC_CHOOSER_LIST, m_list);
    exchange.Text(IDC_CHOOSER_REPORT, m_sReport);
    exchange.Text(IDC_CHOOSER_CURRENT, m_sCurrentServer);
}

void ServerChooserDialog::FillServerList() {
    m_workServers = settings_.servers.Copy();
    m_list.SetRedraw(false);
    m_list.DeleteAllItems();
    for (int i = 0; i < m_workServers.size(); ++i) {
        const ServerEntry entry = m_workServers.at(i);
        m_list.InsertItem(i, entry.title);
        m_list.SetItemText(i, 1, entry.userAdded == 1 ? "User" : "Prog");
        m_list.SetItemText(i, 2, DelayText(entry.delay));
    }
    m_list.SetRedraw(true);
}

void ServerChooserDialog::ShowCurrentServer() {
    if (m_nSelected >= 0 && m_nSelected < m_workServers.size()) {
        m_sCurrentServer = m_workServers.at(m_nSelected).title;
    }
}

void ServerChooserDialog::PutBackIntoCatalogue() {
    settings_.servers.With([this](ServerCatalogue& catalogue) {
        catalogue.clear();
        catalogue.append(m_workServers);
    });
}

BOOL ServerChooserDialog::OnInitDialog() {
    Dialog::OnInitDialog();
    m_list.AddExtendedStyle(LVS_EX_FULLROWSELECT);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        m_list.InsertColumn(i, kColumns[i].heading, kColumns[i].width);
    }
    FillServerList();
    m_nSelected = settings_.nStartingServ;
    // A search that was cancelled after deletions can leave the index past the end.
    if (m_nSelected < 0 || m_nSelected >= m_workServers.size()) {
        m_nSelected = 0;
    }
    ::SetFocus(m_list.hwnd());
    m_list.Select(m_nSelected);
    m_sReport.clear();
    ShowCurrentServer();
    UpdateData(false);
    return TRUE;
}

LRESULT ServerChooserDialog::OnClickServerList() {
    const int row = m_list.NextSelected();
    // A click beside the rows chooses the first server, and the box says so.
    m_nSelected = row < 0 ? 0 : row;
    ShowCurrentServer();
    UpdateData(false);
    return 0;
}

void ServerChooserDialog::OnTest() {
    testedIndex_ = m_nSelected;
    searching_ = false;
    StartTests({m_workServers.at(testedIndex_).address});
}

void ServerChooserDialog::OnFindBest() {
    std::vector<std::string> addresses;
    for (int i = 0; i < m_workServers.size(); ++i) {
        addresses.push_back(m_workServers.at(i).address);
    }
    searching_ = true;
    StartTests(addresses);
    m_sReport = "Automatic testing...";
    UpdateData(false);
}

void ServerChooserDialog::OnTestResult(int index, double delay, int outstanding) {
    if (!searching_) {
        if (delay != 0.0) {
            char report[64];
            std::snprintf(report, sizeof report, "Net Delay: %5.3f", delay);
            m_sReport = report;
            m_workServers.setDelay(testedIndex_, delay);
        } else {
            m_sReport = kTestFailed;
        }
        UpdateData(false);
        return;
    }
    // A failure stores 0.0: the server shows "Null" from now on.
    m_workServers.setDelay(index, delay);
    m_sReport = SearchProgressLine(m_workServers.at(index));
    UpdateData(false);
    if (outstanding == 0) {
        FinishSearch();
    }
}

void ServerChooserDialog::FinishSearch() {
    const SearchOutcome outcome = ChooseBest(m_workServers);
    m_nSelected = outcome.bestIndex;
    m_sReport = SearchReport(outcome, m_workServers);
    PutBackIntoCatalogue();
    FillServerList();
    ShowCurrentServer();
    UpdateData(false);
}

void ServerChooserDialog::OnDeleteSelected() {
    if (m_nSelected == 0 && m_workServers.size() == 1) {
        ::MessageBoxA(hwnd(), kLastServer, ApplicationTitle().c_str(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_workServers.removeAt(m_nSelected);
    m_list.DeleteItem(m_nSelected);
    if (m_nSelected > 0) {
        --m_nSelected;
    }
    m_list.Select(m_nSelected);
    ShowCurrentServer();
    UpdateData(false);
}

void ServerChooserDialog::OnRestoreDefault() {
    settings_.restoreDefaultServers();
    FillServerList();
    m_nSelected = 0;
    ShowCurrentServer();
    UpdateData(false);
}

void ServerChooserDialog::OnAddNew() {
    AddServerDialog add(settings_, context_);
    if (add.DoModal(hwnd()) == IDOK) {
        FillServerList();
        ShowCurrentServer();
        UpdateData(false);
    }
}

void ServerChooserDialog::OnOK() {
    if (busy()) {
        return;
    }
    PutBackIntoCatalogue();
    settings_.nStartingServ = m_nSelected;
    settings_.save();
    settings_.saveServers();
    cursor_.SelectStartingServer();
    EndDialog(IDOK);
}
