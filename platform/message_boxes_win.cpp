#include <windows.h>

#include "platform/message_boxes.h"

namespace {

UINT IconStyle(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::kInformation:
            return MB_ICONINFORMATION;
        case BoxIcon::kWarning:
            return MB_ICONWARNING;
        case BoxIcon::kError:
            return MB_ICONERROR;
    }
    return 0;
}

// The box being shown on this thread and its guard, for the hook that sees it appear.
struct OpeningBox {
    BoxGuard* guard = nullptr;
    bool reported = false;
};
thread_local OpeningBox t_opening;

// The box is a top-level dialog; the thread's first window may bring others (an input
// method's) along with it.
bool IsTheBox(const CBT_CREATEWNDA& creation) {
    constexpr WORD kDialogClassAtom = 32770;
    const char* windowClass = creation.lpcs->lpszClass;
    const bool dialog = IS_INTRESOURCE(windowClass)
                            ? LOWORD(reinterpret_cast<ULONG_PTR>(windowClass)) == kDialogClassAtom
                            : lstrcmpiA(windowClass, "#32770") == 0;
    return dialog && creation.lpcs->hwndParent == nullptr;
}

void CloseBox(HWND box) {
    ::PostMessageA(box, WM_CLOSE, 0, 0);
}

// A thread's CBT hook sees the box window created before the user can see it: the guard
// learns how to close it, under the same lock with which an abandoning thread would. Its
// creation, not its activation: a box that another window keeps from the foreground is
// never activated, and the guard would never hear of it.
LRESULT CALLBACK WatchBoxCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && !t_opening.reported && t_opening.guard != nullptr &&
        IsTheBox(*reinterpret_cast<const CBT_CREATEWNDA*>(lParam))) {
        t_opening.reported = true;
        const auto box = reinterpret_cast<HWND>(wParam);
        if (!t_opening.guard->Opened([box] { CloseBox(box); })) {
            CloseBox(box);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void PlatformMessageBoxes::Show(const std::string& text, const std::string& caption, BoxIcon icon,
                                BoxGuard& guard) {
    t_opening = {&guard, false};
    const HHOOK hook =
        ::SetWindowsHookExA(WH_CBT, &WatchBoxCreation, nullptr, ::GetCurrentThreadId());
    ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | IconStyle(icon));
    if (hook != nullptr) {
        ::UnhookWindowsHookEx(hook);
    }
    t_opening = {};
    guard.Closed();
}
