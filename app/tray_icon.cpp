#include "app/tray_icon.h"

#include <shellapi.h>

#include "resources/tickwell_ids.h"

TrayIcon::TrayIcon(const Settings& settings, const std::string& tip)
    : settings_(settings), name_(tip) {}

int TrayIcon::Init(HINSTANCE module, HWND owner) {
    owner_ = owner;
    // At the size the notification area shows, so it stays sharp at any DPI.
    icon_.reset(static_cast<HICON>(::LoadImageA(module, MAKEINTRESOURCEA(IDI_TICKWELL), IMAGE_ICON,
                                                ::GetSystemMetrics(SM_CXSMICON),
                                                ::GetSystemMetrics(SM_CYSMICON), 0)));
    return Update(NIM_ADD) ? 0 : -1;
}

BOOL TrayIcon::Modify() {
    return Update(NIM_MODIFY);
}

BOOL TrayIcon::Remove() {
    return Update(NIM_DELETE);
}

void TrayIcon::Restore() {
    added_ = 0;
    Update(NIM_ADD);
}

void TrayIcon::SetTip(const std::string& tip) {
    if (tip == tip_) {
        return;
    }
    tip_ = tip;
    if (added_ != 0) {
        Update(NIM_MODIFY);
    }
}

BOOL TrayIcon::Update(DWORD message) {
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

    if (settings_.userOptions().bShowIcon == 0) {
        added_ = 0;
        message = NIM_DELETE;
    } else if (added_ == 0) {
        added_ = 1;
        message = NIM_ADD;
    }
    return ::Shell_NotifyIconA(message, &data);
}
