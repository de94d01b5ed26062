#include "ui/message_map.h"

namespace {

// Buttons and menus report code 0, accelerators code 1; both are plain commands.
constexpr UINT kAnyCommandCode = 0xFFFFFFFF;

}  // namespace

MessageMap& MessageMap::OnCommand(int id, CommandHandler handler) {
    entries_.push_back({WM_COMMAND, id, kAnyCommandCode, [handler](WPARAM, LPARAM) {
                            handler();
                            return LRESULT{0};
                        }});
    return *this;
}

MessageMap& MessageMap::OnControl(int id, WORD code, CommandHandler handler) {
    entries_.push_back({WM_COMMAND, id, code, [handler](WPARAM, LPARAM) {
                            handler();
                            return LRESULT{0};
                        }});
    return *this;
}

MessageMap& MessageMap::OnNotify(int id, UINT code, NotifyHandler handler) {
    entries_.push_back({WM_NOTIFY, id, code, [handler](WPARAM, LPARAM lParam) {
                            return handler(*reinterpret_cast<const NMHDR*>(lParam));
                        }});
    return *this;
}

MessageMap& MessageMap::OnMessage(UINT message, MessageHandler handler) {
    entries_.push_back({message, 0, 0, std::move(handler)});
    return *this;
}

std::optional<LRESULT> MessageMap::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) const {
    for (const Entry& entry : entries_) {
        if (entry.message != message) {
            continue;
        }
        if (message == WM_COMMAND) {
            const UINT code = HIWORD(wParam);
            const bool plainCommand = code == 0 || code == 1;
            if (entry.id != LOWORD(wParam) ||
                (entry.code == kAnyCommandCode ? !plainCommand : entry.code != code)) {
                continue;
            }
        } else if (message == WM_NOTIFY) {
            const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
            if (entry.id != static_cast<int>(header.idFrom) || entry.code != header.code) {
                continue;
            }
        }
        return entry.handler(wParam, lParam);
    }
    return std::nullopt;
}
