#include "app/tray_icon.h"

#include <shellapi.h>

#include <utility>

#include "resources/tickwell_ids.h"

// Older headers name it only for newer targets; Windows before 7 ignores it.
#ifndef NIIF_RESPECT_QUIET_TIME
#define NIIF_RESPECT_QUIET_TIME 0x00000080
#endif

namespace {

std::optional<TrayChoice> MenuChoice(WORD command) {
    switch (command) {
        case ID_TRAY_OPEN:
            return TrayChoice::kOpen;
        case ID_TRAY_SYNCHRONIZE:
            return TrayChoice::kSynchronizeNow;
        case ID_TRAY_OPTIONS:
            return TrayChoice::kOptions;
        case ID_TRAY_HISTORY:
            return TrayChoice::kHistory;
        case ID_TRAY_NOTIFICATIONS:
            return TrayChoice::kNotifications;
        case ID_TRAY_EXIT:
            return TrayChoice::kExit;
        default:
            return std::nullopt;
    }
}

}  // namespace

TrayIcon::TrayIcon(const Settings& settings, const std::string& tip)
    : settings_(settings), name_(tip) {}

int TrayIcon::Init(HINSTANCE module, HWND owner) {
    owner_ = owner;
    module_ = module;
    LoadPicture();
    return Update(NIM_ADD) ? 0 : -1;
}

void TrayIcon::ShowState(TrayState state) {
    // Called on every tick: the registry and the metrics are read again only when the
    // state moves, or when a message says the system's look has changed.
    if (state == state_ && icon_) {
        return;
    }
    state_ = state;
    RefreshPicture();
}

bool TrayIcon::LoadPicture() {
    const TrayPicture wanted = CurrentTrayPicture(owner_, state_);
    if (icon_ && wanted == picture_) {
        return false;
    }
    UniqueIcon icon = LoadTrayPicture(module_, wanted);
    if (!icon) {
        return false;
    }
    icon_ = std::move(icon);
    picture_ = wanted;
    return true;
}

void TrayIcon::RefreshPicture() {
    // Before Init there is no icon to show it on; Init loads the state's picture.
    if (owner_ != nullptr && LoadPicture() && added_) {
        Update(NIM_MODIFY);
    }
}

bool TrayIcon::ChangesPicture(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETTINGCHANGE:
            // The light or dark theme is "ImmersiveColorSet"; high contrast names itself.
            return wParam == SPI_SETHIGHCONTRAST ||
                   (lParam != 0 &&
                    ::lstrcmpiA(reinterpret_cast<const char*>(lParam), "ImmersiveColorSet") == 0);
        case WM_SYSCOLORCHANGE:
        case WM_DPICHANGED:
            return true;
        default:
            return false;
    }
}

BOOL TrayIcon::Modify() {
    return Update(NIM_MODIFY);
}

BOOL TrayIcon::Remove() {
    return Update(NIM_DELETE);
}

void TrayIcon::Restore() {
    // A new taskbar may come with another DPI or theme.
    LoadPicture();
    added_ = false;
    Update(NIM_ADD);
}

std::optional<LRESULT> TrayIcon::HandleMessage(HWND owner, UINT message, WPARAM wParam,
                                               LPARAM lParam, TrayChoices& choices) {
    if (ChangesPicture(message, wParam, lParam)) {
        RefreshPicture();
        return std::nullopt;
    }
    if (message == WM_COMMAND) {
        const std::optional<TrayChoice> choice = MenuChoice(LOWORD(wParam));
        if (!choice) {
            return std::nullopt;
        }
        choices.OnTrayChoice(*choice);
        return 0;
    }
    if (message != kCallbackMessage || wParam != kIconId) {
        return std::nullopt;
    }
    if (lParam == WM_LBUTTONDBLCLK) {
        choices.OnTrayChoice(TrayChoice::kOpen);
        return 1;
    }
    if (lParam == WM_RBUTTONDOWN) {
        ShowMenu(owner);
        return 1;
    }
    if (lParam == NIN_BALLOONUSERCLICK) {
        choices.OnTrayChoice(TrayChoice::kHistory);
        return 0;
    }
    return std::nullopt;
}

void TrayIcon::ShowMenu(HWND owner) const {
    const HMENU menu = ::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU));
    if (menu == nullptr) {
        return;
    }
    const HMENU popup = ::GetSubMenu(menu, 0);
    ::SetMenuDefaultItem(popup, ID_TRAY_OPEN, FALSE);
    ::CheckMenuItem(popup, ID_TRAY_NOTIFICATIONS,
                    MF_BYCOMMAND | (settings_.notify != 0 ? MF_CHECKED : MF_UNCHECKED));
    // A mandatory policy decides the balloons; the switch shows its choice, greyed.
    if (settings_.Policy().Governed(&StoredOptions::bNotify)) {
        ::EnableMenuItem(popup, ID_TRAY_NOTIFICATIONS, MF_BYCOMMAND | MF_GRAYED);
    }
    POINT cursor{};
    ::GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    ::SetForegroundWindow(owner);
    // The chosen command reaches the owner as WM_COMMAND, once the menu has gone.
    ::TrackPopupMenu(popup, TPM_RIGHTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, owner,
                     nullptr);
    ::PostMessageA(owner, WM_NULL, 0, 0);
    ::DestroyMenu(menu);
}

void TrayIcon::SetTip(const std::string& tip) {
    if (tip == tip_) {
        return;
    }
    tip_ = tip;
    if (added_) {
        Update(NIM_MODIFY);
    }
}

void TrayIcon::ShowBalloon(const std::string& title, const std::string& text) {
    if (!added_) {
        return;
    }
    NOTIFYICONDATAA data = Record();
    data.uFlags = NIF_INFO;
    ::lstrcpynA(data.szInfoTitle, title.c_str(), sizeof data.szInfoTitle);
    ::lstrcpynA(data.szInfo, text.c_str(), sizeof data.szInfo);
    data.dwInfoFlags = NIIF_WARNING | NIIF_RESPECT_QUIET_TIME;
    ::Shell_NotifyIconA(NIM_MODIFY, &data);
}

NOTIFYICONDATAA TrayIcon::Record() const {
    // The current record: its tip holds 128 characters, the first form's only 64.
    NOTIFYICONDATAA data{};
    static_assert(sizeof data.szTip == 128);
    data.cbSize = sizeof data;
    data.hWnd = owner_;
    data.uID = kIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = icon_.get();
    ::lstrcpynA(data.szTip, (tip_.empty() ? name_ : tip_).c_str(), sizeof data.szTip);
    return data;
}

BOOL TrayIcon::Update(DWORD message) {
    NOTIFYICONDATAA data = Record();

    if (settings_.Options().showIcon == 0) {
        added_ = false;
        message = NIM_DELETE;
    } else if (!added_) {
        added_ = true;
        message = NIM_ADD;
    }
    return ::Shell_NotifyIconA(message, &data);
}
