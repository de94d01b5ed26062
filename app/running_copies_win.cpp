#include "app/running_copies_win.h"

#include "app/main_dialog.h"
#include "resources/tickwell_ids.h"

WindowedCopies::WindowedCopies(const std::string& displayName)
    : displayName_(displayName),
      exitRequest_(::RegisterWindowMessageA(MainDialog::kExitRequestMessage)),
      began_(std::chrono::steady_clock::now()) {}

void WindowedCopies::AskAllToEnd() {
    ::PostMessageA(HWND_BROADCAST, exitRequest_, 0, 0);
}

bool WindowedCopies::AskOneStillShowing() {
    const HWND window = ::FindWindowA("#32770", displayName_.c_str());
    if (window == nullptr) {
        return false;
    }
    // Also to the window itself: a copy that started after the broadcast missed it.
    ::PostMessageA(window, exitRequest_, 0, 0);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    asked_.reset(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    return true;
}

bool WindowedCopies::WaitForItsEnd(std::chrono::milliseconds patience) {
    return asked_ && ::WaitForSingleObject(asked_.get(), static_cast<DWORD>(patience.count())) ==
                         WAIT_OBJECT_0;
}

std::chrono::milliseconds WindowedCopies::Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 began_);
}

int EndRunningCopiesOf(HINSTANCE instance) {
    char name[256] = {};
    ::LoadStringA(instance, IDS_DISPLAY_NAME, name, sizeof name);
    WindowedCopies copies(name);
    return EndRunningCopies(copies) ? 0 : 1;
}
