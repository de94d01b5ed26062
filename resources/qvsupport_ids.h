// Resource and control ids of QvSupport.dll, shared by its .rc file and its code.
#pragma once

#define IDD_ABOUT 111
#define IDB_ABOUT_LOGO 112
// The logo for 150 and 200 % displays.
#define IDB_ABOUT_LOGO_150 113
#define IDB_ABOUT_LOGO_200 114

#define IDC_ABOUT_TEXT 1008
#define IDC_ABOUT_WEB 1053
#define IDC_ABOUT_LOGO 1054
