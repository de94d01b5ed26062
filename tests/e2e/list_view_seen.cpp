#include "tests/e2e/list_view_seen.h"

#include <commctrl.h>

#include <cstring>

namespace desktop {

namespace {

constexpr std::size_t kTextBytes = 512;

// Memory in another process, freed exactly once.
class RemoteMemory {
  public:
    RemoteMemory(HWND owner, std::size_t size) {
        DWORD processId = 0;
        ::GetWindowThreadProcessId(owner, &processId);
        process_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                                 processId);
        if (process_ != nullptr) {
            address_ =
                ::VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        }
    }
    ~RemoteMemory() {
        if (address_ != nullptr) {
            ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
        if (process_ != nullptr) {
            ::CloseHandle(process_);
        }
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    explicit operator bool() const { return address_ != nullptr; }
    char* at(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
    bool Write(std::size_t offset, const void* data, std::size_t size) const {
        return ::WriteProcessMemory(process_, at(offset), data, size, nullptr) != FALSE;
    }
    bool Read(std::size_t offset, void* data, std::size_t size) const {
        return ::ReadProcessMemory(process_, at(offset), data, size, nullptr) != FALSE;
    }

  private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

}  // namespace

int ListViewSeen::RowCount() const {
    return static_cast<int>(Send(list_, LVM_GETITEMCOUNT, 0, 0).value_or(0));
}

int ListViewSeen::SelectedRow() const {
    return static_cast<int>(
        Send(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED).value_or(-1));
}

std::string ListViewSeen::Text(int row, int column) const {
    const RemoteMemory memory(list_, sizeof(LVITEMA) + kTextBytes);
    if (!memory) {
        return {};
    }
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = memory.at(sizeof(LVITEMA));
    item.cchTextMax = static_cast<int>(kTextBytes);
    if (!memory.Write(0, &item, sizeof item) ||
        !Send(list_, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
              reinterpret_cast<LPARAM>(memory.at(0)))) {
        return {};
    }
    char text[kTextBytes] = {};
    memory.Read(sizeof(LVITEMA), text, sizeof text - 1);
    return text;
}

std::optional<RECT> ListViewSeen::RowRect(int row) const {
    const RemoteMemory memory(list_, sizeof(RECT));
    RECT rect{};
    rect.left = LVIR_LABEL;
    if (!memory || !memory.Write(0, &rect, sizeof rect) ||
        !Send(list_, LVM_GETITEMRECT, static_cast<WPARAM>(row),
              reinterpret_cast<LPARAM>(memory.at(0)))
             .value_or(0) ||
        !memory.Read(0, &rect, sizeof rect)) {
        return std::nullopt;
    }
    return rect;
}

bool ListViewSeen::ClickAt(POINT point) const {
    const LPARAM where = MAKELPARAM(point.x, point.y);
    return Post(list_, WM_LBUTTONDOWN, MK_LBUTTON, where) && Post(list_, WM_LBUTTONUP, 0, where);
}

bool ListViewSeen::ClickRow(int row) const {
    const std::optional<RECT> rect = RowRect(row);
    if (!rect) {
        return false;
    }
    return ClickAt({(rect->left + rect->right) / 2, (rect->top + rect->bottom) / 2});
}

bool ListViewSeen::ClickBelowRows() const {
    const std::optional<RECT> last = RowRect(RowCount() - 1);
    RECT client{};
    if (!last || !::GetClientRect(list_, &client) || last->bottom + 4 >= client.bottom) {
        return false;
    }
    return ClickAt({(last->left + last->right) / 2, (last->bottom + client.bottom) / 2});
}

}  // namespace desktop
