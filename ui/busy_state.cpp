#include "ui/busy_state.h"

namespace {

bool IsButton(HWND control) {
    char name[16] = {};
    ::GetClassNameA(control, name, sizeof name);
    return ::lstrcmpiA(name, "Button") == 0;
}

}  // namespace

void BusyState::Begin(HWND dialog) {
    dialog_ = dialog;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (IsButton(child) && ::IsWindowEnabled(child)) {
            ::EnableWindow(child, FALSE);
            disabled_.push_back(child);
        }
    }
    SetCursor();
}

void BusyState::End() {
    for (HWND button : disabled_) {
        ::EnableWindow(button, TRUE);
    }
    disabled_.clear();
    dialog_ = nullptr;
    // The pointer shows the arrow at once, not only when it next moves.
    POINT cursor{};
    ::GetCursorPos(&cursor);
    ::SetCursorPos(cursor.x, cursor.y);
}

bool BusyState::SetCursor() const {
    if (!busy()) {
        return false;
    }
    ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    return true;
}
