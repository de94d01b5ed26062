// show-main-window OUT.png: waits for Tickwell's main window, as `make run` starts it on a
// machine without a display, saves a picture of it and ends the program. On a first start it
// answers the time-zone box first, as a user would.
#include <cstdio>

#include "base/unique_handle_win.h"
#include "resources/tickwell_ids.h"
#include "tests/e2e/desktop.h"
#include "tests/e2e/message_box_seen.h"
#include "tests/e2e/screenshot.h"

namespace {

// Asks the program to end as setup does, so that it stores what an Exit stores and its start
// sees an ordinary end rather than one killed with Wine's server. True once it has ended.
bool EndProgram(HWND main) {
    constexpr DWORD kEndPatienceMilliseconds = 10000;
    const UniqueHandle program(::OpenProcess(SYNCHRONIZE, FALSE, desktop::ProcessOf(main)));
    return program && desktop::Post(main, ::RegisterWindowMessageA("Quorvane.Tickwell.Exit")) &&
           ::WaitForSingleObject(program.get(), kEndPatienceMilliseconds) == WAIT_OBJECT_0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: show-main-window OUT.png\n");
        return 2;
    }
    using desktop::Milliseconds;
    HWND main = nullptr;
    const bool found = desktop::WaitUntil(
        [&main] {
            for (HWND box : desktop::MessageBoxSeen::Find("Tickwell")) {
                if (const auto seen = desktop::MessageBoxSeen::Read(box)) {
                    seen->Answer(IDOK);
                }
            }
            main = desktop::WaitForWindow(
                [](HWND window) {
                    return desktop::ClassOf(window) == "#32770" && desktop::IsShown(window) &&
                           ::GetDlgItem(window, IDC_MAIN_SYNCHRONIZE) != nullptr;
                },
                Milliseconds(0));
            return main != nullptr;
        },
        Milliseconds(60000));
    if (!found) {
        std::fprintf(stderr, "show-main-window: no main window appeared\n");
        return 1;
    }
    ::Sleep(1500);  // the first ticks fill the fields
    if (!desktop::SaveScreenshot(main, argv[1])) {
        std::fprintf(stderr, "show-main-window: could not write %s\n", argv[1]);
        return 1;
    }
    if (!EndProgram(main)) {
        std::fprintf(stderr, "show-main-window: Tickwell did not end when asked\n");
        return 1;
    }
    return 0;
}
