#include "app/history_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <iterator>

#include "app/presentation.h"
#include "platform/local_time.h"
#include "resources/tickwell_ids.h"

namespace {

constexpr int kColumnWidths[] = {60, 130, 80, 120, 110, 90, 80, 70, 50, 80, 50, 300};
static_assert(std::size(kColumnWidths) == std::size(presentation::kHistoryColumns));
constexpr int kMargin = 10;
constexpr int kButtonGap = 6;

RECT ItemRect(HWND dialog, int id) {
    RECT rect{};
    ::GetWindowRect(::GetDlgItem(dialog, id), &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

std::string HistoryFolder() {
    char path[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::string(path) + "\\Quorvane\\Tickwell";
}

HistoryWindow::HistoryWindow(RunHistory* history) : Dialog(IDD_HISTORY), history_(history) {
    messages()
        .OnCommand(IDC_HISTORY_COPY, [this] { OnCopy(); })
        .OnCommand(IDC_HISTORY_OPEN_FOLDER, [this] { OnOpenFolder(); });
}

void HistoryWindow::DoDataExchange(DataExchange& exchange) {
    exchange.Bind(IDC_HISTORY_LIST, list_);
}

BOOL HistoryWindow::OnInitDialog() {
    UpdateData(false);
    list_.AddExtendedStyle(LVS_EX_FULLROWSELECT);
    for (std::size_t i = 0; i < std::size(presentation::kHistoryColumns); ++i) {
        list_.InsertColumn(static_cast<int>(i), presentation::kHistoryColumns[i], kColumnWidths[i]);
    }
    ::SetDlgItemTextA(hwnd(), IDC_HISTORY_NEXT_RUN, nextRun_.c_str());
    Fill();
    return Dialog::OnInitDialog();
}

void HistoryWindow::Open() {
    if (hwnd() == nullptr && !Create(nullptr)) {
        return;
    }
    Fill();
    ::ShowWindow(hwnd(), SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd());
}

void HistoryWindow::Refresh() {
    if (hwnd() != nullptr && ::IsWindowVisible(hwnd())) {
        Fill();
    }
}

void HistoryWindow::ShowNextRun(const std::string& text) {
    if (text == nextRun_) {
        return;
    }
    nextRun_ = text;
    if (hwnd() != nullptr) {
        ::SetDlgItemTextA(hwnd(), IDC_HISTORY_NEXT_RUN, nextRun_.c_str());
    }
}

void HistoryWindow::Fill() {
    entries_ = history_ != nullptr ? history_->Entries() : std::vector<HistoryEntry>{};
    list_.SetRedraw(false);
    list_.DeleteAllItems();
    for (std::size_t row = 0; row < entries_.size(); ++row) {
        const std::vector<std::string> cells =
            presentation::HistoryRowCells(entries_[row], LocalTimeOf);
        const int r = static_cast<int>(row);
        list_.InsertItem(r, cells[0]);
        for (std::size_t column = 1; column < cells.size(); ++column) {
            list_.SetItemText(r, static_cast<int>(column), cells[column]);
        }
    }
    list_.SetRedraw(true);
}

void HistoryWindow::OnCopy() {
    std::vector<HistoryEntry> selected;
    for (int row = list_.NextSelected(); row >= 0; row = list_.NextSelected(row)) {
        if (static_cast<std::size_t>(row) < entries_.size()) {
            selected.push_back(entries_[static_cast<std::size_t>(row)]);
        }
    }
    if (selected.empty() || !::OpenClipboard(hwnd())) {
        return;
    }
    const std::string text = presentation::HistoryRowsText(selected, LocalTimeOf);
    ::EmptyClipboard();
    // The clipboard owns the memory once SetClipboardData took it.
    const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (memory != nullptr) {
        std::memcpy(::GlobalLock(memory), text.c_str(), text.size() + 1);
        ::GlobalUnlock(memory);
        if (::SetClipboardData(CF_TEXT, memory) == nullptr) {
            ::GlobalFree(memory);
        }
    }
    ::CloseClipboard();
}

void HistoryWindow::OnOpenFolder() {
    // Looked up here, not at the program's start, which does not need it.
    ::ShellExecuteA(hwnd(), "open", HistoryFolder().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void HistoryWindow::OnCancel() {
    ::ShowWindow(hwnd(), SW_HIDE);
}

void HistoryWindow::Layout(int width, int height) {
    const RECT copy = ItemRect(hwnd(), IDC_HISTORY_COPY);
    const int buttonHeight = copy.bottom - copy.top;
    const int buttonTop = height - kMargin - buttonHeight;
    const HWND list = ::GetDlgItem(hwnd(), IDC_HISTORY_LIST);
    ::MoveWindow(list, kMargin, kMargin, width - 2 * kMargin, buttonTop - kButtonGap - kMargin,
                 TRUE);
    for (const int id : {IDC_HISTORY_COPY, IDC_HISTORY_OPEN_FOLDER, IDC_HISTORY_NEXT_RUN}) {
        const RECT rect = ItemRect(hwnd(), id);
        ::MoveWindow(::GetDlgItem(hwnd(), id), rect.left, buttonTop, rect.right - rect.left,
                     buttonHeight, TRUE);
    }
    const RECT close = ItemRect(hwnd(), IDCANCEL);
    const int closeWidth = close.right - close.left;
    ::MoveWindow(::GetDlgItem(hwnd(), IDCANCEL), width - kMargin - closeWidth, buttonTop,
                 closeWidth, buttonHeight, TRUE);
}

std::optional<LRESULT> HistoryWindow::WindowProc(UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_SIZE && ::GetDlgItem(hwnd(), IDC_HISTORY_LIST) != nullptr) {
        Layout(LOWORD(lParam), HIWORD(lParam));
        return 0;
    }
    return std::nullopt;
}
