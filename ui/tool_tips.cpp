#include "ui/tool_tips.h"

#include <commctrl.h>

namespace {

// Wide enough for a policy's name; longer texts wrap.
constexpr int kMaxTipWidth = 320;

TOOLINFOA ToolOf(HWND owner, HWND control, UINT flags) {
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = flags | TTF_SUBCLASS;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    return tool;
}

}  // namespace

void ToolTips::Create(HWND dialog) {
    dialog_ = dialog;
    tips_ = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                              ::GetModuleHandleA(nullptr), nullptr);
    if (tips_ != nullptr) {
        ::SendMessageA(tips_, TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
    }
}

void ToolTips::Set(HWND control, const std::string& text) {
    if (tips_ == nullptr || control == nullptr) {
        return;
    }
    TOOLINFOA own = ToolOf(control, control, TTF_IDISHWND);
    TOOLINFOA area = ToolOf(dialog_, control, 0);
    ::SendMessageA(tips_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&own));
    ::SendMessageA(tips_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&area));
    if (text.empty()) {
        return;
    }
    ::GetWindowRect(control, &area.rect);
    ::MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&area.rect), 2);
    own.lpszText = const_cast<char*>(text.c_str());
    area.lpszText = own.lpszText;
    ::SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&own));
    ::SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&area));
}

void ShowBottomLine(HWND dialog, int id, const std::string& text, bool shown) {
    const HWND line = ::GetDlgItem(dialog, id);
    if (line == nullptr) {
        return;
    }
    ::SetWindowTextA(line, text.c_str());
    ::ShowWindow(line, shown ? SW_SHOWNA : SW_HIDE);
    // The room folded away, kept with the line itself (a static uses no data of its own).
    const LONG_PTR folded = ::GetWindowLongPtrA(line, GWLP_USERDATA);
    if (shown == (folded == 0)) {
        return;
    }
    // Hiding folds away the room from the line's top down to the client area's bottom;
    // showing gives back what was folded.
    int room = static_cast<int>(folded);
    if (!shown) {
        RECT lineRect{};
        RECT client{};
        ::GetWindowRect(line, &lineRect);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&lineRect), 2);
        ::GetClientRect(dialog, &client);
        room = client.bottom - lineRect.top;
    }
    ::SetWindowLongPtrA(line, GWLP_USERDATA, shown ? 0 : room);
    RECT dialogRect{};
    ::GetWindowRect(dialog, &dialogRect);
    const int height = dialogRect.bottom - dialogRect.top + (shown ? room : -room);
    ::SetWindowPos(dialog, nullptr, 0, 0, dialogRect.right - dialogRect.left, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
