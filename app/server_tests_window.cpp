#include "app/server_tests_window.h"

#include <bit>

static_assert(sizeof(LPARAM) == sizeof(double), "a delay travels in the message's lParam");

void ServerTestsWindow::Start(HWND window, const std::vector<std::string>& addresses) {
    outstanding_ = static_cast<int>(addresses.size());
    tests_.Start(addresses, [window](int index, double delay) {
        ::PostMessageA(window, kResultMessage, static_cast<WPARAM>(index),
                       std::bit_cast<LPARAM>(delay));
    });
}

ServerTestsWindow::Result ServerTestsWindow::Take(WPARAM wParam, LPARAM lParam) {
    --outstanding_;
    return {static_cast<int>(wParam), std::bit_cast<double>(lParam)};
}
