#include "tests/e2e/popup_menu.h"

namespace desktop {

namespace {

constexpr char kMenuClass[] = "#32768";

}  // namespace

HWND FindPopupMenu(DWORD processId) {
    const std::vector<HWND> menus =
        TopLevelWindows({.processId = processId, .className = kMenuClass, .visibleOnly = true});
    return menus.empty() ? nullptr : menus.front();
}

HWND WaitForPopupMenu(DWORD processId, Milliseconds timeout) {
    return WaitForWindow(
        WindowFilter{.processId = processId, .className = kMenuClass, .visibleOnly = true},
        timeout);
}

bool ChooseMenuItem(HWND menu, int position) {
    if (ClassOf(menu) != kMenuClass || position < 0) {
        return false;
    }
    for (int step = 0; step <= position; ++step) {
        if (!PostKeyPress(menu, VK_DOWN)) {
            return false;
        }
    }
    return PostKeyPress(menu, VK_RETURN);
}

bool ChooseMenuItemByMnemonic(HWND menu, char key) {
    return ClassOf(menu) == kMenuClass && PostChar(menu, key);
}

bool CloseMenu(HWND menu) {
    return ClassOf(menu) == kMenuClass && PostKeyPress(menu, VK_ESCAPE);
}

}  // namespace desktop
