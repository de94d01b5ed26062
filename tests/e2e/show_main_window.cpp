// show-main-window OUT.png: waits for Tickwell's main window, as `make run` starts it on a
// machine without a display, and saves a picture of it. On a first start it answers the
// time-zone box first, as a user would.
#include <cstdio>

#include "resources/tickwell_ids.h"
#include "tests/e2e/desktop.h"
#include "tests/e2e/message_box_seen.h"
#include "tests/e2e/screenshot.h"

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
    return 0;
}
