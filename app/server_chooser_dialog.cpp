#include "app/server_chooser_dialog.h"

#include <commctrl.h>

#include "app/add_server_dialog.h"
#include "app/presentation.h"
#include "resources/tickwell_ids.h"

namespace {

// In dialog units, so that the columns grow with the font and the DPI.
constexpr int kColumnWidths[] = {165, 47, 47};
static_assert(std::size(kColumnWidths) == std::size(presentation::kChooserColumns));

}  // namespace

ServerChooserDialog::ServerChooserDialog(Settings& settings, SyncScheduler& scheduler)
    : ServerTestingDialog(IDD_SERVER_CHOOSER, scheduler.Tester()),
      settings_(settings),
      scheduler_(scheduler),
      managed_(settings.Policy()),
      editor_(settings.servers.Copy(), settings.startingServer, settings.Policy().servers) {
    messages()
        .OnCommand(IDC_CHOOSER_TEST, [this] { OnTest(); })
        .OnCommand(IDC_CHOOSER_FIND_BEST, [this] { OnFindBest(); })
        .OnNotify(IDC_CHOOSER_LIST, NM_CLICK, [this](const NMHDR&) { return OnClickServerList(); })
        .OnCommand(IDC_CHOOSER_DELETE, [this] { OnDeleteSelected(); })
        .OnCommand(IDC_CHOOSER_RESTORE_DEFAULT, [this] { OnRestoreDefault(); })
        .OnCommand(IDC_CHOOSER_ADD_SECURE, [this] { OnAddSecure(); })
        .OnCommand(IDC_CHOOSER_ADD_NEW, [this] { OnAddNew(); });
}

void ServerChooserDialog::DoDataExchange(DataExchange& exchange) {
    exchange.Bind(IDC_CHOOSER_LIST, list_);
    exchange.Text(IDC_CHOOSER_REPORT, report_);
    exchange.Text(IDC_CHOOSER_CURRENT, currentServer_);
}

void ServerChooserDialog::FillServerList() {
    list_.SetRedraw(false);
    list_.DeleteAllItems();
    for (int i = 0; i < editor_.servers().Size(); ++i) {
        const ServerEntry entry = editor_.servers().At(i);
        list_.InsertItem(i, entry.title);
        list_.SetItemText(i, 1, presentation::ChooserStatusText(entry));
        list_.SetItemText(i, 2, presentation::DelayText(entry.delay));
    }
    list_.SetRedraw(true);
}

void ServerChooserDialog::ShowCurrentServer() {
    currentServer_ = editor_.chosenEntry().title;
    const bool deletable = managed_.MayDelete(editor_.chosenEntry());
    ::EnableWindow(Item(IDC_CHOOSER_DELETE), deletable ? TRUE : FALSE);
}

void ServerChooserDialog::ShowManaged() {
    const std::string tip = managed_.CatalogueTip();
    for (const int id : {IDC_CHOOSER_ADD_NEW, IDC_CHOOSER_DELETE, IDC_CHOOSER_RESTORE_DEFAULT,
                         IDC_CHOOSER_ADD_SECURE}) {
        ::EnableWindow(Item(id), managed_.CatalogueEditable() ? TRUE : FALSE);
        tips_.Set(Item(id), managed_.CatalogueManaged() ? tip : std::string());
    }
    tips_.Set(list_.hwnd(), tip);
    ShowBottomLine(hwnd(), IDC_CHOOSER_MANAGED, presentation::kManagedLine,
                   managed_.CatalogueManaged());
}

BOOL ServerChooserDialog::OnInitDialog() {
    Dialog::OnInitDialog();
    tips_.Create(hwnd());
    ShowManaged();
    list_.AddExtendedStyle(LVS_EX_FULLROWSELECT);
    for (int i = 0; i < static_cast<int>(std::size(kColumnWidths)); ++i) {
        RECT width{0, 0, kColumnWidths[i], 0};
        ::MapDialogRect(hwnd(), &width);
        list_.InsertColumn(i, presentation::kChooserColumns[i], width.right);
    }
    FillServerList();
    ::SetFocus(list_.hwnd());
    list_.Select(editor_.chosen());
    report_.clear();
    ShowCurrentServer();
    UpdateData(false);
    return TRUE;
}

