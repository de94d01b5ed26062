#include "ui/control.h"

#include <commctrl.h>

void ProgressControl::SetPos(int position) const {
    Send(PBM_SETPOS, static_cast<WPARAM>(position));
}

void ListViewControl::SetRedraw(bool redraw) const {
    Send(WM_SETREDRAW, redraw ? TRUE : FALSE);
    if (redraw) {
        ::InvalidateRect(hwnd(), nullptr, TRUE);
    }
}

void ListViewControl::AddExtendedStyle(DWORD style) const {
    Send(LVM_SETEXTENDEDLISTVIEWSTYLE, style, style);
}

void ListViewControl::InsertColumn(int column, const std::string& heading, int width) const {
    LVCOLUMNA info{};
    info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    info.fmt = LVCFMT_LEFT;
    info.cx = width;
    info.pszText = const_cast<char*>(heading.c_str());
    info.iSubItem = column;
    Send(LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
}

void ListViewControl::InsertItem(int row, const std::string& text) const {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(text.c_str());
    Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void ListViewControl::SetItemText(int row, int column, const std::string& text) const {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    Send(LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void ListViewControl::DeleteItem(int row) const {
    Send(LVM_DELETEITEM, static_cast<WPARAM>(row));
}

void ListViewControl::DeleteAllItems() const {
    Send(LVM_DELETEALLITEMS);
}

int ListViewControl::NextSelected(int after) const {
    return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(after), LVNI_SELECTED));
}

void ListViewControl::Select(int row) const {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    Send(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void UpDownControl::SetRange(int low, int high) const {
    Send(UDM_SETRANGE32, static_cast<WPARAM>(low), high);
}

void UpDownControl::SetPos(int position) const {
    Send(UDM_SETPOS32, 0, position);
}
