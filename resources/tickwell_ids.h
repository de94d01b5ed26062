// Resource and control ids of Tickwell.exe, shared by its .rc file and its code. Plain
// macros, because the resource compiler reads this file too.
#pragma once

#define IDS_DISPLAY_NAME 103

#define IDD_MAIN 132
#define IDI_TICKWELL 137
#define IDB_MAIN_PICTURE 145
#define IDR_TRAY_MENU 146

// Main window
#define IDC_MAIN_SYNCHRONIZE 1004
#define IDC_MAIN_SET_TIME_ZONE 1005
#define IDC_MAIN_DATE 1006
#define IDC_MAIN_OPTIONS 1007
#define IDC_MAIN_SERVER 1008
#define IDC_MAIN_HELP 1009
#define IDC_MAIN_TIME_BEFORE 1010
#define IDC_MAIN_TIME_AFTER 1011
#define IDC_MAIN_ABOUT 1012
#define IDC_MAIN_BREAK 1013
#define IDC_MAIN_STATUS 1017
#define IDC_MAIN_SERVER_TITLE 1018
#define IDC_MAIN_PROGRESS 1036

// Tray menu
#define ID_TRAY_OPEN 32775
#define ID_TRAY_OPTIONS 32777
#define ID_TRAY_EXIT 32778
