#include "tests/e2e/desktop.h"

#include <commctrl.h>

#include <algorithm>
#include <thread>

namespace desktop {

namespace {

constexpr Milliseconds kPollInterval{20};

// Wine closes a desktop a second after it sees no user of it left but the program that
// manages it (explorer.exe), and counts the users thread by thread. When one of explorer's
// own threads ends, Wine 8 makes that count after the thread has left the users but while it
// still counts among explorer's threads: if a single thread of another program is on the
// desktop just then, it is taken for explorer's, and the desktop is closed under it.
// Explorer quits, the next program starts a new one with a new desktop window, and this
// program, which keeps the old window's handle, sees none of the windows shown after that.
// A second thread of ours on the desktop, waiting for ever, keeps that count from one.
const bool kDesktopHeld = [] {
    std::thread([] { ::Sleep(INFINITE); }).detach();
    return true;
}();

struct Enumeration {
    const WindowFilter* filter;
    std::vector<HWND> found;
};

bool Matches(HWND window, const WindowFilter& filter) {
    if (filter.visibleOnly && !::IsWindowVisible(window)) {
        return false;
    }
    if (filter.processId != 0 && ProcessOf(window) != filter.processId) {
        return false;
    }
    if (!filter.className.empty() && ClassOf(window) != filter.className) {
        return false;
    }
    if (filter.title) {
        // The caption the system keeps: reading it sends nothing, so a hung window is no
        // obstacle.
        char title[512] = {};
        ::GetWindowTextA(window, title, sizeof title);
        return *filter.title == title;
    }
    return true;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
    auto* enumeration = reinterpret_cast<Enumeration*>(context);
    if (Matches(window, *enumeration->filter)) {
        enumeration->found.push_back(window);
    }
    return TRUE;
}

// A press of what a user cannot see or reach does nothing.
bool Pressable(HWND control) {
    return ::IsWindow(control) && ::IsWindowEnabled(control) &&
           (::GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

LPARAM KeyData(WORD virtualKey, bool release) {
    const UINT scanCode = ::MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
    LPARAM data = 1 | (static_cast<LPARAM>(scanCode & 0xFF) << 16);
    switch (virtualKey) {
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
        case VK_HOME:
        case VK_END:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_INSERT:
        case VK_DELETE:
            data |= LPARAM{1} << 24;
            break;
        default:
            break;
    }
    if (release) {
        data |= (LPARAM{1} << 30) | (LPARAM{1} << 31);
    }
    return data;
}

}  // namespace

std::string Narrow(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? size : 0, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                          size, nullptr, nullptr);
    return narrow;
}

bool WaitUntil(const std::function<bool()>& done, Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

std::vector<HWND> TopLevelWindows(const WindowFilter& filter) {
    Enumeration enumeration{&filter, {}};
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&enumeration));
    return enumeration.found;
}

HWND WaitForWindow(const WindowFilter& filter, Milliseconds timeout) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            const std::vector<HWND> windows = TopLevelWindows(filter);
            found = windows.empty() ? nullptr : windows.front();
            return found != nullptr;
        },
        timeout);
    return found;
}

HWND WaitForWindow(const std::function<bool(HWND)>& matches, Milliseconds timeout) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows()) {
                if (matches(window)) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

bool WaitUntilClosed(HWND window, Milliseconds timeout) {
    return WaitUntil([window] { return !::IsWindow(window); }, timeout);
}

DWORD ProcessOf(HWND window) {
    DWORD processId = 0;
    return ::GetWindowThreadProcessId(window, &processId) != 0 ? processId : 0;
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    const int length = ::GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? length : 0);
}

HWND Control(HWND dialog, int controlId) {
    return ::GetDlgItem(dialog, controlId);
}

bool IsShown(HWND window) {
    return ::IsWindowVisible(window) != FALSE;
}

bool IsEnabled(HWND window) {
    return ::IsWindow(window) && ::IsWindowEnabled(window);
}

std::optional<RECT> RectOf(HWND window) {
    RECT rect{};
    if (!::GetWindowRect(window, &rect)) {
        return std::nullopt;
    }
    return rect;
}

std::string TextOf(HWND window, Milliseconds timeout) {
    // Asked in UTF-16: under Wine 8 SendMessageTimeoutA waits for WM_GETTEXTLENGTH as long as
    // the window takes, whatever the time-out.
    const auto milliseconds = static_cast<UINT>(timeout.count());
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, milliseconds,
                               &length)) {
        if (::GetParent(window) != nullptr) {
            return {};
        }
        char caption[512] = {};
        const int copied = ::GetWindowTextA(window, caption, sizeof caption);
        return std::string(caption, copied > 0 ? copied : 0);
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(),
                               reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL, milliseconds,
                               &copied)) {
        return {};
    }
    return Narrow(std::wstring_view(text.data(), std::min<std::size_t>(copied, length)));
}

std::string ControlText(HWND dialog, int controlId, Milliseconds timeout) {
    HWND control = Control(dialog, controlId);
    return control != nullptr ? TextOf(control, timeout) : std::string();
}

std::optional<int> CheckState(HWND button, Milliseconds timeout) {
    const std::optional<LRESULT> state = Send(button, BM_GETCHECK, 0, 0, timeout);
    if (!state) {
        return std::nullopt;
    }
    return static_cast<int>(*state);
}

std::optional<int> ProgressPosition(HWND progressBar, Milliseconds timeout) {
    const std::optional<LRESULT> position = Send(progressBar, PBM_GETPOS, 0, 0, timeout);
    if (!position) {
        return std::nullopt;
    }
    return static_cast<int>(*position);
}

bool PostCommand(HWND dialog, int controlId) {
    HWND control = Control(dialog, controlId);
    if (!Pressable(control)) {
        return false;
    }
    return Post(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                reinterpret_cast<LPARAM>(control));
}

bool Click(HWND button) {
    // Posted, not sent: the press may open a modal box, which would hold a sender until the
    // box is closed.
    return Pressable(button) && Post(button, BM_CLICK);
}

bool Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageA(window, message, wParam, lParam) != FALSE;
}

std::optional<LRESULT> Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            Milliseconds timeout) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL,
                               static_cast<UINT>(timeout.count()), &result)) {
        return std::nullopt;
    }
    return static_cast<LRESULT>(result);
}

bool SetText(HWND window, const std::string& text, Milliseconds timeout) {
    const std::optional<LRESULT> set =
        Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), timeout);
    return set && *set != FALSE;
}

bool PostKeyPress(HWND window, WORD virtualKey) {
    return Post(window, WM_KEYDOWN, virtualKey, KeyData(virtualKey, false)) &&
           Post(window, WM_KEYUP, virtualKey, KeyData(virtualKey, true));
}

bool PostChar(HWND window, char character) {
    const SHORT key = ::VkKeyScanA(character);
    const WORD virtualKey = key == -1 ? 0 : LOBYTE(key);
    return Post(window, WM_CHAR, static_cast<unsigned char>(character), KeyData(virtualKey, false));
}

std::optional<std::chrono::microseconds> ResponseTime(HWND window, Milliseconds timeout) {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER start{};
    LARGE_INTEGER end{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    if (!Send(window, WM_NULL, 0, 0, timeout)) {
        return std::nullopt;
    }
    ::QueryPerformanceCounter(&end);
    return std::chrono::microseconds((end.QuadPart - start.QuadPart) * 1'000'000 /
                                     frequency.QuadPart);
}

}  // namespace desktop
