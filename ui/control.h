// Thin wrappers of the common controls a dialog binds by id in its data exchange.
#pragma once

#include <windows.h>

#include <string>

class Control {
  public:
    virtual ~Control() = default;
    void Attach(HWND control) { hwnd_ = control; }
    HWND hwnd() const { return hwnd_; }

  protected:
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(hwnd_, message, wParam, lParam);
    }

  private:
    HWND hwnd_ = nullptr;
};

class ProgressControl : public Control {
  public:
    void SetPos(int position) const;
};

// A list view in report mode: rows of texts in columns.
class ListViewControl : public Control {
  public:
    // Off while many rows change at once: the list paints once at the end, not per row.
    void SetRedraw(bool redraw) const;
    void AddExtendedStyle(DWORD style) const;
    // A left-aligned column, width in pixels.
    void InsertColumn(int column, const std::string& heading, int width) const;
    void InsertItem(int row, const std::string& text) const;
    void SetItemText(int row, int column, const std::string& text) const;
    void DeleteItem(int row) const;
    void DeleteAllItems() const;
    // The first selected row after `after`, or -1.
    int NextSelected(int after = -1) const;
    void Select(int row) const;
};

class UpDownControl : public Control {
  public:
    void SetRange(int low, int high) const;
    void SetPos(int position) const;
};
