// A list view (report mode) of another program as the user sees it: its rows' texts, the
// selected row, and clicks on a row or beside the rows.
//
// The list view's messages that take a structure want it in the program's own memory, so
// the structure and its text buffer live in memory allocated in that process
// (VirtualAllocEx), written and read across with WriteProcessMemory/ReadProcessMemory.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "tests/e2e/desktop.h"

namespace desktop {

class ListViewSeen {
  public:
    explicit ListViewSeen(HWND list) : list_(list) {}

    int RowCount() const;
    // -1 when no row is selected.
    int SelectedRow() const;
    std::string Text(int row, int column) const;
    // A press and release of the left button in the middle of the row's label.
    bool ClickRow(int row) const;
    // The same on the empty area below the last row.
    bool ClickBelowRows() const;

  private:
    std::optional<RECT> RowRect(int row) const;
    bool ClickAt(POINT point) const;

    HWND list_;
};

}  // namespace desktop
