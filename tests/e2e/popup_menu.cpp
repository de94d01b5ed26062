#include "tests/e2e/popup_menu.h"

namespace desktop {

namespace {

constexpr char kMenuClass[] = "#32768";

}  // namespace

HWND WaitForPopupMenu(DWORD processId, Milliseconds timeout) {
    return WaitForWindow(
        WindowFilter{.processId = processId, .className = kMenuClass, .visibleOnly = true},
        timeout);
}

bool ChooseMenuItemByMnemonic(HWND menu, char key) {
    return ClassOf(menu) == kMenuClass && PostChar(menu, key);
}

}  // namespace desktop
