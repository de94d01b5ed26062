// The tray icon's picture for a state, as the taskbar and the notification area want it: a
// drawn picture for a dark or a light taskbar, and in high contrast the state's shapes
// tinted in the system's colours, at the small icon's size for the owner window's DPI.
#pragma once

#include <windows.h>

#include "app/taskbar_theme.h"
#include "app/tray_state.h"
#include "base/unique_handle_win.h"

// Everything the picture depends on: while none of it changes, the shown icon stays.
struct TrayPicture {
    TrayState state = TrayState::kSynchronised;
    TaskbarTheme theme = TaskbarTheme::kDark;
    int size = 0;
    // Only in high contrast: the clock's colour and the mark's.
    COLORREF clockColour = 0;
    COLORREF markColour = 0;

    bool operator==(const TrayPicture&) const = default;
};

// The picture of this state as the system is set up now.
TrayPicture CurrentTrayPicture(HWND owner, TrayState state);
// From the resources of module (Tickwell.exe, also when another program loaded it as data);
// null when they lack it.
UniqueIcon LoadTrayPicture(HMODULE module, const TrayPicture& picture);
