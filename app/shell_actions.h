// What the program asks of the Windows shell: its help, the date and time settings, and the
// maker's web site.
#pragma once

#include <windows.h>

inline constexpr const char* kMakerSite = "https://quorvane.example/tickwell/";
inline constexpr const char* kHelpFile = "tickwell.hlp";

// Opens the help file at its contents; when it cannot, says so and opens the maker's web
// site instead. owner owns the help window and the box.
void ShowHelp(HWND owner);
// Closes the help window, if one is open.
void CloseHelp(HWND owner);
void OpenDateTimeSettings();
