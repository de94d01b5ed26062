#include "tests/e2e/notification_area.h"

#include <algorithm>
#include <cstddef>

#include <commctrl.h>
#include <shellapi.h>

#include "base/unique_handle_win.h"

namespace desktop {

namespace {

constexpr char kTrayClass[] = "__winex11_standalone_tray";
constexpr char kIconClass[] = "__winex11_tray_icon";

// The start of the record Wine keeps for each icon, which the icon window's GWLP_USERDATA
// points to in explorer.exe (struct tray_icon of winex11.drv; explorer's own systray.c of
// later Wine starts alike). Nothing public names an icon's owner, so it is read from there,
// and trusted only when it names the icon window it was read through.
struct WineTrayRecord {
    void* next;
    void* previous;
    HICON image;
    HWND owner;
    HWND window;
    BOOL layered;
    HWND tooltip;
    UINT state;
    UINT id;
    UINT callbackMessage;
    int display;
    wchar_t tip[128];
};
static_assert(offsetof(WineTrayRecord, tip) == 72, "the layout of a 64-bit explorer.exe");

TrayIcon ReadIcon(HWND window, HANDLE explorer) {
    TrayIcon icon;
    icon.window = window;
    WineTrayRecord record{};
    SIZE_T read = 0;
    const auto address = reinterpret_cast<const void*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (explorer != nullptr && address != nullptr &&
        ::ReadProcessMemory(explorer, address, &record, sizeof record, &read) &&
        read == sizeof record && record.window == window) {
        const wchar_t* tipEnd = std::find(std::begin(record.tip), std::end(record.tip), L'\0');
        icon.tip = Narrow(std::wstring_view(record.tip, tipEnd - record.tip));
        icon.owner = record.owner;
        icon.id = record.id;
        icon.callbackMessage = record.callbackMessage;
    }
    return icon;
}

// The middle of the icon, in its client coordinates, as a mouse message carries it.
LPARAM Middle(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    return MAKELPARAM(client.right / 2, client.bottom / 2);
}

bool PostAll(HWND window, std::initializer_list<std::pair<UINT, WPARAM>> messages) {
    const LPARAM point = Middle(window);
    for (const auto& [message, keys] : messages) {
        if (!Post(window, message, keys, point)) {
            return false;
        }
    }
    return true;
}

}  // namespace

HWND NotificationArea::Window() {
    const std::vector<HWND> trays = TopLevelWindows({.className = kTrayClass});
    return trays.empty() ? nullptr : trays.front();
}

std::vector<TrayIcon> NotificationArea::Icons() {
    HWND tray = Window();
    if (tray == nullptr) {
        return {};
    }
    UniqueHandle explorer(::OpenProcess(PROCESS_VM_READ, FALSE, ProcessOf(tray)));
    std::vector<std::pair<LONG, TrayIcon>> placed;
    for (HWND child = ::GetWindow(tray, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        // Wine destroys the window of an icon that is deleted or hidden.
        if (ClassOf(child) == kIconClass) {
            const std::optional<RECT> rect = RectOf(child);
            placed.emplace_back(rect ? rect->left : 0, ReadIcon(child, explorer.get()));
        }
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<TrayIcon> icons;
    for (auto& [left, icon] : placed) {
        icons.push_back(std::move(icon));
    }
    return icons;
}

std::optional<TrayIcon> NotificationArea::WaitForIconOf(DWORD processId, Milliseconds timeout) {
    std::optional<TrayIcon> found;
    WaitUntil(
        [&] {
            for (TrayIcon& icon : Icons()) {
                if (icon.owner != nullptr && ProcessOf(icon.owner) == processId) {
                    found = std::move(icon);
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

bool NotificationArea::WaitUntilNoIconOf(DWORD processId, Milliseconds timeout) {
    return WaitUntil(
        [processId] {
            // Wine drops the icons of a window as it is destroyed, also when its process is
            // killed; an owner already gone names no process.
            const std::vector<TrayIcon> icons = Icons();
            return std::none_of(icons.begin(), icons.end(), [processId](const TrayIcon& icon) {
                return icon.owner != nullptr && ProcessOf(icon.owner) == processId;
            });
        },
        timeout);
}

bool NotificationArea::DoubleClick(const TrayIcon& icon) {
    return PostAll(icon.window, {{WM_LBUTTONDOWN, MK_LBUTTON},
                                 {WM_LBUTTONUP, 0},
                                 {WM_LBUTTONDBLCLK, MK_LBUTTON},
                                 {WM_LBUTTONUP, 0}});
}

bool NotificationArea::RightClick(const TrayIcon& icon) {
    return PostAll(icon.window, {{WM_RBUTTONDOWN, MK_RBUTTON}, {WM_RBUTTONUP, 0}});
}

std::optional<Balloon> NotificationArea::WaitForBalloon(const TrayIcon& icon,
                                                        Milliseconds timeout) {
    std::optional<Balloon> found;
    WaitUntil(
        [&] {
            for (const HWND window :
                 TopLevelWindows({.className = TOOLTIPS_CLASSA, .visibleOnly = true})) {
                // Its owner is the icon window's top-level window, the tray.
                if (::GetWindow(window, GW_OWNER) == ::GetAncestor(icon.window, GA_ROOT) &&
                    (::GetWindowLongA(window, GWL_STYLE) & TTS_BALLOON) != 0) {
                    found = Balloon{window, TextOf(window)};
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

bool NotificationArea::ClickBalloon(const TrayIcon& icon) {
    return Post(icon.owner, icon.callbackMessage, icon.id, NIN_BALLOONUSERCLICK);
}

}  // namespace desktop
