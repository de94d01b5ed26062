// Plays the user of a Win32 program from another process of the same Wine prefix: finds the
// program's windows, reads what they show and acts on them with window messages.
//
// Nothing here throws: a failure reads as an empty result (null handle, empty string,
// nullopt, false). Every wait polls until a time-out given by the caller, and every message
// sent to another program is bounded by a time-out too, so a hung program fails a test
// instead of hanging it.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace desktop {

using Milliseconds = std::chrono::milliseconds;

// Longest a program may take to answer a message before it counts as not answering.
inline constexpr Milliseconds kAnswerTimeout{5000};

// UTF-16 text in the ANSI code page, as the ...A functions would give it.
std::string Narrow(std::wstring_view text);

// Polls `done` until it holds (true) or `timeout` has passed (false).
bool WaitUntil(const std::function<bool()>& done, Milliseconds timeout);

// Which top-level windows to list; empty fields match anything. Every field has an
// initializer, so designated initializers may name only some without -Wextra warning.
struct WindowFilter {
    DWORD processId = 0;
    std::string className{};
    std::optional<std::string> title{};  // exact
    bool visibleOnly = false;
};

// Top-level windows in Z order, hidden ones included unless the filter says otherwise.
std::vector<HWND> TopLevelWindows(const WindowFilter& filter = {});

// The first top-level window that matches, once one does; null after `timeout`.
HWND WaitForWindow(const WindowFilter& filter, Milliseconds timeout);
HWND WaitForWindow(const std::function<bool(HWND)>& matches, Milliseconds timeout);

// True once the window is destroyed.
bool WaitUntilClosed(HWND window, Milliseconds timeout);

DWORD ProcessOf(HWND window);
std::string ClassOf(HWND window);
HWND Control(HWND dialog, int controlId);
bool IsShown(HWND window);
bool IsEnabled(HWND window);
std::optional<RECT> RectOf(HWND window);

// The window's text as WM_GETTEXT gives it; for a top-level window that does not answer,
// the caption the system keeps.
std::string TextOf(HWND window, Milliseconds timeout = kAnswerTimeout);
std::string ControlText(HWND dialog, int controlId, Milliseconds timeout = kAnswerTimeout);

// BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
std::optional<int> CheckState(HWND button, Milliseconds timeout = kAnswerTimeout);
std::optional<int> ProgressPosition(HWND progressBar, Milliseconds timeout = kAnswerTimeout);

// A user cannot press what is disabled or hidden: both refuse such a control. PostCommand
// sends the dialog the WM_COMMAND a press would; Click has the button press itself.
bool PostCommand(HWND dialog, int controlId);
bool Click(HWND button);

bool Post(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
std::optional<LRESULT> Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            Milliseconds timeout = kAnswerTimeout);
bool SetText(HWND window, const std::string& text, Milliseconds timeout = kAnswerTimeout);

// Key down and up, as a keyboard would queue them; the program's TranslateMessage makes
// the WM_CHAR. PostChar is for a window whose loop does not translate.
bool PostKeyPress(HWND window, WORD virtualKey);
bool PostChar(HWND window, char character);

// How long the window's thread takes to answer WM_NULL; nullopt when it does not within
// `timeout`.
std::optional<std::chrono::microseconds> ResponseTime(HWND window, Milliseconds timeout);

}  // namespace desktop
