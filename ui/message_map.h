// Which member handles which message of a dialog: commands by control or menu id,
// notifications of common controls by id and code, and any other window message.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <vector>

class MessageMap {
  public:
    using CommandHandler = std::function<void()>;
    using MessageHandler = std::function<LRESULT(WPARAM, LPARAM)>;
    using NotifyHandler = std::function<LRESULT(const NMHDR&)>;

    // A button click, a menu choice or an accelerator with this id.
    MessageMap& OnCommand(int id, CommandHandler handler);
    // Another notification of a control that reports through WM_COMMAND (an edit's
    // EN_CHANGE, for example).
    MessageMap& OnControl(int id, WORD code, CommandHandler handler);
    // A common control's WM_NOTIFY (list view clicks, up-down changes).
    MessageMap& OnNotify(int id, UINT code, NotifyHandler handler);
    MessageMap& OnMessage(UINT message, MessageHandler handler);

    // The handler's result, or empty when no entry matches.
    std::optional<LRESULT> Dispatch(UINT message, WPARAM wParam, LPARAM lParam) const;

  private:
    struct Entry {
        UINT message;
        int id;
        UINT code;
        MessageHandler handler;
    };
    std::vector<Entry> entries_;
};
