// A message box (MessageBoxA) of another program as the user sees it: caption, text,
// buttons and icon; and the user's answer.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/desktop.h"

namespace desktop {

enum class BoxIcon { kNone, kError, kQuestion, kWarning, kInformation, kUnknown };

class MessageBoxSeen {
  public:
    // Visible message boxes; an empty caption or a zero process id matches any.
    static std::vector<HWND> Find(const std::string& caption, DWORD processId = 0);
    static std::optional<MessageBoxSeen> WaitFor(const std::string& caption, DWORD processId,
                                                 Milliseconds timeout);
    // nullopt when the window is not a message box.
    static std::optional<MessageBoxSeen> Read(HWND box, Milliseconds timeout = kAnswerTimeout);

    HWND window() const { return window_; }
    const std::string& caption() const { return caption_; }
    const std::string& text() const { return text_; }
    // IDOK, IDCANCEL, IDYES, IDNO, ... in the order the box shows them.
    const std::vector<int>& buttons() const { return buttons_; }
    bool HasButton(int id) const;

    // Which standard icon the box shows. Icon handles mean nothing in another process under
    // Wine (STM_GETICON gives one that GetIconInfo rejects), so this compares the pixels on
    // screen with this process's own LoadIcon(NULL, IDI_...) of the same Wine; it waits for
    // the box to be painted, and kUnknown means no standard icon matched in time.
    BoxIcon Icon(Milliseconds timeout) const;

    // Presses one of the box's buttons; false when it has no such button.
    bool Answer(int id) const;

  private:
    HWND window_ = nullptr;
    std::string caption_;
    std::string text_;
    std::vector<int> buttons_;
};

}  // namespace desktop
