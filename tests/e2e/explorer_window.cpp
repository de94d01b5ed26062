#include "tests/e2e/explorer_window.h"

#include <future>

namespace desktop {

namespace {

constexpr char kExplorerClass[] = "CabinetWClass";

LRESULT CALLBACK LookalikeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

void ShowUntilClosed(const std::string& title, std::promise<HWND>& created) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &LookalikeProcedure;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kExplorerClass;
    ::RegisterClassA(&windowClass);  // fails harmlessly when an earlier one registered it

    HWND window =
        ::CreateWindowExA(0, kExplorerClass, title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 120,
                          120, 480, 320, nullptr, nullptr, windowClass.hInstance, nullptr);
    created.set_value(window);
    if (window == nullptr) {
        return;
    }
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

}  // namespace

ExplorerLookalike::ExplorerLookalike(const std::string& title) {
    // The promise lives on the window's thread, so it is not destroyed while being set.
    std::promise<HWND> created;
    std::future<HWND> window = created.get_future();
    thread_ = std::thread(
        [title, created = std::move(created)]() mutable { ShowUntilClosed(title, created); });
    window_ = window.get();
}

ExplorerLookalike::~ExplorerLookalike() {
    if (window_ != nullptr) {
        ::PostMessageA(window_, WM_CLOSE, 0, 0);
    }
    thread_.join();
}

}  // namespace desktop
