// The program's icon in the notification area, present while the option says so, with its
// menu. Its clicks reach the owner window as kCallbackMessage with wParam kIconId and the
// menu's commands as WM_COMMAND; the owner passes its messages to HandleMessage, which tells
// it what the user chose.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <optional>
#include <string>

#include "app/tray_pictures_win.h"
#include "app/tray_state.h"
#include "config/settings.h"
#include "base/unique_handle_win.h"

// What the user chose at the icon: a double click opens the window, a click on the balloon
// the History window, the menu offers all.
enum class TrayChoice { kOpen, kSynchronizeNow, kOptions, kHistory, kNotifications, kExit };

class TrayChoices {
  public:
    virtual ~TrayChoices() = default;
    virtual void OnTrayChoice(TrayChoice choice) = 0;
};

class TrayIcon {
  public:
    static constexpr UINT kCallbackMessage = WM_USER + 2;
    static constexpr UINT kIconId = 137;

    TrayIcon(const Settings& settings, const std::string& tip);
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Loads the state's picture and adds the icon; 0 when the shell took it, -1 otherwise.
    int Init(HINSTANCE module, HWND owner);
    // Shows the state's picture; the shell hears of it only when the picture changes.
    void ShowState(TrayState state);
    // The owner's message, if it is the icon's or its menu's: handled, with its result, and
    // the user's choice told to choices. A change of theme, colours or DPI redraws the
    // picture and still goes on to the owner.
    std::optional<LRESULT> HandleMessage(HWND owner, UINT message, WPARAM wParam, LPARAM lParam,
                                         TrayChoices& choices);
    // Brings the icon in line with the option: added, refreshed or removed.
    BOOL Modify();
    BOOL Remove();
    // Explorer started again and forgot every icon: add ours anew if the option wants it.
    void Restore();
    // A new tip, shown at once when the icon is there.
    void SetTip(const std::string& tip);
    // A warning balloon at the icon, when the icon is there; Windows holds it back while
    // the user does not want to be disturbed.
    void ShowBalloon(const std::string& title, const std::string& text);

  private:
    void ShowMenu(HWND owner) const;
    // The record of this icon with its callback, picture and tip.
    NOTIFYICONDATAA Record() const;
    static bool ChangesPicture(UINT message, WPARAM wParam, LPARAM lParam);
    // Loads the picture the state and the system want now, if it is not the one loaded;
    // true when it loaded another.
    bool LoadPicture();
    void RefreshPicture();
    // NIM_ADD, NIM_MODIFY or NIM_DELETE, as the option and the icon's presence allow.
    BOOL Update(DWORD message);

    const Settings& settings_;
    const std::string& name_;
    std::string tip_;  // empty: the name
    HWND owner_ = nullptr;
    HINSTANCE module_ = nullptr;
    TrayState state_ = TrayState::kSynchronised;
    TrayPicture picture_;
    UniqueIcon icon_;
    bool added_ = false;
};
