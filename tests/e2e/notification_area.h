// The notification area ("system tray") as Wine 8 shows it on a display without a window
// manager, where explorer.exe of the prefix puts every icon into one small window at the top
// left: class "__winex11_standalone_tray", title "Wine System Tray". Each visible icon is a
// child window of it (class "__winex11_tray_icon", owned by explorer.exe, not by the
// program), with a tooltip window of explorer's that names it as a tool. The tray window
// appears with the first icon and is hidden, not destroyed, when the last one goes.
//
// Explorer relays every mouse message its icon window gets to the program, as the callback
// message (wParam the icon id, lParam the mouse message; after NIM_SETVERSION 4 the id is
// in HIWORD(lParam)), so mouse messages posted to the icon window reach the program exactly
// as a user's clicks would.
//
// A balloon (NIF_INFO) shows two seconds after the program asks, for 10 to 30 seconds, as a
// tooltip window of explorer's with the balloon style, owned by the tray window, its text the
// balloon's. Wine 8 tells the program nothing of it: no NIN_BALLOONSHOW, and a click on it
// reaches neither the program (no NIN_BALLOONUSERCLICK) nor closes it, so a test sends that
// callback itself.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/desktop.h"

namespace desktop {

struct Balloon {
    HWND window = nullptr;
    std::string text;
};

struct TrayIcon {
    HWND window = nullptr;  // explorer's icon window
    std::string tip;
    // From explorer's record of the icon; null and 0 when it cannot be read.
    HWND owner = nullptr;
    UINT id = 0;
    UINT callbackMessage = 0;
};

class NotificationArea {
  public:
    // The tray window, null before any program has shown an icon.
    static HWND Window();
    // Left to right.
    static std::vector<TrayIcon> Icons();
    // The icon shown for a window of process `processId`, once there is one.
    static std::optional<TrayIcon> WaitForIconOf(DWORD processId, Milliseconds timeout);
    // True once no icon of that process is shown.
    static bool WaitUntilNoIconOf(DWORD processId, Milliseconds timeout);

    // What explorer's icon window gets from a user's double click with the left button, and
    // from a press and release of the right button.
    static bool DoubleClick(const TrayIcon& icon);
    static bool RightClick(const TrayIcon& icon);

    // The balloon shown at the icon, once there is one.
    static std::optional<Balloon> WaitForBalloon(const TrayIcon& icon, Milliseconds timeout);
    // What Windows' explorer sends the program when the user clicks the icon's balloon.
    static bool ClickBalloon(const TrayIcon& icon);
};

}  // namespace desktop
