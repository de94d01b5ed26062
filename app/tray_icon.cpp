#include "app/tray_icon.h"

#include <shellapi.h>

#include "resources/tickwell_ids.h"

TrayIcon::TrayIcon(const Settings& settings, const std::string& tip)
    : settings_(settings), tip_(tip) {}

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

BOOL TrayIcon::Update(DWORD message) {
    // The record's first form, in the size of this platform's build: every shell takes it.
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = owner_;
    data.uID = kIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = icon_.get();
    ::lstrcpynA(data.szTip, tip_.c_str(), 64);

    if (settings_.userOptions().bShowIcon == 0) {
        added_ = 0;
        message = NIM_DELETE;
    } else if (added_ == 0) {
        added_ = 1;
        message = NIM_ADD;
    }
    return ::Shell_NotifyIconA(message, &data);
}
