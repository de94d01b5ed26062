// An open pop-up menu (TrackPopupMenu) of another program, chosen from with the keyboard.
//
// Under Wine 8 the menu runs its own loop on the program's thread and takes every key
// message queued to that thread, so keys posted to the menu window (or to its owner) work
// as a keyboard would: Down from nothing selected goes to the first item, Down skips
// separators, Return chooses, Esc closes, and a character (WM_CHAR, or a WM_KEYDOWN the loop
// translates) chooses the item with that mnemonic at once. The menu window is destroyed
// when the menu closes.
//
// What the menu holds cannot be read from outside: MN_GETHMENU gives a handle, but Wine
// keeps menus per process, so GetMenuItemCount and GetMenuDefaultItem fail on it. Which item
// is the default (bold) has to be proved by what the program does instead.
#pragma once

#include <windows.h>

#include "tests/e2e/desktop.h"

namespace desktop {

// The open menu (class "#32768") of a process, or of any when `processId` is 0, once one
// shows; null after `timeout`.
HWND WaitForPopupMenu(DWORD processId, Milliseconds timeout);

// Chooses the item whose mnemonic (the letter after '&') is `key`.
bool ChooseMenuItemByMnemonic(HWND menu, char key);

}  // namespace desktop
