#include "app/server_testing_dialog.h"

#include <memory>

void ServerTestingDialog::StartTests(const std::vector<TimeServer>& servers) {
    busy_.Begin(hwnd());
    outstanding_ = static_cast<int>(servers.size());
    // The results come back as messages: none is handled before the caller returns.
    // Each result travels in its message's lParam; the dialog, busy until the last has come,
    // is there to take it.
    tests_.Start(servers, [window = hwnd()](int index, const RunResult& result) {
        auto posted = std::make_unique<RunResult>(result);
        if (::PostMessageA(window, kResultMessage, static_cast<WPARAM>(index),
                           reinterpret_cast<LPARAM>(posted.get()))) {
            posted.release();
        }
    });
}

std::optional<LRESULT> ServerTestingDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kResultMessage) {
        const std::unique_ptr<RunResult> result(reinterpret_cast<RunResult*>(lParam));
        --outstanding_;
        OnTestResult(static_cast<int>(wParam), *result, outstanding_);
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
