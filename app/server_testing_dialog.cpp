#include "app/server_testing_dialog.h"

#include <bit>

static_assert(sizeof(LPARAM) == sizeof(double), "a delay travels in the message's lParam");

void ServerTestingDialog::StartTests(const std::vector<std::string>& addresses) {
    busy_.Begin(hwnd());
    outstanding_ = static_cast<int>(addresses.size());
    // The results come back as messages: none is handled before the caller returns.
    tests_.Start(addresses, [window = hwnd()](int index, double delay) {
        ::PostMessageA(window, kResultMessage, static_cast<WPARAM>(index),
                       std::bit_cast<LPARAM>(delay));
    });
}

std::optional<LRESULT> ServerTestingDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kResultMessage) {
        --outstanding_;
        OnTestResult(static_cast<int>(wParam), std::bit_cast<double>(lParam), outstanding_);
        if (outstanding_ == 0) {
            busy_.End();
        }
        return 0;
    }
    if (message == WM_SETCURSOR && busy_.SetCursor()) {
        return TRUE;
    }
    return std::nullopt;
}

void ServerTestingDialog::OnCancel() {
    if (!busy()) {
        Dialog::OnCancel();
    }
}
