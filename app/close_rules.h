// What the main window does with a request to close or to hide it, decided from what the
// screen shows: never end the program under a window the user sees, and never leave it
// without a way back.
#pragma once

enum class CloseAction {
    kEndSilently,      // the day's synchronisation is done and nobody is looking
    kWaitForNextTick,  // a dialog or box of the program is open: try again on a later tick
    kAsk,              // the exit question
};

struct CloseRequest {
    bool exitAfter;         // "Exit after synchronization."
    bool fromMenu;          // the tray menu's Exit, which always asks
    bool visible;           // the window is on the screen, minimised or not
    bool otherWindowsOpen;  // a dialog or box of the program is open
};

CloseAction DecideClose(const CloseRequest& request);

// "Exit after synchronization.": a hidden program asks itself to close (DecideClose then
// ends it) once the day's run has succeeded, but not while the run after a resume is due.
struct ExitAfterFacts {
    bool hidden;         // the window is not on the screen
    bool exitAfter;      // the option
    bool todaysRunDone;  // a daily schedule whose run succeeded today
    bool resumePending;  // the machine woke up and its run has not started yet
};
bool ExitsAfterSynchronisation(const ExitAfterFacts& facts);

// Hiding leaves only the tray icon; without one, the window goes to the taskbar instead.
enum class HideAction { kHide, kMinimise };
HideAction DecideHide(bool trayIconShown);