void ServerChooserDialog::FollowPolicies() {
    if (busy()) {
        return;
    }
    managed_ = ManagedSettings(settings_.Policy());
    editor_ = CatalogueEditor(settings_.servers.Copy(), settings_.startingServer,
                              settings_.Policy().servers);
    ShowManaged();
    FillServerList();
    list_.Select(editor_.chosen());
    ShowCurrentServer();
    UpdateData(false);
}

LRESULT ServerChooserDialog::OnClickServerList() {
    // A click beside the rows chooses the first server, and the box says so.
    editor_.Choose(list_.NextSelected());
    ShowCurrentServer();
    UpdateData(false);
    return 0;
}

void ServerChooserDialog::OnTest() {
    testedIndex_ = editor_.chosen();
    searching_ = false;
    const ServerEntry chosen = editor_.chosenEntry();
    StartTests({TimeServer(chosen.address, chosen.nts)});
}

void ServerChooserDialog::OnFindBest() {
    std::vector<TimeServer> servers;
    for (int i = 0; i < editor_.servers().Size(); ++i) {
        const ServerEntry entry = editor_.servers().At(i);
        servers.emplace_back(entry.address, entry.nts);
    }
    searching_ = true;
    searchResults_.assign(servers.size(), RunResult());
    StartTests(servers);
    report_ = presentation::kTesting;
    UpdateData(false);
}

void ServerChooserDialog::OnTestResult(int index, const RunResult& result, int outstanding) {
    if (!searching_) {
        report_ = presentation::ServerTestReport(result);
        if (result.ok()) {
            editor_.SetDelay(testedIndex_, result.delay);
        }
        UpdateData(false);
        return;
    }
    searchResults_[index] = result;
    // A failure stores 0.0, the catalogue's "not measured": the server shows "Null" from now on.
    editor_.SetDelay(index, result.ok() ? result.delay : 0.0);
    report_ = presentation::SearchProgressLine(editor_.servers().At(index));
    UpdateData(false);
    if (outstanding == 0) {
        FinishSearch();
    }
}

void ServerChooserDialog::FinishSearch() {
    const SearchOutcome outcome = editor_.ChooseBest(searchResults_);
    report_ = presentation::SearchReport(outcome, editor_.servers());
    FillServerList();
    ShowCurrentServer();
    UpdateData(false);
}

void ServerChooserDialog::OnDeleteSelected() {
    const int deleted = editor_.chosen();
    if (!editor_.DeleteChosen()) {
        ::MessageBoxA(hwnd(), presentation::kLastServer, ApplicationTitle().c_str(),
                      MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    list_.DeleteItem(deleted);
    list_.Select(editor_.chosen());
    ShowCurrentServer();
    UpdateData(false);
}

void ServerChooserDialog::OnRestoreDefault() {
    editor_.RestoreDefaults();
    FillServerList();
    list_.Select(editor_.chosen());
    ShowCurrentServer();
    UpdateData(false);
}

void ServerChooserDialog::OnAddSecure() {
    if (editor_.AddSecureServers() == 0) {
        return;
    }
    FillServerList();
    list_.Select(editor_.chosen());
    ShowCurrentServer();
    UpdateData(false);
}

void ServerChooserDialog::OnAddNew() {
    AddServerDialog add(scheduler_.Tester());
    if (add.DoModal(hwnd()) == IDOK) {
        editor_.Add(add.added());
        FillServerList();
        list_.Select(editor_.chosen());
        ShowCurrentServer();
        UpdateData(false);
    }
}

void ServerChooserDialog::OnOK() {
    if (busy()) {
        return;
    }
    scheduler_.Publish(editor_.servers(), editor_.chosen());
    settings_.Save();
    settings_.SaveServers(editor_.EntriesChanged());
    EndDialog(IDOK);
}
