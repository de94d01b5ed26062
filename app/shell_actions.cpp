#include "app/shell_actions.h"

#include <shellapi.h>

#include "app/presentation.h"

namespace {

// WinHelp is asked only for a help file that can be found: without one it fails on
// Windows 10 and later, and elsewhere its viewer shows an error box of its own.
bool HelpFileFound() {
    char path[MAX_PATH];
    const DWORD length = ::SearchPathA(nullptr, kHelpFile, nullptr, MAX_PATH, path, nullptr);
    return length > 0 && length < MAX_PATH;
}

}  // namespace

void ShowHelp(HWND owner) {
    if (HelpFileFound() && ::WinHelpA(owner, kHelpFile, HELP_CONTENTS, 0)) {
        return;
    }
    ::MessageBoxA(owner, presentation::kHelpErrorBox, presentation::kHelpErrorCaption,
                  MB_ICONINFORMATION);
    ::ShellExecuteA(nullptr, "open", kMakerSite, nullptr, "", SW_SHOW);
}

void CloseHelp(HWND owner) {
    ::WinHelpA(owner, kHelpFile, HELP_QUIT, 0);
}

void OpenDateTimeSettings() {
    ::WinExec("control.exe timedate.cpl", SW_SHOWNORMAL);
}
